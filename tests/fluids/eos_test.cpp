// Equations of state and vapour specific heats against reference values,
// their own equations and their range warnings.
#include "runtime/fluids/library/eos.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/library/saturation_pressure.h"
#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/fluids/library/vapour.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"

namespace eos_test {

using kalvir::test::printed;
using kalvir::test::Outcome;
using kalvir::test::run_captured;

class Eos : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::reset_messages();
    GLOR.TABS = 0.0;  // kelvin and pascal as model units unless a test says otherwise
    GLOR.PABS = 0.0;
  }
  void TearDown() override { kalvir::platform::close_all_units(); }
};

void expect_warning(const Outcome& o, const std::string& routine, int code,
                    const std::string& text) {
  EXPECT_EQ(o.status, 0);
  ASSERT_EQ(o.frames.size(), 1U);
  EXPECT_EQ(o.frames[0].severity, "WARNING");
  EXPECT_EQ(o.frames[0].routine, routine);
  EXPECT_EQ(o.frames[0].code, code);
  EXPECT_EQ(o.frames[0].text, printed(text));
}

void expect_fatal(const Outcome& o, const std::string& routine, int code) {
  EXPECT_EQ(o.status, 1);
  ASSERT_FALSE(o.frames.empty());
  EXPECT_EQ(o.frames.back().severity, "FATAL ERROR");
  EXPECT_EQ(o.frames.back().routine, routine);
  EXPECT_EQ(o.frames.back().code, code);
}

// --- Second virial coefficient of ammonia --------------------------------------------

TEST_F(Eos, VirialCoefficientOfAmmoniaInterpolatesItsTable) {
  const Outcome mid = run_captured([] { return PB16(0, 197.5, 0.0); });
  EXPECT_EQ(mid.status, 0);
  EXPECT_TRUE(mid.frames.empty());
  EXPECT_DOUBLE_EQ(mid.value, (-1020.038 + (-945.484 + 1020.038) * 0.5) * 0.001);
  EXPECT_NEAR(mid.value, -0.982761, 1e-12);
  // Grid points: 195 K, 300 K (-249.264 cm3/mol) and 695 K; model units with TABS.
  EXPECT_DOUBLE_EQ(PB16(0, 195.0, 0.0), -1.020038);
  EXPECT_NEAR(PB16(0, 26.85, 273.15), -0.249264, 1e-12);
  EXPECT_DOUBLE_EQ(PB16(0, 695.0, 0.0), -0.033418);
  EXPECT_NEAR(PB16(0, std::nextafter(700.0, 0.0), 0.0), -0.0334, 1e-12);
}

TEST_F(Eos, VirialCoefficientOutOfItsTableWarns) {
  const Outcome high = run_captured([] { return PB16(0, 700.0, 0.0); });
  expect_warning(
      high, "PB16  ", 2,
      "Temperature too high for 2nd Virial Coefficient of ammonia@Temperature =     700.00");
  EXPECT_EQ(high.value, -0.0334);
  const Outcome low = run_captured([] { return PB16(0, -80.0, 273.15); });
  expect_warning(
      low, "PB16  ", 1,
      "Temperature too low for 2nd Virial Coefficient of ammonia@Temperature =     -80.00");
  EXPECT_EQ(low.value, -1.020038);
  const Outcome nan =
      run_captured([] { return PB16(0, std::numeric_limits<double>::quiet_NaN(), 0.0); });
  EXPECT_EQ(nan.value, -0.0334);
  ASSERT_EQ(nan.frames.size(), 1U);
  EXPECT_EQ(nan.frames[0].code, 2);
}

// --- Steam ---------------------------------------------------------------------------

// Superheated steam tables (IAPWS-IF97): pressure Pa, temperature K, density kg/m3.
struct SteamPoint {
  double p, t, rho;
};
constexpr std::array<SteamPoint, 5> kSteam{{
    {10000.0, 323.15, 1.0 / 14.867},
    {100000.0, 373.15, 1.0 / 1.6959},
    {1.0e6, 473.15, 1.0 / 0.20602},
    {1.0e6, 773.15, 1.0 / 0.35411},
    {1.0e7, 673.15, 1.0 / 0.026436},
}};

TEST_F(Eos, SteamDensityMatchesTheSteamTables) {
  for (const SteamPoint& s : kSteam) {
    EXPECT_NEAR(PROS02(0.0, s.p, 0.0, s.t), s.rho, 0.003 * s.rho) << s.p << " Pa " << s.t << " K";
  }
  // Model units: 1 bar gauge over PABS 1 bar, 100 C over TABS.
  EXPECT_DOUBLE_EQ(PROS02(1.0e5, 0.0, 273.15, 100.0), PROS02(0.0, 1.0e5, 0.0, 373.15));
}

TEST_F(Eos, SteamOutOfRangeWarnsAndClamps) {
  const Outcome high_p = run_captured([] { return PROS02(0.0, 1.2e7, 0.0, 700.0); });
  expect_warning(high_p, "PROS02", 1,
                 "Pressure out of range for fluid property function@Superheated water density: "
                 "pressure = 0.120000E+08");
  EXPECT_EQ(high_p.value, PROS02(0.0, 1.0e7, 0.0, 700.0));

  const Outcome low_t = run_captured([] { return PROS02(0.0, 500.0, 0.0, 263.15); });
  expect_warning(low_t, "PROS02", 2,
                 "Temperature out of range for fluid property function@Superheated water density: "
                 "temperature =       263.15");
  EXPECT_EQ(low_t.value, PROS02(0.0, 500.0, 0.0, 273.15));

  const Outcome high_t = run_captured([] { return PROS02(0.0, 500.0, 0.0, 1100.0); });
  expect_warning(high_t, "PROS02", 3,
                 "Temperature out of range for fluid property function@Superheated water density: "
                 "temperature =      1100.00");
  EXPECT_EQ(high_t.value, PROS02(0.0, 500.0, 0.0, 1073.15));

  EXPECT_TRUE(run_captured([] { return PROS02(0.0, 1.0e7, 0.0, 1073.15); }).frames.empty());
}

TEST_F(Eos, SteamDensityOfANonNumberStops) {
  expect_fatal(run_captured([] { return PROS02(0.0, 1.0e5, 0.0, std::nan("")); }), "PROS02", 4);
  expect_fatal(run_captured([] { return PROS02(0.0, std::nan(""), 0.0, 400.0); }), "PROS02", 4);
}

// --- Refrigerant vapours ------------------------------------------------------------

// Molar masses, kg/kmol, of the refrigerants R11, R12, R21, R22, R114 and R502.
struct Refrigerant {
  double (*density)(double, double, double, double);
  double molar_mass;
};
const std::array<Refrigerant, 6> kRefrigerants{{{PROS04, 137.37},
                                                {PROS06, 120.91},
                                                {PROS08, 102.92},
                                                {PROS10, 86.47},
                                                {PROS12, 170.92},
                                                {PROS14, 111.63}}};

TEST_F(Eos, RefrigerantVapoursBecomeIdealGasesAtLowPressure) {
  for (const Refrigerant& r : kRefrigerants) {
    const double ideal = 100.0 * r.molar_mass / (8314.46 * 350.0);
    EXPECT_NEAR(r.density(0.0, 100.0, 0.0, 350.0), ideal, 0.003 * ideal) << r.molar_mass;
  }
}

TEST_F(Eos, MartinHouDensitySolvesItsEquation) {
  // R21 has no covolume, no exponential terms and only two density terms:
  // P = R T / v + (A2 + B2 T) / v^2 + (A3 + B3 T) / v^3, British units.
  for (double p : {1.0e4, 1.0e5, 5.0e5}) {
    const double rho = PROS08(0.0, p, 0.0, 400.0);
    const double v = 1.0 / (rho * static_cast<double>(0.06243F));  // ft3/lb
    const double t = static_cast<double>(1.8F) * 400.0;            // degrees Rankine
    const double psia = static_cast<double>(0.000145F) * p;
    const double eos = 0.10427 * t / v + (-7.316 + 0.0046421 * t) / (v * v) +
                       (-0.20382376 + 0.0003593 * t) / (v * v * v);
    EXPECT_NEAR(eos / psia, 1.0, 1e-5) << p;
  }
}

TEST_F(Eos, RefrigerantDensityAtZeroPressureStops) {
  expect_fatal(run_captured([] { return PROS04(0.0, 0.0, 0.0, 300.0); }), "PFRHOV", 1);
  expect_fatal(run_captured([] { return PROS10(100.0, -100.0, 0.0, 300.0); }), "PFRHOV", 1);
  expect_fatal(run_captured([] { return PROS12(0.0, 1.0e5, 0.0, std::nan("")); }), "PFRHOV", 2);
}

// --- Air ----------------------------------------------------------------------------

TEST_F(Eos, AirIsAnIdealGas) {
  EXPECT_NEAR(PRHO00(101325.0, 0.0, 288.15, 0.0), 1.225, 0.0005);  // standard atmosphere
  EXPECT_EQ(PRHO00(0.0, 101325.0, 15.0, 273.15), 101325.0 / (287.04 * (15.0 + 273.15)));
  const Outcome cold = run_captured([] { return PRHO00(1000.0, 0.0, -272.65, 273.15); });
  expect_warning(cold, "PRHO00", 1,
                 "Temperature less than minimum temperature@ Temperature =    -272.65: Minimum "
                 "temperature assumed.");
  EXPECT_EQ(cold.value, 1000.0 / (287.04 * 1.0));
}

// --- Compressed liquids ---------------------------------------------------------------

TEST_F(Eos, SpeedOfSoundInWater) {
  EXPECT_NEAR(PSND01(101325.0, 293.15), 1482.9, 0.5);
  GLOR.TABS = 273.15;
  GLOR.PABS = 101325.0;
  EXPECT_NEAR(PSND01(0.0, 20.0), 1482.9, 0.5);
  // 0 C: 1402.4 m/s; 60 C: 1551.3 m/s (pure water at 1 atm).
  EXPECT_NEAR(PSND01(0.0, 0.0), 1402.4, 1.0);
  EXPECT_NEAR(PSND01(0.0, 60.0), 1551.3, 1.0);
}

// Hot water: the polynomial would fall through zero at about 265 C and make
// the compressed-liquid density infinite; it continues along its tangent at
// 130 C instead. IAPWS-95, saturated liquid: 1400.37 m/s at 450 K, 1239.55
// at 500 K, 1074.64 at 540 K; 782.46 kg/m3 at 538 K and 10 MPa.
TEST_F(Eos, SpeedOfSoundInHotWater) {
  EXPECT_NEAR(PSND01(932204.0, 450.0), 1400.37, 0.015 * 1400.37);
  EXPECT_NEAR(PSND01(2639196.0, 500.0), 1239.55, 0.025 * 1239.55);
  EXPECT_NEAR(PSND01(5236908.0, 540.0), 1074.64, 0.10 * 1074.64);
  // No step where the tangent takes over.
  EXPECT_NEAR(PSND01(1.0e6, 403.15 + 1e-9), PSND01(1.0e6, 403.15 - 1e-9), 1e-5);
  for (double t = 403.15; t < 647.0; t += 1.0) EXPECT_GT(PSND01(PSAT02(0.0, 0.0, t), t), 900.0) << t;
  EXPECT_NEAR(PROL01(1.0e7, 0.0, 538.0, 0.0), 782.46, 0.01 * 782.46);
}

TEST_F(Eos, CompressedWater) {
  GLOR.TABS = 273.15;
  // At the saturation pressure the saturated density, unchanged.
  const double ps = PSAT02(0.0, 273.15, 20.0);
  EXPECT_EQ(PROL01(ps, 0.0, 20.0, 273.15), PRHO01(0, 20.0, 273.15));
  // IAPWS: 998.21 kg/m3 at 0.1 MPa and 1002.66 at 10 MPa, 20 C.
  EXPECT_NEAR(PROL01(1.0e5, 0.0, 20.0, 273.15), 998.21, 0.7);
  EXPECT_NEAR(PROL01(1.0e7, 0.0, 20.0, 273.15) - PROL01(1.0e5, 0.0, 20.0, 273.15), 4.45, 0.15);
}

TEST_F(Eos, TaitCorrection) {
  // No correction at the saturation pressure.
  EXPECT_EQ(PRHOL(0.2215, 1.0e6, 4980000.0, 1.0e6, 300.0, 369.3, 1.0 / 1190.0),
            1.0 / (1.0 / 1190.0));
  // Compressed, the liquid grows denser, by a compressibility of order 1e-9 1/Pa.
  const double rho0 = PRHOL(0.2215, 1.0e6, 4980000.0, 1.0e6, 300.0, 369.3, 1.0 / 1190.0);
  const double rho1 = PRHOL(0.2215, 2.0e6, 4980000.0, 1.0e6, 300.0, 369.3, 1.0 / 1190.0);
  const double kappa = (rho1 - rho0) / (rho0 * 1.0e6);
  EXPECT_GT(kappa, 1.0e-10);
  EXPECT_LT(kappa, 1.0e-8);
  const Outcome hot = run_captured(
      [] { return PRHOL(0.2215, 5.0e6, 4980000.0, 1.0e6, 369.3, 369.3, 1.0 / 600.0); });
  expect_warning(hot, "PRHOL ", 1,
                 "Temperature greater than critical temperature@Temperature too high for "
                 "calculation of liquid density. Temperature =    369.30 . Critical temperature "
                 "assumed.");
  EXPECT_EQ(hot.value, 1.0 / (1.0 / 600.0));
}

// A few kelvin below the critical temperature the correction has a pole (R11
// at 4 MPa near 462.5 K), beyond which it has no value: the saturated density
// stands in, with one warning in the run.
TEST_F(Eos, TaitCorrectionWithoutAValue) {
  const Outcome o = run_captured([] {
    double worst = 0.0;
    for (double t = 462.0; t < 463.5; t += 0.05) {
      const double rho = PROL03(0, 0.0, 4.0e6, 0.0, t);
      if (!std::isfinite(rho) || rho <= 0.0) worst = std::numeric_limits<double>::quiet_NaN();
    }
    return worst;
  });
  EXPECT_EQ(o.value, 0.0);
  ASSERT_EQ(o.frames.size(), 1U);
  EXPECT_EQ(o.frames[0].routine, "PRHOL ");
  EXPECT_EQ(o.frames[0].code, 2);
  EXPECT_EQ(run_captured([] { return PROL03(0, 0.0, 4.0e6, 0.0, 462.45); }).value,
            PRHO03(0, 462.45, 0.0));
}

TEST_F(Eos, RefrigerantLiquids) {
  GLOR.TABS = 273.15;
  struct Liquid {
    double (*density)(std::int32_t, double, double, double, double);
    double (*saturated)(std::int32_t, double, double);
    double (*psat)(double, double, double);
  };
  const std::array<Liquid, 6> liquids{{{PROL03, PRHO03, PSAT04},
                                       {PROL05, PRHO05, PSAT06},
                                       {PROL07, PRHO07, PSAT08},
                                       {PROL09, PRHO09, PSAT10},
                                       {PROL11, PRHO11, PSAT12},
                                       {PROL15, PRHO15, PSAT16}}};
  for (const Liquid& l : liquids) {
    const double ps = l.psat(0.0, 273.15, -10.0);
    const double rhos = l.saturated(0, -10.0, 273.15);
    EXPECT_NEAR(l.density(0, 0.0, ps, 273.15, -10.0), rhos, 1e-12 * rhos);
    EXPECT_GT(l.density(0, 0.0, ps + 1.0e6, 273.15, -10.0), rhos);
  }
  // R502 has no pressure correction.
  EXPECT_EQ(PROL13(0, 0.0, 1.0e5, 273.15, -10.0), PRHO13(0, -10.0, 273.15));
  EXPECT_EQ(PROL13(0, 0.0, 5.0e6, 273.15, -10.0), PRHO13(0, -10.0, 273.15));
  // Ammonia: the saturated density times 1 + (P - Ps) kappa.
  const double ps = PSAT16(0.0, 273.15, -10.0);
  EXPECT_DOUBLE_EQ(PROL15(0, 0.0, ps + 1.0e6, 273.15, -10.0),
                   PRHO15(0, -10.0, 273.15) * (1.0 + 1.0e6 * PKT15(0, -10.0, 273.15)));
}

// --- Ammonia vapour ------------------------------------------------------------------

TEST_F(Eos, AmmoniaVapour) {
  // 300 K and 1 atm lies beyond the blending band: the virial gas, 0.6992 kg/m3.
  EXPECT_NEAR(PROS16(0, 0.0, 101325.0, 0.0, 300.0), 0.6992, 0.002);
  // At the saturation temperature it is the saturated vapour.
  const double ts = XTEMPS(101325.0, 1, 0);
  const double rhog = XRHOS(101325.0, ts, 1.0, 1, 0);
  EXPECT_NEAR(PROS16(0, 0.0, 101325.0, 0.0, ts), rhog, 1e-12 * rhog);
  // From the end of the band on: 17.03 / (R T / P + B(T)).
  const double band = 0.6 * 101325.0 / 100000.0 + 5.0;
  const double t = ts + band;
  EXPECT_NEAR(PROS16(0, 0.0, 101325.0, 0.0, t), 17.03 / (8314.4 * t / 101325.0 + PB16(0, t, 0.0)),
              1e-12);
  expect_fatal(run_captured([] { return PROS16(0, 0.0, 0.0, 0.0, 300.0); }), "PROS16", 1);
}

// --- Specific heats of the refrigerant vapours -----------------------------------------

TEST_F(Eos, VapourSpecificHeatsApproachTheIdealGas) {
  // Ideal-gas specific heats at 300 K, J/(kg K): R11 568, R12 598, R22 646.
  struct Cp {
    double (*cp)(double, double, std::int32_t);
    double ideal;
  };
  for (const Cp& c : {Cp{PCP04, 568.0}, Cp{PCP06, 598.0}, Cp{PCP10, 646.0}}) {
    const double low = c.cp(1000.0, 300.0, 0);
    EXPECT_NEAR(low, c.ideal, 0.02 * c.ideal);
    // A real vapour takes more heat as it is compressed towards saturation.
    EXPECT_GT(c.cp(101325.0, 300.0, 0), low);
  }
  for (auto cp : {PCP12, PCP14}) {
    EXPECT_GT(cp(101325.0, 300.0, 0), cp(1000.0, 300.0, 0));
    EXPECT_GT(cp(1000.0, 300.0, 0), 400.0);
    EXPECT_LT(cp(1000.0, 300.0, 0), 900.0);
  }
}

// The specific heat needs 1 / (v - bc): a covolume equal to the vapour's
// specific volume stops the run, naming the state and the fluid.
TEST_F(Eos, SpecificHeatAtTheCovolumeStops) {
  const Outcome o = run_captured([] {
    kalvir::MartinHouCpConstants k{};
    k.bc = 1.0 / XRHO(101000.0, 300.0, 1.0, 5, 0);
    k.K = 4.5;
    k.Tc = 471.15;
    k.R = 60.522467;
    return CPMAHO(101000.0, 300.0, 5, 0, k);
  });
  EXPECT_EQ(o.status, 1);
  ASSERT_EQ(o.frames.size(), 1U);
  EXPECT_EQ(o.frames[0].severity, "FATAL ERROR");
  EXPECT_EQ(o.frames[0].routine, "PCP04 ");
  EXPECT_EQ(o.frames[0].code, 1);
  EXPECT_EQ(o.frames[0].text,
            printed("Problem in Cp calculation@Pressure( =   1.0100E+05) and/or temperature( "
                         "=   3.0000E+02) out of range in Cp calculation for R11"));
}

}  // namespace eos_test
