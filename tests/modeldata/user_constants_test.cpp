// User constants by name, as the parameter cases and a model's blocks find
// them: each submodel's real, integer and character constants, the value a
// block reads being the one a change writes, and a name that is not there
// ending the run with a message that names it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/user_constants.h"
#include "runtime/platform/process.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace user_constants_test {

// Main: reals R1 1, R2 2, integer I1 11; SUB1: reals R1 3, R2 4, R3 5,
// integer I1 12, characters C1 and C2.
class UserConstants : public ::testing::Test {
 protected:
  void SetUp() override { load_ok(user_constant_model(), dir_); }
  TempDir dir_;
};

TEST_F(UserConstants, BlocksReadAndSetTheValuesTheLoadStored) {
  EXPECT_EQ(user_real_constant("R2"), 2.0);
  EXPECT_EQ(user_real_constant("R1", 2), 3.0);
  EXPECT_EQ(user_real_constant("R3  ", 2), 5.0);
  EXPECT_EQ(user_integer_constant("I1"), 11);
  EXPECT_EQ(user_integer_constant("I1", 2), 12);
  // The same element the stores hold, so a change is what the next read sees.
  user_real_constant("R2", 2) = 40.0;
  EXPECT_EQ(gar_userconstvaluesreal(gar_modeldirectory(8, 2) + 2), 40.0);
  EXPECT_EQ(user_real_constant("R2"), 2.0);
}

TEST_F(UserConstants, PlacesByKind) {
  const auto c2 = user_constant_place(2, "C2");
  ASSERT_TRUE(c2.has_value());
  EXPECT_EQ(c2->kind, UserConstantKind::kCharacter);
  EXPECT_EQ(gar_userconstvalueschar.stream().substr(static_cast<std::size_t>(c2->position - 1), 5), "WORLD");
  EXPECT_EQ(user_constant_place(1, "I1")->kind, UserConstantKind::kInteger);
  EXPECT_FALSE(user_constant_place(1, "R3").has_value()) << "R3 is SUB's";
  EXPECT_FALSE(user_constant_place(3, "R1").has_value()) << "no submodel 3";
  EXPECT_FALSE(user_constant_place(1, "R1_WITH_A_NAME_TOO_LONG").has_value());
}

struct Missing {
  std::string what;
  std::function<void()> read;
  std::string text;
};

class MissingConstant : public UserConstants, public ::testing::WithParamInterface<Missing> {};

TEST_P(MissingConstant, EndsTheRunNamingIt) {
  int status = -1;
  const auto msgs = capture_messages([&] { status = platform::run_program(GetParam().read); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].severity, "FATAL ERROR");
  EXPECT_EQ(msgs[0].routine, "USRCON");
  EXPECT_EQ(msgs[0].text, printed(GetParam().text + "@Reading a user constant by name.@The name is compared "
                                                    "exactly as the model data spells it."));
}

INSTANTIATE_TEST_SUITE_P(
    Names, MissingConstant,
    ::testing::Values(Missing{"unknown", [] { user_real_constant("R3"); }, "No real user constant R3 in submodel TWOSUB"},
                      Missing{"wrong_kind", [] { user_integer_constant("R1", 2); },
                              "No integer user constant R1 in submodel SUB1"},
                      Missing{"lower_case", [] { user_real_constant("r1"); },
                              "No real user constant r1 in submodel TWOSUB"}),
    CaseName{});

}  // namespace user_constants_test
}  // namespace kalvir::test
