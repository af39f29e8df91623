// Global flags, global arrays, control-constant blocks and their accessors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/platform/process.h"

namespace foundation_test {

// FLAGS as the main routine of ORVIK_TESTBED_01 stores them.
constexpr std::array<std::int32_t, 41> kOrvikFlags{
    397, 869, 0, 4040, 0, 1, 0, 0, 0, 0, 2, 0, 49, 25, 16, 1, 92, 22, 2, 0, 0,
    0, 0, 22040, 2, 1, 133, 1010467, 1, 0, 0, 0, 0, 0, 22, 1, 0, 0, 8080, 0, 0};

class GlobalArrays : public ::testing::Test {
 protected:
  void SetUp() override {
    gar_release_all_for_tests();
    FLAGS.w = kOrvikFlags;
    SPRSIZ.w = {1, 3, 0, 0, 0};
  }
  void TearDown() override { gar_release_all_for_tests(); }
};

TEST_F(GlobalArrays, AllocatesTheOrvikModelExtents) {
  gar_Allocate(gar_sizes_from_flags());
  EXPECT_EQ(gfl_getlenpcsthermal(), 19636);
  EXPECT_EQ(gar_pcsthermal.size(), 19636);
  EXPECT_EQ(gar_pcsthermalold.size(), 22040);
  EXPECT_EQ(gar_modeldirectory.rows(), 18);
  EXPECT_EQ(gar_modeldirectory.cols(), 2);
  EXPECT_EQ(gar_dynamiccorereal.size(), 1010467);
  EXPECT_EQ(gar_controlconstnames.size(), 92);
  EXPECT_EQ(gar_pcsfluid.size(), 22);
  // Models without fluid parts still allocate those arrays, empty.
  EXPECT_TRUE(gar_fluidnodetemps.allocated());
  EXPECT_EQ(gar_fluidnodetemps.size(), 0);
  EXPECT_EQ(gar_massflowlinkphasesepflags.size(), 0);
  EXPECT_EQ(gar_thermalnodeuserentityvalsint.size(), 0);
  // Value-initialised: nothing indeterminate is ever read.
  EXPECT_EQ(gar_thermalnodetemps(397), 0.0);
  EXPECT_EQ(gar_thermalnodestatuses(1), " ");
}

TEST_F(GlobalArrays, UserAttributesAreStoredAttributeByAttribute) {
  SPRSIZ(4) = 2;
  gar_Allocate(gar_sizes_from_flags());
  // Integer attribute 2 of thermal node 5 in a 397-node model.
  EXPECT_EQ(gar_thermalnodeuserentityvalsint.size(), 2 * 397);
  gar_thermalnodeuserentityvalsint((2 - 1) * 397 + 5) = 7;
  EXPECT_EQ(gar_thermalnodeuserentityvalsint(402), 7);
}

TEST_F(GlobalArrays, SecondAllocationStopsWithTheArrayName) {
  gar_Allocate(gar_sizes_from_flags());
  testing::internal::CaptureStderr();
  const int status = kalvir::platform::run_program([] { gar_Allocate(gar_sizes_from_flags()); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("Attempting to allocate already allocated variable 'gar_arrayinfolist'"),
            std::string::npos);
}

TEST_F(GlobalArrays, NegativeSizeIsACorruptCountNotAnEmptyArray) {
  GarSizes s = gar_sizes_from_flags();
  s.nnode = -3;
  testing::internal::CaptureStderr();
  const int status = kalvir::platform::run_program([&] { gar_Allocate(s); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("negative"), std::string::npos);
}

TEST_F(GlobalArrays, UnobtainableMemoryEndsTheRunWithTheLimitText) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the address sanitizer ends the process on a failed operator new";
#endif
  GarSizes s = gar_sizes_from_flags();
  s.ncharattr = 0x7FFFFFFF;  // 2^31 x 397 x 24 characters cannot be had
  testing::internal::CaptureStderr();
  const int status = kalvir::platform::run_program([&] { gar_Allocate(s); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("Allocation would exceed memory limit"), std::string::npos);
}

TEST_F(GlobalArrays, DynamicCoreMarkRestoresNextFreeWordsOnEveryWayOut) {
  FLAGS(29) = 1;
  FLAGS(36) = 1;
  {
    DynamicCoreMark outer;
    EXPECT_EQ(outer.take_real(100), 1);
    EXPECT_EQ(outer.take_int(10), 1);
    {
      DynamicCoreMark inner;
      EXPECT_EQ(inner.take_real(5), 101);
    }
    EXPECT_EQ(FLAGS(29), 101);
  }
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
  const int status = kalvir::platform::run_program([] {
    DynamicCoreMark m;
    m.take_int(50);
    kalvir::platform::exit_process(1);
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(FLAGS(36), 1);
}

TEST(ModelName, IsKeptAt24CharactersAndTruncatedTo8) {
  gfl_setmodelname("ORVIK_TESTBED_01");
  EXPECT_EQ(gfl_getmodelname(), "ORVIK_TESTBED_01        ");
  EXPECT_EQ(gfl_gettruncatedmodelname(), "ORVIK_TE");
  gfl_setmodelname("PANEL");
  EXPECT_EQ(gfl_gettruncatedmodelname(), "PANEL   ");
  gfl_setmodelname("A_VERY_LONG_MODEL_NAME_OF_30_CH");
  EXPECT_EQ(gfl_getmodelname(), "A_VERY_LONG_MODEL_NAME_O");
  EXPECT_EQ(gfl_getnumnodalentities(), 41);
}

TEST(ControlConstants, CountCheckPlacesTheNamesInStorageOrder) {
  kalvir::CharArray<18> names(92);
  std::int32_t ierr = 0;
  SCNTRL(16, 25, 49, 0, 2, 0, names, ierr);
  EXPECT_EQ(ierr, 0);
  const std::pair<int, const char*> expected[] = {
      {1, "NODES"}, {2, "NODESM"}, {3, "LOOPCT"}, {27, "STEPCT"}, {28, "CSGMIN"},
      {76, "INBNDM"}, {77, "OPBLOK"}, {92, "QTRSOL"}};
  for (auto [i, name] : expected) {
    EXPECT_EQ(names(i), kalvir::padded(name, 18)) << "element " << i;
  }
}

TEST(ControlConstants, AnyCountOffByOneLeavesTheNamesUntouched) {
  const std::array<std::int32_t, 6> good{16, 25, 49, 0, 2, 0};
  for (std::size_t k = 0; k < good.size(); ++k) {
    for (int delta : {-1, 1}) {
      auto c = good;
      c[k] += delta;
      kalvir::CharArray<18> names(92);
      names.set(1, "SENTINEL");
      std::int32_t ierr = 0;
      SCNTRL(c[0], c[1], c[2], c[3], c[4], c[5], names, ierr);
      EXPECT_EQ(ierr, 1) << "count " << k << " delta " << delta;
      EXPECT_EQ(names(1), kalvir::padded("SENTINEL", 18));
      EXPECT_EQ(names(2), std::string(18, ' '));
    }
  }
}

TEST(ControlConstants, BlocksRunInStorageOrder) {
  GLOR.TIMEN = 12.5;
  EXPECT_EQ(GLOR(17), 12.5);
  GLOI.STEPCT = 4;
  EXPECT_EQ(GLOI(25), 4);
  GLOC.QTRSOL = "NO";
  EXPECT_EQ(GLOC.raw()[699], 'N');  // the last field's first character
  EXPECT_EQ(std::string(GLOC.field(14).data(), 3), GLOC.OUTIME.view().substr(0, 3));
}

TEST(ControlConstants, DefaultsAndAlphabeticalBulkGetters) {
  SLDINC();
  EXPECT_EQ(GLOC.OUTIME.view(), kalvir::padded("ALL", 18));
  EXPECT_EQ(GLOC.TFORM.view(), kalvir::padded("*", 132));
  EXPECT_EQ(GLOC.PARNAM.view(), kalvir::padded("ORIGINAL", 24));
  EXPECT_EQ(GLOC.OPBLOK.view(), std::string(10, ' '));

  GLOC.HEADER = std::string(132, 'H');
  kalvir::CharArray<132> chars(16);
  gcc_getvalueschar(chars);
  EXPECT_EQ(chars(1), kalvir::padded("*", 132));    // FORMAT
  EXPECT_EQ(chars(2), std::string(132, 'H'));       // HEADER, whole
  EXPECT_EQ(chars(7), kalvir::padded("ALL", 132));  // OUTIME

  EXPECT_EQ(gcc_ctrl_const_names_int.front(), "FLLPCT");
  EXPECT_EQ(gcc_ctrl_const_names_int.back(), "WIDTH ");
  EXPECT_EQ(gcc_ctrl_const_names_real.front(), "ARITH ");
  EXPECT_EQ(gcc_ctrl_const_names_real.back(), "TIMEOT");
  EXPECT_EQ(gcc_ctrl_const_names_char[3], "MFFB  ");  // "MFFB" sorts before "MODULE"

  GLOI.FLLPCT = 11;
  GLOI.WIDTH = 132;
  std::array<std::int32_t, 25> ints{};
  gcc_getvaluesint(ints);
  EXPECT_EQ(ints.front(), 11);
  EXPECT_EQ(ints.back(), 132);

  GLOR.ARITH = 0.25;
  GLOR.TIMEOT = -3.0;
  std::array<double, 49> reals{};
  gcc_getvaluesreal(reals);
  EXPECT_EQ(reals.front(), 0.25);
  EXPECT_EQ(reals.back(), -3.0);
}

TEST(ControlConstants, AccessorsStoreWholeFieldsAndPassUndefinedRealsUnchanged) {
  gcc_settimela("YES");
  EXPECT_EQ(gcc_gettimela(), "YES");
  gcc_setopblok("VARIABLES1");
  EXPECT_EQ(gcc_getopblok(), "VARIABLES1");
  gcc_setopblok("");
  EXPECT_EQ(gcc_getopblok(), std::string(10, ' '));

  // The undefined marker: 2147483647 in the low-order word of the double.
  double undefined = 0.0;
  const std::uint64_t bits = 0x000000007FFFFFFFULL;
  std::memcpy(&undefined, &bits, 8);
  gcc_setoutint(undefined);
  const double back = gcc_getoutint();
  EXPECT_EQ(std::memcmp(&back, &undefined, 8), 0);
}

}  // namespace foundation_test
