// The per-fluid adapters QPxxyy: every cell of the adapter matrix computes
// what its calling pattern says, the matrix names the right library routine
// for each slot and property, and the adapters' own formulas hold.
#include "runtime/fluids/interface/adapters.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/compressed_liquid.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/library/eos.h"
#include "runtime/fluids/library/psychrometrics.h"
#include "runtime/fluids/library/saturation_pressure.h"
#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/surface_tension.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/fluids/library/vapour.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"

namespace adapters_test {

using kalvir::fluids::adapter;
using kalvir::test::Outcome;
using kalvir::test::run_captured;
using kalvir::test::same_value;

// The arguments of one adapter call and the adapter's own slot and code.
struct State {
  int slot, code;
  double P, T, H, X;
  std::int32_t node;
  double tm() const { return (T + GLOR.TABS) - GLOR.TABS; }
  double pm() const { return (P + GLOR.PABS) - GLOR.PABS; }
  double adapter_call(int c) const { return adapter(slot, c)(P, T, H, X, slot, node); }
};

double model_t(double kelvin) { return ((kelvin + GLOR.TABS) + 0.0) - GLOR.TABS; }
double model_p(double pascal) { return ((pascal + GLOR.PABS) + 0.0) - GLOR.PABS; }

// What each calling pattern computes, written out from its definition.
// clang-format off
#define FX_A(r) [](const State& s) { return r(s.node, s.tm(), GLOR.TABS); }
#define FX_B(r) [](const State& s) { return r(s.tm(), GLOR.TABS); }
#define FX_C(r) [](const State& s) { return r(s.node, GLOR.PABS, s.pm()); }
#define FX_D(r) [](const State& s) { return r(s.pm(), s.tm(), s.node); }
#define FX_E(r) [](const State& s) { return r(s.node, GLOR.PABS, s.pm(), GLOR.TABS, s.tm()); }
#define FX_F(r) [](const State& s) { return r(GLOR.PABS, s.pm(), GLOR.TABS, s.tm()); }
#define FX_G(r) [](const State& s) { return r(s.pm(), GLOR.PABS, s.tm(), GLOR.TABS); }
#define FX_J(r) [](const State& s) { return model_p(r(GLOR.PABS, GLOR.TABS, s.tm())); }
#define FX_K(r) [](const State& s) { return model_t(r(s.node, GLOR.PABS, s.pm(), GLOR.TABS)); }
#define FX_L [](const State& s) { return XGHPT1(s.pm(), s.tm(), s.X, s.slot, s.node); }
#define FX_M [](const State& s) { return model_t(XGTPH1(s.pm(), s.H, s.X, s.slot, s.node)); }
#define FX_HL(t) [](const State& s) { \
    return kalvir::fluids::liquid_enthalpy(kalvir::fluids::k##t, s.pm(), s.tm(), s.slot, s.node); }
#define FX_TL(t, h) [](const State& s) { \
    return model_t(kalvir::fluids::liquid_temperature(kalvir::fluids::k##t, kalvir::fluids::k##h, s.pm(), \
                                                      s.H, s.slot, s.node)); }
#define FX_N [](const State& s) { return XJT(s.pm(), s.tm(), 1.0, s.slot, s.node); }
#define FX_Q [](const State& s) { \
    const double yl = s.adapter_call(s.code - 1); \
    const double yv = s.adapter_call(s.code + 1); \
    return ((yv - yl) * s.X) + yl; }
#define FX_R [](const State& s) { \
    const double rl = s.adapter_call(2); \
    const double rv = s.adapter_call(4); \
    return 1.0 / (s.X / rv + (1.0 - s.X) / rl); }
#define FX_JT(delta) [](const State& s) { \
    const double r0 = XRHO(s.pm(), s.tm(), s.X, s.slot, s.node); \
    const double t1 = ((s.T + GLOR.TABS) + (delta)) - GLOR.TABS; \
    const double r1 = XRHO(s.pm(), t1, s.X, s.slot, s.node); \
    const double c = XCP(s.pm(), s.tm(), s.X, s.slot, s.node); \
    return -(1.0 + (s.T + GLOR.TABS) * (r1 - r0) / ((delta) * r0)) / (r0 * c); }
#define FX_S FX_JT(-0.001)
#define FX_U FX_JT(0.001)
#define FX_V [](const State& s) { \
    const double r0 = XRHO(s.pm(), s.tm(), s.X, s.slot, s.node); \
    const double dp = 0.001 * (s.P + GLOR.PABS); \
    const double r1 = XRHO(((s.P + GLOR.PABS) + dp) - GLOR.PABS, s.tm(), s.X, s.slot, s.node); \
    return (r1 - r0) / (dp * r0); }
#define FX_W [](const State& s) { \
    const double r0 = XRHO(s.pm(), s.tm(), s.X, s.slot, s.node); \
    const double dp = 0.001 * (s.P + GLOR.PABS); \
    const double r1 = XRHO(((s.P + GLOR.PABS) - dp) - GLOR.PABS, s.tm(), s.X, s.slot, s.node); \
    return (r1 - r0) / (-dp * r0); }
#define FX_Z [](const State& s) { \
    const double c = PSND01(s.pm(), s.tm()); \
    const double r = XRHO(s.pm(), s.tm(), s.X, s.slot, s.node); \
    return 1.01 / (c * c * r); }
#define FX_HUMID_RHO(a, v) [](const State& s) { \
    const double pa = s.P + GLOR.PABS; \
    const double pv = (s.X * pa) / (s.X + 0.6221); \
    return a(((pa - pv) - GLOR.PABS), GLOR.PABS, s.tm(), GLOR.TABS) + \
           v(GLOR.PABS, pv - GLOR.PABS, GLOR.TABS, s.tm()); }
#define FX_HUMID_CP(a, v) [](const State& s) { \
    const double ca = a(s.tm(), GLOR.TABS); \
    return (v(s.node, s.tm(), GLOR.TABS) * s.X + ca) / (s.X + 1.0); }
#define FX_HUMID_MOLAR(a, v) [](const State& s) { \
    const double ya = a(s.tm(), GLOR.TABS); \
    return (v(s.node, s.tm(), GLOR.TABS) * s.X + ya * 0.6221) / (0.6221 + s.X); }
#define FX_HUMID_CP_SAT [](const State& s) { return (1868.07 * s.X + 1011.57) / (s.X + 1.0); }
#define FX_HUMID_H_SAT [](const State& s) { \
    return (1868.07 * s.X + 1011.57) / (s.X + 1.0) * 273.16; }
#define FX_HUMID_H [](const State& s) { \
    return kalvir::fluids::psychro::enthalpy(s.tm() + GLOR.TABS, s.X, s.node); }
#define FX_HUMID_T [](const State& s) { \
    return model_t(kalvir::fluids::psychro::temperature(s.H, s.X, s.node) - GLOR.TABS); }
#define FX_VALUE(v) [](const State&) { return v; }
#define FX_T_SAT(t) [](const State&) { return (t) - GLOR.TABS; }
#define FX_INV_P [](const State& s) { return 1.0 / (s.P + GLOR.PABS); }
// clang-format on

using Expectation = double (*)(const State&);

struct Case {
  int slot, code;
  QpAdapter function;
  std::string_view name, cell;
  Expectation expect;
};

#define FX_CASE(xx, yy, cell) \
  Case{KALVIR_QP_NUMBER(xx), KALVIR_QP_NUMBER(yy), &QP##xx##yy, "QP" #xx #yy, #cell, FX_##cell},
const Case kCases[] = {KALVIR_QP_EXPAND(FX_CASE)};
#undef FX_CASE
#undef FX_A
#undef FX_B
#undef FX_C
#undef FX_D
#undef FX_E
#undef FX_F
#undef FX_G
#undef FX_J
#undef FX_K
#undef FX_L
#undef FX_M
#undef FX_HL
#undef FX_TL
#undef FX_N
#undef FX_Q
#undef FX_R
#undef FX_JT
#undef FX_S
#undef FX_U
#undef FX_V
#undef FX_W
#undef FX_Z
#undef FX_HUMID_RHO
#undef FX_HUMID_CP
#undef FX_HUMID_MOLAR
#undef FX_HUMID_CP_SAT
#undef FX_HUMID_H_SAT
#undef FX_HUMID_H
#undef FX_HUMID_T
#undef FX_VALUE
#undef FX_T_SAT
#undef FX_INV_P

// Model temperatures near the normal boiling point (TABS = 273.15): the liquid
// below it, the vapour above it.
struct SlotState {
  double t_liquid, t_vapour;
};
const std::map<int, SlotState> kSlotStates{
    {1, {-40.0, -20.0}}, {2, {50.0, 150.0}},  {3, {20.0, 20.0}},   {4, {20.0, 20.0}},
    {5, {10.0, 40.0}},   {6, {-10.0, 20.0}},  {7, {-40.0, -10.0}}, {8, {0.0, 30.0}},
    {9, {-50.0, -20.0}}, {10, {-55.0, -30.0}}};

class Adapters : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::messages_reset_for_tests();
    GLOI.MLEVEL = 2;  // range warnings are the library's business here
    GLOI.MSHORT = 0;
    GLOI.TRACE = 0;
    GLOR.TABS = 273.15;
    GLOR.PABS = 0.0;
  }
  void TearDown() override {
    GLOI.MLEVEL = 0;
    kalvir::platform::close_all_units();
  }
};

// The state in which case c is evaluated: the quality of the code's state
// (the humidity ratio 0.01 for AIRW), and an enthalpy 10 kJ/kg into the
// single-phase region for the temperature adapters.
State state_for(const Case& c) {
  const int s = (c.code - 1) % 5 + 1;  // 1 liquid ... 5 vapour
  const SlotState& st = kSlotStates.at(c.slot);
  State state{c.slot, c.code, 101325.0, s <= 3 ? st.t_liquid : st.t_vapour, 0.0, 0.0, 0};
  state.X = s <= 2 ? 0.0 : s == 3 ? 0.3 : 1.0;
  // AIRW's enthalpy and temperature are those of humid air, per kilogram
  // of dry air.
  if (c.slot == 4) {
    state.X = 0.01;
    if (c.code == 35) state.H = 45000.0;
    return state;
  }
  if (c.code == 31 || c.code == 35) {
    const double x = c.code == 31 ? 0.0 : 1.0;
    const Outcome h = run_captured([&] {
      const double ts = XTEMPS(state.P, c.slot, 0);
      return XENTHS(state.P, ts, x, c.slot, 0) + (c.code == 31 ? -10000.0 : 10000.0);
    });
    state.H = h.value;
  }
  return state;
}

TEST_F(Adapters, EveryCellComputesItsPattern) {
  ASSERT_EQ(std::size(kCases), kalvir::fluids::adapter_entries().size());
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::string(c.cell));
    const State s = state_for(c);
    const Outcome got =
        run_captured([&] { return c.function(s.P, s.T, s.H, s.X, s.slot, s.node); });
    const Outcome want = run_captured([&] { return c.expect(s); });
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(want.status, 0);
    EXPECT_TRUE(std::isfinite(got.value));
    EXPECT_TRUE(same_value(got.value, want.value)) << got.value << " " << want.value;
  }
}

// --- The matrix itself ------------------------------------------------------------

// Library fluid types of each slot's liquid and vapour.
const std::map<int, std::pair<std::string, std::string>> kTypes{
    {1, {"15", "16"}}, {2, {"01", "02"}}, {3, {"00", "00"}}, {4, {"00", "02"}}, {5, {"03", "04"}},
    {6, {"11", "12"}}, {7, {"05", "06"}}, {8, {"07", "08"}}, {9, {"09", "10"}}, {10, {"13", "14"}}};

// The family of the routine of each code, and whether it serves the liquid.
struct CodeRoutine {
  std::string family;
  bool liquid;
};
const std::map<int, CodeRoutine> kCodeRoutines{
    {1, {"PROL", true}},  {2, {"PRHO", true}},  {4, {"PRHO", false}},  {5, {"PROS", false}},
    {6, {"PCP", true}},   {7, {"PCP", true}},   {9, {"PCP", false}},   {10, {"PCP", false}},
    {11, {"PCND", true}}, {12, {"PCND", true}}, {14, {"PCND", false}}, {15, {"PCND", false}},
    {16, {"PVSC", true}}, {17, {"PVSC", true}}, {19, {"PVSC", false}}, {20, {"PVSC", false}},
    {22, {"PSIG", true}}, {27, {"PETH", true}}, {29, {"PETH", false}}, {32, {"PTS", false}},
    {37, {"PSAT", false}}};

// The pattern that a routine's argument order calls for.
std::string pattern_of(const std::string& r) {
  const std::string family = r.substr(0, r.size() - 2);
  const int n = std::stoi(r.substr(r.size() - 2));
  if (r == "PCND00" || r == "PCP00" || r == "PVSC00" || family == "PSIG") return "B";
  if (r == "PROL01" || r == "PRHO00") return "G";
  if (r == "PROS16") return "E";
  if (family == "PCP" && (n == 4 || n == 6 || n == 10 || n == 12 || n == 14)) return "D";
  if (family == "PCND" || family == "PVSC" || family == "PCP" || r == "PKT15") return "A";
  if (family == "PRHO") return (n % 2 == 1 || n == 16) ? "A" : "C";
  if (family == "PETH") return "C";
  if (family == "PROL") return "E";
  if (family == "PROS") return "F";
  if (family == "PSAT") return "J";
  if (family == "PTS") return "K";
  return "?";
}

struct ParsedCell {
  std::string pattern;
  std::vector<std::string> routines;
};

ParsedCell parse_cell(std::string_view cell) {
  ParsedCell p;
  const std::size_t open = cell.find('(');
  p.pattern = std::string(cell.substr(0, open));
  if (open == std::string_view::npos) return p;
  std::string inner(cell.substr(open + 1, cell.size() - open - 2));
  std::size_t start = 0;
  while (start <= inner.size()) {
    std::size_t comma = inner.find(',', start);
    if (comma == std::string::npos) comma = inner.size();
    std::string r = inner.substr(start, comma - start);
    r.erase(0, r.find_first_not_of(' '));
    p.routines.push_back(r);
    start = comma + 1;
  }
  return p;
}

bool is_routine(const std::string& s) {
  return s.size() >= 4 && s[0] == 'P' && std::isdigit(s.back());
}

TEST_F(Adapters, MatrixNamesTheRoutinesOfEachFluidAndProperty) {
  std::map<int, int> per_slot;
  std::set<std::string> called;
  for (const auto& e : kalvir::fluids::adapter_entries()) {
    SCOPED_TRACE(std::string(e.name) + " " + std::string(e.cell));
    ++per_slot[e.slot];
    EXPECT_EQ(adapter(e.slot, e.code), e.function);
    const ParsedCell cell = parse_cell(e.cell);
    for (const std::string& r : cell.routines) {
      if (is_routine(r)) called.insert(r);
    }
    if (cell.pattern == "Z") called.insert("PSND01");
    const auto& [liquid, vapour] = kTypes.at(e.slot);

    if (e.slot == 4 && cell.pattern.starts_with("HUMID_") && cell.routines.size() == 2) {
      // Dry air first, then water vapour, of the code's property.
      const std::string family = kCodeRoutines.at(e.code).family;
      EXPECT_EQ(cell.routines[0], (family == "PROS" ? std::string("PRHO") : family) + "00");
      EXPECT_EQ(cell.routines[1], family + "02");
      continue;
    }
    if (e.code == 26 || e.code == 31) {
      // The compressed liquid reads its fluid's saturation line, the saturation
      // temperature and, for its temperature, the saturated-liquid enthalpy.
      EXPECT_EQ(cell.pattern, e.code == 26 ? "HL" : "TL");
      EXPECT_EQ(cell.routines.at(0), "PTS" + vapour);
      if (e.code == 31) {
        EXPECT_EQ(cell.routines.at(1), "PETH" + liquid);
      }
      continue;
    }
    if (cell.routines.size() != 1 || !is_routine(cell.routines[0])) continue;
    const std::string& r = cell.routines[0];
    EXPECT_EQ(cell.pattern, pattern_of(r));
    if (e.code == 46) {
      EXPECT_EQ(r, "PKT15");
      EXPECT_EQ(e.slot, 1);
      continue;
    }
    const CodeRoutine& want = kCodeRoutines.at(e.code);
    if (e.slot == 3) {
      EXPECT_EQ(r, (want.family == "PROS" ? std::string("PRHO") : want.family) + "00");
      continue;
    }
    EXPECT_EQ(r, want.family + (want.liquid ? liquid : vapour));
  }
  for (int slot = 1; slot <= 10; ++slot) {
    EXPECT_EQ(per_slot[slot], slot == 3 || slot == 4 ? 12 : 35) << "slot " << slot;
  }
  // Every member of the library families serves at least one adapter.
  auto member = [](const char* family, int n) {
    return std::string(family) + (n < 10 ? "0" : "") + std::to_string(n);
  };
  for (int n = 0; n <= 16; ++n) {
    for (const char* family : {"PCND", "PCP", "PVSC", "PRHO"}) {
      EXPECT_TRUE(called.count(member(family, n))) << member(family, n);
    }
    if (n >= 1) {
      EXPECT_TRUE(called.count(member("PETH", n))) << member("PETH", n);
    }
    if (n % 2 == 1) {
      EXPECT_TRUE(called.count(member("PROL", n))) << n;
      EXPECT_TRUE(called.count(member("PSIG", n))) << n;
    } else if (n >= 2) {
      EXPECT_TRUE(called.count(member("PROS", n))) << n;
      EXPECT_TRUE(called.count(member("PSAT", n))) << n;
      EXPECT_TRUE(called.count(member("PTS", n))) << n;
    }
  }
  EXPECT_TRUE(called.count("PKT15"));
  EXPECT_TRUE(called.count("PSND01"));
}

// --- Formulas of the adapters -------------------------------------------------------

double value(const std::function<double()>& f) {
  const Outcome o = run_captured(f);
  EXPECT_EQ(o.status, 0);
  return o.value;
}

TEST_F(Adapters, HandedOnTemperatureCarriesTheRoundingOfTheAbsoluteScale) {
  EXPECT_EQ(kalvir::fluids::handed_on(0.1, 273.15), 0.10000000000002274);
  EXPECT_EQ(kalvir::fluids::handed_on(0.1, 0.0), 0.1);
}

TEST_F(Adapters, TwoPhaseMixturesWeighTheSaturatedStates) {
  const double k12 = value([] { return QP0112(101325.0, -33.0, 0.0, 0.25, 1, 0); });
  const double k14 = value([] { return QP0114(101325.0, -33.0, 0.0, 0.25, 1, 0); });
  EXPECT_EQ(value([] { return QP0113(101325.0, -33.0, 0.0, 0.25, 1, 0); }),
            ((k14 - k12) * 0.25) + k12);
  // Water at 100 C: the mixture of equal masses has the harmonic mean density.
  const double rl = value([] { return QP0202(101325.0, 100.0, 0.0, 0.5, 2, 0); });
  const double rv = value([] { return QP0204(101325.0, 100.0, 0.0, 0.5, 2, 0); });
  EXPECT_NEAR(value([] { return QP0203(101325.0, 100.0, 0.0, 0.5, 2, 0); }),
              2.0 / (1.0 / rl + 1.0 / rv), 1e-12 * rv);
}

TEST_F(Adapters, SaturatedStatesShareTheirTableRoutines) {
  const std::vector<std::pair<int, int>> same{{6, 7},   {11, 12}, {16, 17},
                                              {14, 15}, {19, 20}, {9, 10}};
  for (int slot : {1, 2, 5, 6, 7, 8, 9, 10}) {
    const auto& st = kSlotStates.at(slot);
    for (const auto& [a, b] : same) {
      const double t = a == 9 || a == 14 || a == 19 ? st.t_vapour : st.t_liquid;
      EXPECT_EQ(value([&] { return adapter(slot, a)(101325.0, t, 0.0, 1.0, slot, 0); }),
                value([&] { return adapter(slot, b)(101325.0, t, 0.0, 1.0, slot, 0); }))
          << "slot " << slot << " codes " << a << " " << b;
    }
    // The saturated-vapour Joule-Thomson coefficient is the vapour one at quality 1.
    EXPECT_EQ(value([&] { return adapter(slot, 44)(101325.0, st.t_vapour, 0.0, 0.0, slot, 0); }),
              value([&] { return adapter(slot, 45)(101325.0, st.t_vapour, 0.0, 1.0, slot, 0); }));
  }
}

TEST_F(Adapters, SaturatedVapourDensityOfAmmoniaFollowsTemperatureOthersPressure) {
  auto rho = [](int slot, double p, double t) {
    return value([&] { return adapter(slot, 4)(p, t, 0.0, 1.0, slot, 0); });
  };
  EXPECT_EQ(rho(1, 100000.0, -30.0), rho(1, 200000.0, -30.0));
  EXPECT_NE(rho(1, 100000.0, -30.0), rho(1, 100000.0, -20.0));
  for (int slot : {2, 5, 6, 7, 8, 9, 10}) {
    EXPECT_EQ(rho(slot, 100000.0, -30.0), rho(slot, 100000.0, 20.0)) << slot;
    EXPECT_NE(rho(slot, 100000.0, -30.0), rho(slot, 200000.0, -30.0)) << slot;
  }
}

TEST_F(Adapters, HumidAirReducesToDryAirWithoutWater) {
  const double t = 20.0;
  EXPECT_NEAR(QP0415(101325.0, t, 0.0, 0.0, 4, 0), PCND00(t, 273.15), 1e-15 * PCND00(t, 273.15));
  EXPECT_NEAR(QP0420(101325.0, t, 0.0, 0.0, 4, 0), PVSC00(t, 273.15), 1e-15 * PVSC00(t, 273.15));
  EXPECT_NEAR(QP0410(101325.0, t, 0.0, 0.0, 4, 0), PCP00(t, 273.15), 1e-12);
  EXPECT_EQ(QP0405(101325.0, t, 0.0, 0.0, 4, 0), QP0305(101325.0, t, 0.0, 0.0, 3, 0));
  EXPECT_EQ(QP0409(101325.0, t, 0.0, 0.0, 4, 0), 1011.57);
  EXPECT_DOUBLE_EQ(QP0429(101325.0, t, 0.0, 0.0, 4, 0), 276320.4612);
  EXPECT_EQ(QP0427(101325.0, t, 0.0, 0.3, 4, 0), 0.0);
  // Equal masses of dry air and water vapour.
  EXPECT_DOUBLE_EQ(QP0409(101325.0, t, 0.0, 1.0, 4, 0), (1011.57 + 1868.07) / 2.0);
}

TEST_F(Adapters, HumidAirDensityAddsThePartialDensities) {
  // Humidity ratio 0.01 at 1 atm and 300 K (TABS 0): the vapour's partial
  // pressure is x p / (x + 0.6221); both gases near ideal.
  GLOR.TABS = 0.0;
  const double x = 0.01;
  const double pv = x * 101325.0 / (x + 0.6221);
  const double ideal = (101325.0 - pv) / (287.04 * 300.0) + pv / (461.5 * 300.0);
  EXPECT_NEAR(value([&] { return QP0405(101325.0, 300.0, 0.0, x, 4, 0); }), ideal, 1e-3 * ideal);
}

TEST_F(Adapters, FixedValuesOfTheGases) {
  for (double p : {50000.0, 101325.0}) {
    EXPECT_EQ(QP0332(p, 0.0, 0.0, 0.0, 3, 0), 1.0 - 273.15);
    EXPECT_EQ(QP0432(p, 0.0, 0.0, 0.0, 4, 0), 273.16 - 273.15);
    for (int slot : {3, 4}) {
      EXPECT_EQ(XKT(p, 20.0, 1.0, slot, 0), 1.0 / p);
      EXPECT_EQ(XJT(p, 20.0, 1.0, slot, 0), 0.0);
    }
  }
  EXPECT_EQ(QP0309(1.0, 2.0, 3.0, 4.0, 3, 0), 1111.5554);
  EXPECT_EQ(QP0329(1.0, 2.0, 3.0, 4.0, 3, 0), 1111.5554);
  EXPECT_EQ(QP0327(1.0, 2.0, 3.0, 4.0, 3, 0), 0.0);
}

// Independent values at 20 C and 1 atm: liquid water's compressibility
// 4.59e-10 1/Pa and Joule-Thomson coefficient -(1 - T beta) / (rho cp) with
// the expansion coefficient beta = 2.07e-4 1/K; steam at 150 C nearly ideal.
TEST_F(Adapters, DifferenceQuotientsMatchPhysicalValues) {
  EXPECT_NEAR(value([] { return QP0246(101325.0, 20.0, 0.0, 0.0, 2, 0); }), 4.59e-10, 0.1e-10);
  const double mu = -(1.0 - 293.15 * 2.07e-4) / (998.2 * 4184.0);
  EXPECT_NEAR(value([] { return QP0241(101325.0, 20.0, 0.0, 0.0, 2, 0); }), mu, 0.05 * -mu);
  EXPECT_NEAR(value([] { return QP0250(101325.0, 150.0, 0.0, 1.0, 2, 0); }), 1.0 / 101325.0,
              0.01 / 101325.0);
}

// Zero absolute pressure and humidity ratios of -1 and -0.6221 would divide by zero.
TEST_F(Adapters, ZeroDenominatorsStopTheRun) {
  struct Stop {
    std::function<double()> call;
    std::string routine;
  };
  const std::vector<Stop> stops{
      {[] { return QP0350(-GLOR.PABS, 20.0, 0.0, 1.0, 3, 0); }, "QP0350"},
      {[] { return QP0450(0.0, 20.0, 0.0, 0.0, 4, 0); }, "QP0450"},
      {[] { return QP0410(101325.0, 20.0, 0.0, -1.0, 4, 0); }, "QP0410"},
      {[] { return QP0409(101325.0, 20.0, 0.0, -1.0, 4, 0); }, "QP0409"},
      {[] { return QP0429(101325.0, 20.0, 0.0, -1.0, 4, 0); }, "QP0429"},
      {[] { return QP0405(101325.0, 20.0, 0.0, -0.6221, 4, 0); }, "QP0405"},
      {[] { return QP0415(101325.0, 20.0, 0.0, -0.6221, 4, 0); }, "QP0415"},
      {[] { return QP0420(101325.0, 20.0, 0.0, -0.6221, 4, 0); }, "QP0420"},
  };
  for (const Stop& s : stops) {
    SCOPED_TRACE(s.routine);
    const Outcome o = run_captured(s.call);
    EXPECT_EQ(o.status, 1);
    ASSERT_FALSE(o.frames.empty());
    EXPECT_EQ(o.frames.back().severity, "FATAL ERROR");
    EXPECT_EQ(o.frames.back().routine, s.routine);
    EXPECT_EQ(o.frames.back().code, 1);
    EXPECT_TRUE(o.frames.back().text.starts_with("Fluid property cannot be calculated"));
  }
}

}  // namespace adapters_test
