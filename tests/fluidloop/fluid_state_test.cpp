// Start-up completion of the fluid nodes' states: the descriptor forms that
// STCHEK accepts, and FGEIND through FINITS for every descriptor, humid air,
// the mass source and the flow regime, against the property functions.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "runtime/fluidloop/fluid_state.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/program/startup.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"

namespace kalvir::test {
namespace fluid_state_test {

struct DescriptorCase {
  const char* what;
  const char* given;
  const char* result;
  std::int32_t ok;
};

class Descriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(Descriptor, Normalised) {
  const DescriptorCase& c = GetParam();
  std::array<char, 8> text{};
  assign_padded(text, c.given);
  std::int32_t ok = -1;
  STCHEK(text, ok);
  EXPECT_EQ(ok, c.ok);
  EXPECT_EQ(std::string(text.data(), text.size()), padded(c.result, 8));
}

INSTANTIATE_TEST_SUITE_P(Cases, Descriptor,
                         ::testing::Values(DescriptorCase{"P&T kept", "P&T", "P&T", 1},
                                           DescriptorCase{"T&P turned", "T&P", "P&T", 1},
                                           DescriptorCase{"FE&P turned", "FE&P", "P&FE", 1},
                                           DescriptorCase{"VQ&P turned", "VQ&P", "P&VQ", 1},
                                           DescriptorCase{"VQ&T turned", "VQ&T", "T&VQ", 1},
                                           DescriptorCase{"blanks removed", " T & VQ", "T&VQ", 1},
                                           DescriptorCase{"other pair kept as given", "P&X", "P&X", 0},
                                           DescriptorCase{"no ampersand", "PT", "PT", 0}),
                         CaseName{});

constexpr std::int32_t kWater = 2, kAirw = 4;

// What one node should hold after FINITS; each check reads the node (fluid
// node 1, internal index 1) and compares with the property functions.
struct StateCase {
  const char* what;
  const char* node;  // the fluidnode statement's options
  std::function<void()> check;
};

class FluidState : public ::testing::TestWithParam<StateCase> {};

TEST_P(FluidState, CompletedFromItsDescriptor) {
  TempDir dir;
  load_description(std::string("model STATE\nfluidnode 1 ") + GetParam().node + "\n", dir);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FINITS(" ", 1); }, msgs), 0) << msgs.front().text;
  EXPECT_TRUE(msgs.empty()) << msgs.front().text;
  GetParam().check();
}

double p1() { return gar_fluidnodepressures(1); }
double t1() { return gar_fluidnodetemps(1); }
double x1() { return gar_fluidnodevapourqualities(1); }
std::string regime() { return std::string(gar_fluidnodeflowregimes(1)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, FluidState,
    ::testing::Values(
        StateCase{"P&T liquid", "P=2e5 T=20 FST=P&T",
                  [] {
                    EXPECT_EQ(x1(), 0.0);
                    EXPECT_DOUBLE_EQ(gar_fluidnodespecenthalpies(1), XENTH(2e5, 20.0, 0.0, kWater, 1));
                    EXPECT_EQ(regime(), "LIQ ");
                  }},
        StateCase{"T&P is P&T and stays as written", "P=2e5 T=125 FST=T&P",
                  [] {
                    EXPECT_EQ(x1(), 1.0);
                    EXPECT_DOUBLE_EQ(gar_fluidnodespecenthalpies(1), XENTH(2e5, 125.0, 1.0, kWater, 1));
                    EXPECT_EQ(regime(), "VAP ");
                    EXPECT_EQ(gar_fluidnodestatedescriptors(1), "T&P ");
                  }},
        StateCase{"P&FE two-phase takes the saturation temperature", "P=1e5 FE=1.5e6 FST=P&FE",
                  [] {
                    const double ts = XTEMPS(1e5, kWater, 1);
                    const double hl = XENTHS(1e5, ts, 0.0, kWater, 1), hv = XENTHS(1e5, ts, 1.0, kWater, 1);
                    EXPECT_DOUBLE_EQ(x1(), (1.5e6 - hl) / (hv - hl));
                    EXPECT_DOUBLE_EQ(t1(), ts);
                    EXPECT_EQ(regime(), "HEM ");
                  }},
        StateCase{"P&FE liquid", "P=1e5 FE=2e5 FST=P&FE",
                  [] {
                    EXPECT_EQ(x1(), 0.0);
                    EXPECT_DOUBLE_EQ(t1(), XTEMP(1e5, 2e5, 0.0, kWater, 1));
                  }},
        StateCase{"P&VQ saturated vapour", "P=1e5 VQ=1 FST=VQ&P",
                  [] {
                    EXPECT_DOUBLE_EQ(t1(), XTEMPS(1e5, kWater, 1));
                    EXPECT_DOUBLE_EQ(gar_fluidnodespecenthalpies(1), XENTH(1e5, t1(), 1.0, kWater, 1));
                    EXPECT_EQ(regime(), "VAP ");
                  }},
        StateCase{"T&VQ half evaporated", "T=80 VQ=0.5 FST=T&VQ",
                  [] {
                    EXPECT_DOUBLE_EQ(p1(), XPRESS(80.0, kWater, 1));
                    EXPECT_DOUBLE_EQ(gar_fluidnodespecenthalpies(1), XENTH(p1(), 80.0, 0.5, kWater, 1));
                    EXPECT_EQ(regime(), "HEM ");
                  }},
        StateCase{"dry humid air", "fluid=AIRW P=1e5 T=20 PHI=0 FST=P&T",
                  [] {
                    EXPECT_EQ(gar_fluidnodespechumidities(1), 0.0);
                    EXPECT_EQ(x1(), 0.0);
                    EXPECT_EQ(regime(), "VAP ");
                  }},
        // Humid air's enthalpy is per kilogram of dry air, as the textbook
        // has it: 1006 t + x (2501e3 + 1860 t) J/kg, with x = 0.6221 pv /
        // (P - pv) and pv half of 2339.3 Pa at 20 degrees.
        StateCase{"humid air by temperature", "fluid=AIRW P=1e5 T=20 PHI=0.5 FST=P&T",
                  [] {
                    const double pv = 0.5 * 2339.3, x = 0.6221 * pv / (1e5 - pv);
                    EXPECT_NEAR(x1(), x, 1e-3 * x);
                    EXPECT_NEAR(gar_fluidnodespecenthalpies(1), 1006.0 * 20.0 + x * (2.501e6 + 1860.0 * 20.0), 150.0);
                    EXPECT_EQ(regime(), "VAP ");
                  }},
        StateCase{"humid air by enthalpy starts at its temperature", "fluid=AIRW P=1e5 FE=38800 PHI=0.5 FST=P&FE",
                  [] {
                    const double pv = 0.5 * 2339.3, x = 0.6221 * pv / (1e5 - pv);
                    EXPECT_NEAR(t1(), 20.0, 0.1);
                    EXPECT_NEAR(x1(), x, 1e-2 * x);
                    EXPECT_EQ(gar_fluidnodespechumidities(1), x1());
                    EXPECT_EQ(gar_fluidnodespecenthalpies(1), 38800.0);
                    EXPECT_NEAR(XENTH(1e5, t1(), x1(), kAirw, 1), 38800.0, 1e-6);
                    EXPECT_EQ(regime(), "VAP ");
                  }},
        StateCase{"flow area from the diameter", "P=2e5 T=20 FLA=U FD=0.02 FL=3",
                  [] {
                    EXPECT_DOUBLE_EQ(gar_fluidnodeflowareas(1), 3.1415927e-4);
                    EXPECT_DOUBLE_EQ(gar_fluidnodevolumes(1), 3.1415927e-4 * 3.0);
                  }},
        StateCase{"source by temperature", "P=2e5 T=20 FM=0.1 FR=30",
                  [] {
                    EXPECT_DOUBLE_EQ(gar_fluidnodemasssourcespecenthalpies(1), XENTH(2e5, 30.0, 0.0, kWater, 1));
                    EXPECT_EQ(gar_fluidnodemasssourcespechumidities(1), 0.0);
                  }},
        StateCase{"source by enthalpy", "P=1e5 FE=2e5 FST=P&FE FM=0.1 FH=1.5e6",
                  [] {
                    EXPECT_DOUBLE_EQ(gar_fluidnodemasssourcetemps(1), XTEMPS(1e5, kWater, 1));
                    EXPECT_GT(gar_fluidnodemasssourcespechumidities(1), 0.0);
                    EXPECT_LT(gar_fluidnodemasssourcespechumidities(1), 1.0);
                  }},
        StateCase{"source of a saturated node", "P=1e5 VQ=0 FST=P&VQ FM=0.1 FW=1",
                  [] {
                    EXPECT_DOUBLE_EQ(gar_fluidnodemasssourcetemps(1), t1());
                    EXPECT_DOUBLE_EQ(gar_fluidnodemasssourcespecenthalpies(1), XENTH(1e5, t1(), 1.0, kWater, 1));
                  }},
        StateCase{"source by temperature and quality", "T=80 VQ=0 FST=T&VQ FM=0.1 FR=90 FW=1",
                  [] {
                    EXPECT_DOUBLE_EQ(gar_fluidnodemasssourcespecenthalpies(1),
                                     XENTH(XPRESS(90.0, kWater, 1), 90.0, 1.0, kWater, 1));
                  }},
        StateCase{"no source rate touches no source value", "P=2e5 T=20 FM=U FR=U FH=7 FW=U",
                  [] { EXPECT_EQ(gar_fluidnodemasssourcespecenthalpies(1), 7.0); }}),
    CaseName{});

struct FailCase {
  const char* what;
  const char* node;
  std::int32_t code;
  std::int32_t severity_warning;  // 1 for a warning, 0 for an error
  const char* text;
  const char* regime;
  // A descriptor the loader refuses from a file, stored after the load as a
  // model program could store it (nullptr: the file's own).
  const char* stored_descriptor = nullptr;
};

class FluidStateMessage : public ::testing::TestWithParam<FailCase> {};

TEST_P(FluidStateMessage, ReportedAndTheRunGoesOn) {
  const FailCase& c = GetParam();
  TempDir dir;
  load_description(std::string("model STATE\nfluidnode 1 ") + c.node + "\n", dir);
  if (c.stored_descriptor != nullptr) gar_fluidnodestatedescriptors.set(1, c.stored_descriptor);
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { FINITS(" ", 1); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].code, c.code);
  EXPECT_EQ(msgs[0].routine, "FGEIND");
  EXPECT_EQ(msgs[0].severity, c.severity_warning ? "WARNING" : "FAILURE");
  EXPECT_EQ(msgs[0].text, c.text);
  EXPECT_EQ(gar_fluidnodeflowregimes(1), c.regime);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FluidStateMessage,
    ::testing::Values(
        FailCase{"source temperature missing", "P=2e5 T=20 FM=0.1 FR=U", 1, 1,
                 "Initialisation of FH and FW failedMass-source temperature FR not defined. FST = 'P&T '", "LIQ "},
        FailCase{"source enthalpy missing", "P=1e5 FE=2e5 FST=P&FE FM=0.1 FH=U", 2, 1,
                 "Initialisation of FR and FW failedMass-source enthalpy FH not defined. FST = 'P&FE'", "LIQ "},
        FailCase{"source quality missing", "P=1e5 VQ=1 FST=P&VQ FM=0.1 FW=U", 3, 1,
                 "Initialisation of FH failedMass-source quality FW not defined. FST = 'P&VQ'", "VAP "},
        FailCase{"source temperature or quality missing", "T=80 VQ=0 FST=T&VQ FM=0.1 FR=90 FW=U", 4, 1,
                 "Initialisation of FH failedMass-source temperature FR or quality FW not defined. FST = 'T&VQ'",
                 "LIQ "},
        FailCase{"descriptor not recognised", "P=2e5 T=20 VQ=0.5", 5, 0,
                 "Fluid state descriptor not recognisedString given: FST = 'P&X '", "HEM ", "P&X"},
        FailCase{"vapour pressure above the pressure", "fluid=AIRW P=1000 T=60 PHI=1", 6, 0,
                 "Initialisation of specific humidity failedVapour pressure not below the pressure. FST = 'P&T '",
                 "VAP "},
        FailCase{"humid air enthalpy that no air has", "fluid=AIRW P=1e5 FE=-3e5 PHI=0.5 FST=P&FE", 7, 0,
                 "Initialisation of humid air failedNo temperature gives the enthalpy FE at the relative humidity PHI. "
                 "FST = 'P&FE' Node 1 in main model",
                 "VAP "}),
    CaseName{});

}  // namespace fluid_state_test
}  // namespace kalvir::test
