// The twenty fluid-property functions: which adapter or which fatal message
// each (function, fluid slot, vapour quality) reaches.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/adapters.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"
#include "tests/support/message_frames.h"
#include "tests/support/model_fixture.h"

namespace interface_test {

using kalvir::padded;
using kalvir::test::printed;
using kalvir::test::Outcome;
using kalvir::test::run_captured;
using kalvir::test::same_value;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The fluids by slot, as the messages name them.
constexpr std::array<std::string_view, 12> kNames{"",     "AMMONIA", "WATER", "AIR", "AIRW", "R11",
                                                  "R114", "R12",     "R21",   "R22", "R502", ""};

enum class Kind { general, saturation, no_quality };

// Which states a function answers, per kind of fluid: letters l (liquid),
// t (two-phase) and v (vapour). A general form answers AIRW with its vapour
// adapter whatever the quality, so "v" there means "answers".
struct Answers {
  std::string_view fluids, air, airw;
};

struct Function {
  std::string_view name;
  std::string_view words;
  Kind kind;
  int group;  // property group: codes are 5 (group - 1) + state
  Answers answers;
  // The word of the "undefined" message where the form has no state.
  std::string_view fixed_word;
  std::string_view airw_word;
  // Calls the function with the state (P, T, H, X), IFL and NODE.
  double (*call)(double, double, double, double, std::int32_t, std::int32_t);
  // The (P, T, H, X) that the function hands to its adapter.
  std::array<double, 4> (*handed)(double, double, double, double);
};

std::array<double, 4> pass_ptx(double P, double T, double, double X) { return {P, T, 0.0, X}; }
std::array<double, 4> pass_phx(double P, double, double H, double X) { return {P, 0.0, H, X}; }
std::array<double, 4> pass_p(double P, double, double, double) { return {P, 0.0, 0.0, 0.0}; }
std::array<double, 4> pass_t(double, double T, double, double) { return {0.0, T, 0.0, 0.0}; }
std::array<double, 4> pass_pt(double P, double T, double, double) { return {P, T, 0.0, 0.0}; }

#define PTX(F)                                                               \
  [](double P, double T, double, double X, std::int32_t I, std::int32_t N) { \
    return F(P, T, X, I, N);                                                 \
  }

// Property groups: 1 density, 2 specific heat, 3 conductivity, 4 viscosity,
// 5 surface tension, 6 enthalpy, 7 temperature, 8 pressure, 9 Joule-Thomson
// coefficient, 10 compressibility.
const std::array<Function, 20> kFunctions{{
    {"XRHO", "density", Kind::general, 1, {"ltv", "v", "v"}, "", "", PTX(XRHO), pass_ptx},
    {"XCP", "specific heat", Kind::general, 2, {"ltv", "v", "v"}, "", "", PTX(XCP), pass_ptx},
    {"XCOND", "conductivity", Kind::general, 3, {"ltv", "v", "v"}, "", "", PTX(XCOND), pass_ptx},
    {"XVISC", "viscosity", Kind::general, 4, {"ltv", "v", "v"}, "", "", PTX(XVISC), pass_ptx},
    {"XENTH", "enthalpy", Kind::general, 6, {"ltv", "v", "v"}, "", "", PTX(XENTH), pass_ptx},
    {"XTEMP",
     "temperature",
     Kind::general,
     7,
     {"lv", "v", "v"},
     "",
     "",
     [](double P, double, double H, double X, std::int32_t I, std::int32_t N) {
       return XTEMP(P, H, X, I, N);
     },
     pass_phx},
    {"XJT",
     "Joule-Thompson coefficient",
     Kind::general,
     9,
     {"lv", "v", "v"},
     "",
     "",
     PTX(XJT),
     pass_ptx},
    {"XKT",
     "isothermal compressibility",
     Kind::general,
     10,
     {"lv", "v", "v"},
     "",
     "",
     PTX(XKT),
     pass_ptx},
    {"XPRES", "pressure", Kind::general, 8, {"", "", ""}, "", "", PTX(XPRES), pass_ptx},
    {"XSIG",
     "surface tension",
     Kind::no_quality,
     5,
     {"", "", ""},
     "liquid",
     "",
     [](double P, double T, double, double, std::int32_t I, std::int32_t N) {
       return XSIG(P, T, I, N);
     },
     pass_pt},
    {"XRHOS",
     "saturation density",
     Kind::saturation,
     1,
     {"lv", "", ""},
     "",
     "",
     PTX(XRHOS),
     pass_ptx},
    {"XCPS",
     "saturation specific heat",
     Kind::saturation,
     2,
     {"lv", "v", "v"},
     "",
     "",
     PTX(XCPS),
     pass_ptx},
    {"XCONDS",
     "saturation conductivity",
     Kind::saturation,
     3,
     {"lv", "", ""},
     "",
     "",
     PTX(XCONDS),
     pass_ptx},
    {"XVISCS",
     "saturation viscosity",
     Kind::saturation,
     4,
     {"lv", "", ""},
     "",
     "",
     PTX(XVISCS),
     pass_ptx},
    {"XENTHS",
     "saturation enthalpy",
     Kind::saturation,
     6,
     {"lv", "lv", "lv"},
     "",
     "",
     PTX(XENTHS),
     pass_ptx},
    {"XJTS",
     "saturation Joule-Thompson coefficient",
     Kind::saturation,
     9,
     {"v", "", ""},
     "",
     "",
     PTX(XJTS),
     pass_ptx},
    {"XKTS",
     "saturation isothermal compressibility",
     Kind::saturation,
     10,
     {"", "", ""},
     "",
     "",
     PTX(XKTS),
     pass_ptx},
    {"XTEMPS",
     "",
     Kind::no_quality,
     7,
     {"l", "l", "l"},
     "",
     "",
     [](double P, double, double, double, std::int32_t I, std::int32_t N) {
       return XTEMPS(P, I, N);
     },
     pass_p},
    {"XPRESS",
     "saturation pressure",
     Kind::no_quality,
     8,
     {"l", "", ""},
     "",
     "",
     [](double, double T, double, double, std::int32_t I, std::int32_t N) {
       return XPRESS(T, I, N);
     },
     pass_t},
    {"XSIGS",
     "saturation surface tension",
     Kind::no_quality,
     5,
     {"l", "", ""},
     "liquid",
     "liquid",
     [](double P, double T, double, double, std::int32_t I, std::int32_t N) {
       return XSIGS(P, T, I, N);
     },
     pass_pt},
}};
#undef PTX

// The functions without a state use these codes.
int no_quality_code(std::string_view name) {
  if (name == "XTEMPS") return 32;
  if (name == "XPRESS") return 37;
  if (name == "XSIGS") return 22;
  return 0;
}

struct Expected {
  enum Kind { adapter, unrecognised, undefined, invalid } kind;
  int code = 0;      // adapter code
  std::string word;  // state word of "undefined"

  Expected(Kind k, int c = 0, std::string w = {}) : kind(k), code(c), word(std::move(w)) {}
};

Expected expected(const Function& f, int slot, double x) {
  if (slot < 1 || slot > 10) return {Expected::unrecognised};
  const std::string_view answers = slot == 3   ? f.answers.air
                                   : slot == 4 ? f.answers.airw
                                               : f.answers.fluids;
  const int base = 5 * (f.group - 1);
  const bool saturated = f.kind == Kind::saturation;
  if (f.kind == Kind::no_quality) {
    if (answers.find('l') != std::string_view::npos)
      return {Expected::adapter, no_quality_code(f.name)};
    return {Expected::undefined, 0, std::string(slot == 4 ? f.airw_word : f.fixed_word)};
  }
  if (saturated && !(x <= 0.0) && !(x >= 1.0)) return {Expected::invalid};
  if (!saturated && slot == 4) {
    if (answers == "v") return {Expected::adapter, base + 5};
    return {Expected::undefined, 0, ""};
  }
  char state = x <= 0.0 ? 'l' : x >= 1.0 ? 'v' : 't';
  const int offset = state == 'l' ? (saturated ? 2 : 1) : state == 'v' ? (saturated ? 4 : 5) : 3;
  if (answers.find(state) != std::string_view::npos) return {Expected::adapter, base + offset};
  return {Expected::undefined, 0, state == 'l' ? "liquid" : state == 'v' ? "vapour" : "two-phase"};
}

// A state per slot: pressure, liquid and vapour temperatures (model units,
// TABS = 273.15, PABS = 0) near the normal boiling point.
struct SlotState {
  double p, t_liquid, t_vapour;
};
constexpr std::array<SlotState, 12> kStates{{
    {101325.0, 20.0, 20.0},    // 0: no fluid
    {101325.0, -40.0, -20.0},  // AMMONIA
    {101325.0, 50.0, 150.0},   // WATER
    {101325.0, 20.0, 20.0},    // AIR
    {101325.0, 20.0, 20.0},    // AIRW
    {101325.0, 10.0, 40.0},    // R11
    {101325.0, -10.0, 20.0},   // R114
    {101325.0, -40.0, -10.0},  // R12
    {101325.0, 0.0, 30.0},     // R21
    {101325.0, -50.0, -20.0},  // R22
    {101325.0, -55.0, -30.0},  // R502
    {101325.0, 20.0, 20.0},    // 11: no fluid
}};

// The function's frames against its adapter's, leaving out the warnings of a
// state in an unsound range (routine XRANGE), which the function gives for
// its own state on top of those its adapter's calls give.
void check_frames_equal(const Outcome& a, const Outcome& b) {
  const auto library = [](const Outcome& o) {
    std::vector<kalvir::test::Message> frames;
    for (const auto& m : o.frames) {
      if (m.routine != "XRANGE") frames.push_back(m);
    }
    return frames;
  };
  const auto fa = library(a);
  const auto fb = library(b);
  ASSERT_EQ(fa.size(), fb.size());
  for (std::size_t i = 0; i < fa.size(); ++i) {
    EXPECT_EQ(fa[i].severity, fb[i].severity);
    EXPECT_EQ(fa[i].routine, fb[i].routine);
    EXPECT_EQ(fa[i].code, fb[i].code);
    EXPECT_EQ(fa[i].text, fb[i].text);
  }
}

class PropertyFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::reset_messages();
    GLOR.TABS = 273.15;
    GLOR.PABS = 0.0;
  }
  void TearDown() override { kalvir::platform::close_all_units(); }
};

TEST_F(PropertyFunctions, EverySlotAndQualityReachesItsAdapterOrItsMessage) {
  constexpr std::array<double, 6> kQualities{-3.0, 0.0, 0.5, 1.0, 7.0, kNaN};
  for (const Function& f : kFunctions) {
    for (int slot = 0; slot <= 11; ++slot) {
      const SlotState& st = kStates[static_cast<std::size_t>(slot)];
      for (double x : kQualities) {
        if ((f.kind == Kind::no_quality) && x != kQualities[0]) continue;  // X is not an argument
        SCOPED_TRACE(std::string(f.name) + " slot " + std::to_string(slot) + " X " +
                     std::to_string(x));
        const double t = x >= 1.0 ? st.t_vapour : st.t_liquid;
        // An enthalpy 10 kJ/kg into the single-phase region of the chosen state.
        double h = 0.0;
        if (slot >= 1 && slot <= 10) {
          const Outcome hs = run_captured([&] {
            const double ts = XTEMPS(st.p, slot, 0);
            return x >= 1.0 ? XENTHS(st.p, ts, 1.0, slot, 0) + 10000.0
                            : XENTHS(st.p, ts, 0.0, slot, 0) - 10000.0;
          });
          h = hs.value;
        }
        const Outcome actual = run_captured([&] { return f.call(st.p, t, h, x, slot, 0); });
        const Expected e = expected(f, slot, x);
        if (e.kind == Expected::adapter) {
          const QpAdapter a = kalvir::fluids::adapter(slot, e.code);
          ASSERT_NE(a, nullptr) << "code " << e.code;
          const auto args = f.handed(st.p, t, h, x);
          const Outcome direct =
              run_captured([&] { return a(args[0], args[1], args[2], args[3], slot, 0); });
          EXPECT_EQ(actual.status, direct.status);
          EXPECT_TRUE(same_value(actual.value, direct.value))
              << actual.value << " " << direct.value;
          check_frames_equal(actual, direct);
          continue;
        }
        std::string text;
        int code = 0;
        const std::string fluid = padded(kNames[static_cast<std::size_t>(slot)], 24);
        const bool saturation_codes =
            f.kind == Kind::saturation || (f.kind == Kind::no_quality && f.name != "XSIG");
        switch (e.kind) {
          case Expected::unrecognised:
            text = "Unrecognised fluid type.@Fluid specified: " + fluid;
            code = saturation_codes ? 11 : 1;
            break;
          case Expected::undefined:
            text = "Fluid property undefined.@Property required: " + std::string(f.words) + " of " +
                   padded(e.word, saturation_codes ? 6 : 9) + " " + fluid;
            code = saturation_codes ? 12 : 2;
            break;
          case Expected::invalid:
            text =
                "Invalid input for fluid property.@Vapour quality between 0.0D0 and 1.0D0 "
                "specified for " +
                std::string(f.words) + " of " + fluid;
            code = slot;
            break;
          case Expected::adapter:
            break;
        }
        EXPECT_EQ(actual.status, 1);
        ASSERT_EQ(actual.frames.size(), 1U);
        const auto& frame = actual.frames[0];
        EXPECT_EQ(frame.severity, "FATAL ERROR");
        EXPECT_EQ(frame.routine, padded(f.name, 6));
        EXPECT_EQ(frame.code, code);
        EXPECT_EQ(frame.text, printed(text));
      }
    }
  }
}

TEST_F(PropertyFunctions, SaturationTemperatureOfTheGasesIsFixed) {
  for (double p : {1000.0, 101325.0, 5.0e6}) {
    EXPECT_EQ(XTEMPS(p, 3, 0), 1.0 - 273.15);
    EXPECT_EQ(XTEMPS(p, 4, 0), 273.16 - 273.15);
  }
  GLOR.TABS = 0.0;
  EXPECT_EQ(XTEMPS(101325.0, 3, 0), 1.0);
  EXPECT_EQ(XTEMPS(101325.0, 4, 0), 273.16);
}

TEST_F(PropertyFunctions, HumidityRatioIsNoQualityForTheGeneralFormsOnly) {
  // X carries the humidity ratio of AIRW: 0.5 is a valid humid-air state for XCP...
  const Outcome cp = run_captured([] { return XCP(101325.0, 20.0, 0.5, 4, 0); });
  EXPECT_EQ(cp.status, 0);
  EXPECT_GT(cp.value, 1011.57);  // between dry air and steam
  EXPECT_LT(cp.value, 1868.07);
  // ... while XCPS still rejects it as a quality, code 4.
  const Outcome cps = run_captured([] { return XCPS(101325.0, 20.0, 0.5, 4, 0); });
  EXPECT_EQ(cps.status, 1);
  ASSERT_EQ(cps.frames.size(), 1U);
  EXPECT_EQ(cps.frames[0].code, 4);
  EXPECT_EQ(cps.frames[0].routine, "XCPS  ");
}

// The node's identity follows the message when NODE is not 0: user node 12 of
// the main model MAIN.
TEST_F(PropertyFunctions, FatalMessageNamesTheNode) {
  kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11, 12}}});

  const Outcome o = run_captured([] { return XCP(101325.0, 20.0, 0.0, 3, 3); });
  EXPECT_EQ(o.status, 1);
  ASSERT_EQ(o.frames.size(), 1U);
  EXPECT_EQ(o.frames[0].routine, "XCP   ");
  EXPECT_EQ(o.frames[0].code, 2);
  EXPECT_EQ(o.frames[0].text,
            printed("Fluid property undefined.@Property required: specific heat of liquid    "
                         "AIR Node 12 in main model"));

  kalvir::test::release_model();
}

// A warning meant once per node and run: repeated calls for one node print one
// frame, another node or another code prints its own, and a new run (after
// forget_reported_once) hears it again.
TEST_F(PropertyFunctions, OnceWarningsReportEachNodeAndCodeOnce) {
  kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11, 12}}});
  kalvir::fluids::forget_reported_once();
  const auto warn = [](std::int32_t node, std::int32_t code) {
    return kalvir::fluids::report_once("Unsound state", 100, node, 2, code, "XENTH");
  };
  const Outcome o = run_captured([&] {
    const bool first = warn(3, 7);
    const bool again = warn(3, 7) || warn(3, 7);
    const bool others = warn(2, 7) && warn(3, 8);
    return first && !again && others ? 1.0 : 0.0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.value, 1.0);
  ASSERT_EQ(o.frames.size(), 3U);
  EXPECT_EQ(o.frames[0].severity, "WARNING");
  EXPECT_EQ(o.frames[0].text, printed("Unsound state Node 12 in main model"));
  EXPECT_EQ(o.frames[0].routine, "XENTH ");
  kalvir::fluids::forget_reported_once();
  EXPECT_EQ(run_captured([&] { return warn(3, 7) ? 1.0 : 0.0; }).frames.size(), 1U);
  kalvir::fluids::forget_reported_once();
  kalvir::test::release_model();
}

}  // namespace interface_test
