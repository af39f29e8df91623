#include <gtest/gtest.h>

#include <string>

#include "runtime/fluids/interface/fluid_names.h"

namespace fluid_names_test {

struct NameCase {
  std::string name;
  std::int32_t slot;
};

TEST(FluidNames, FtypeiMatchesNamesInTheirOrderIgnoringTrailingBlanksOnly) {
  const NameCase cases[] = {
      {"AMMONIA", 1},
      {"WATER", 2},
      {"AIR", 3},
      {"AIRW", 4},  // the longer name is not taken for the shorter one
      {"R11", 5},
      {"R114", 6},
      {"R12", 7},
      {"R21", 8},
      {"R22", 9},
      {"R502", 10},
      {"R11" + std::string(21, ' '), 5},
      {"AIR" + std::string(40, ' '), 3},  // longer than the 24-character field
      {"r11", 0},
      {" R11", 0},
      {"water", 0},
      {"Water", 0},
      {"AIRWX", 0},
      {"R1", 0},
      {"", 0},
      {std::string(24, ' '), 0},
      {std::string("R11\0", 4), 0},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(FTYPEI(c.name), c.slot) << '"' << c.name << '"';
  }
}

TEST(FluidNames, FtypecGivesTheBlankPaddedNameOfEachSlot) {
  for (std::int32_t slot = 1; slot <= kalvir::fluids::kFluidSlots; ++slot) {
    const auto name = FTYPEC(slot);
    ASSERT_EQ(name.view().size(), 24u);
    EXPECT_EQ(FTYPEI(name.view()), slot);
  }
  EXPECT_EQ(std::string(FTYPEC(4).view()), "AIRW" + std::string(20, ' '));
  EXPECT_EQ(std::string(FTYPEC(1).view()), "AMMONIA" + std::string(17, ' '));
  for (std::int32_t other : {0, 11, -1, 2147483647, -2147483647 - 1}) {
    EXPECT_EQ(std::string(FTYPEC(other).view()), std::string(24, ' ')) << other;
  }
}

}  // namespace fluid_names_test
