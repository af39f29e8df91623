// The ranges where the fluids' properties are known to be off: each concerns
// adapters its fluid has, a state inside one warns once per node and run
// whichever property function meets it first, a state outside warns not,
// and the superheated-steam threshold is where IAPWS-95 puts the enthalpy's
// 1 % error.
#include "runtime/fluids/interface/unsound_ranges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/adapters.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"
#include "tests/support/model_fixture.h"

namespace unsound_ranges_test {

using kalvir::fluids::unsound_ranges;
using kalvir::fluids::UnsoundRange;
using kalvir::test::Outcome;
using kalvir::test::run_captured;

constexpr std::int32_t kWater = 2, kR22 = 9;

class UnsoundRanges : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::reset_messages();
    GLOR.TABS = 0.0;  // kelvin and pascal
    GLOR.PABS = 0.0;
    kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11, 12}}});
  }
  void TearDown() override {
    kalvir::test::release_model();
    kalvir::platform::close_all_units();
  }
};

// The message code of the range of `slot` whose text starts with `start`.
std::int32_t code_of(std::int32_t slot, const std::string& start) {
  const auto ranges = unsound_ranges();
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].slot == slot && ranges[i].what.starts_with(start)) return static_cast<std::int32_t>(i + 1);
  }
  ADD_FAILURE() << "no range " << start;
  return 0;
}

std::vector<std::int32_t> range_codes(const Outcome& o) {
  std::vector<std::int32_t> codes;
  for (const auto& m : o.frames) {
    if (m.routine == "XRANGE") codes.push_back(m.code);
  }
  return codes;
}

TEST_F(UnsoundRanges, EachConcernsAdaptersOfItsFluid) {
  std::int32_t slot = 0;
  for (const UnsoundRange& r : unsound_ranges()) {
    SCOPED_TRACE(std::string(r.what));
    EXPECT_GE(r.slot, slot);  // a fluid's ranges stand together
    slot = r.slot;
    ASSERT_NE(r.codes, 0U);
    for (int code = 1; code <= 50; ++code) {
      if ((r.codes >> code) & 1U) {
        EXPECT_NE(kalvir::fluids::adapter(r.slot, code), nullptr) << code;
      }
    }
    if (r.of == kalvir::fluids::RangeOf::temperature_above) {
      ASSERT_GE(r.threshold.size(), 2U);
    } else {
      EXPECT_LT(r.low, r.high);
    }
    EXPECT_LT(r.what.size(), 400U);
  }
}

TEST_F(UnsoundRanges, AStateInsideWarnsOncePerNodeAndRun) {
  const std::int32_t below = code_of(kR22, "R22 vapour below 0.15 MPa");
  // R22 vapour at 0.1 MPa, 0 C: the enthalpy and the temperature from it, for
  // node 3, twice, then node 2; then a state of node 1 outside every range.
  const Outcome o = run_captured([] {
    const double h = XENTH(1e5, 273.15, 1.0, kR22, 3);
    XTEMP(1e5, h, 1.0, kR22, 3);
    XENTH(1e5, 283.15, 1.0, kR22, 3);
    XENTH(1e5, 273.15, 1.0, kR22, 2);
    XENTH(1e6, 300.0, 1.0, kR22, 1);
    return 0.0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(range_codes(o), (std::vector<std::int32_t>{below, below}));
  ASSERT_EQ(o.frames.size(), 2U);
  EXPECT_EQ(o.frames[0].severity, "WARNING");
  EXPECT_TRUE(o.frames[0].text.starts_with("Fluid property outside its sound range"));
  EXPECT_TRUE(o.frames[0].text.ends_with(" Node 12 in main model"));
  EXPECT_TRUE(o.frames[1].text.ends_with(" Node 11 in main model"));
  // A new run hears it again.
  EXPECT_EQ(range_codes(run_captured([] { return XENTH(1e5, 273.15, 1.0, kR22, 3); })),
            std::vector<std::int32_t>{below});
}

// At 0.1 MPa the superheated steam's enthalpy is 0.8 % high at 455 K and
// 1.3 % at 475 K (IAPWS-95, with the tables' reference constant of 3.3 J/kg:
// 2839611.4 and 2879108.7 J/kg); 8 % at 300 C (3074536.4 J/kg).
TEST_F(UnsoundRanges, SuperheatedSteamWarnsWhereItsEnthalpyIsOnePercentHigh) {
  const std::int32_t enthalpy = code_of(kWater, "Superheated WATER: its enthalpy");
  struct Point {
    double T, iapws;
    bool warns;
  };
  for (const Point& p : {Point{455.0, 2839611.4, false}, Point{475.0, 2879108.7, true},
                         Point{573.15, 3074536.4, true}}) {
    SCOPED_TRACE(p.T);
    const Outcome o = run_captured([&] { return XENTH(1e5, p.T, 1.0, kWater, 1); });
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(std::abs(o.value / p.iapws - 1.0) > 0.01, p.warns) << o.value / p.iapws - 1.0;
    const auto codes = range_codes(o);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), enthalpy), p.warns ? 1 : 0);
  }
  EXPECT_NEAR(run_captured([] { return XENTH(1e5, 573.15, 1.0, kWater, 1); }).value / 3074536.4,
              1.08, 0.005);
}

}  // namespace unsound_ranges_test
