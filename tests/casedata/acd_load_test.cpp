// ACD arrays through the MDB load: the values of a curve and a table that
// only the ACD file holds reach the ARRAY stores, and the interpolation
// routines read them there.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "runtime/casedata/acd_arrays.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/platform/fixed_string.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_writer.h"

namespace acd_load_test {

namespace acd = kalvir::acd;
namespace mdbw = kalvir::mdbw;

TEST(AcdLoad, ArraysFromTheFileAreTheOnesInterpolated) {
  kalvir::test::TempDir dir;
  mdbw::Model m = kalvir::test::two_submodel_model();
  // MDB entries: CURVE (2 x 2 points of its own), TAB (a table whose words
  // the ACD file supplies); SUB1's K (2 x 2 points).
  mdbw::Arrays& main = m.submodels[0].arrays;
  main.names[0] = {"CURVE", "TAB"};
  main.starts[0] = {1, 7};
  // TAB's own words: the form and its two independent variables; the ACD
  // load fills in its header and values.
  main.info = {2, 4, 1, 2, 2, 2, /* TAB */ 4, 0, 1, 0, 1, 2};
  main.reals = {0, 0, 1, 1};
  m.submodels[1].arrays.add_real("K", {0, 0, 1, 1});
  m.submodels[1].arrays.info = {2, 4, 1, 2, 2, 2};  // dimensions (2, 2)

  // ACD: CURVE y = 10 x, TAB f(x1, x2) = 100 x1 + x2, SUB1's K y = 2 x + 5.
  acd::ModelGroup file;
  std::vector<std::vector<double>> table;
  for (double x1 : {1.0, 2.0, 3.0}) {
    table.emplace_back();
    for (double x2 : {10.0, 20.0, 30.0, 40.0}) table.back().push_back(100.0 * x1 + x2);
  }
  acd::ArrayRecord curve;
  curve.name = "CURVE";
  curve.values = {10, 100, 20, 200, 30, 300};
  file.arrays = acd::ArrayGroup{{curve, acd::make_table_2d("TAB", {1, 2, 3}, {10, 20, 30, 40}, table)}, {}, {}, {}};
  acd::ModelGroup sub;
  sub.name = "SUB1";
  acd::ArrayRecord k;
  k.name = "K";
  k.values = {0, 5, 10, 25};
  sub.arrays = acd::ArrayGroup{{k}, {}, {}, {}};
  file.submodels = {sub};
  acd::write_acd_file(dir.path() / "TWOSUB.acd", file);

  // The start-up count widens the stores as the start-up driver does.
  mdbw::Sizes sizes = mdbw::model_sizes(m);
  std::int32_t nindex = 0, nvalues = 0;
  {
    const kalvir::test::ScopedCwd cwd(dir.path());
    acda_open("TWOSUB");
    acda_getnumberofarrayvalues(nindex, nvalues);
    acda_close();
    EXPECT_EQ(nindex, 15);
    EXPECT_EQ(nvalues, 6 + 19 + 4);
    sizes.flags[19] += nvalues;
    sizes.flags[20] += nindex;
  }
  const kalvir::test::LoadOutcome load =
      kalvir::test::load_image(mdbw::build_mdb(m), sizes, m.name, dir, {nvalues, nindex});
  ASSERT_EQ(load.status, 0) << load.printed;
  ASSERT_EQ(load.ierr, 0) << load.printed;

  EXPECT_DOUBLE_EQ(INTRP1(15.0, 1, 1), 150.0);
  EXPECT_DOUBLE_EQ(CNDFN1(10.0, 30.0, 1, 1), 200.0);
  EXPECT_DOUBLE_EQ(INTRP2(1.5, 25.0, 2, 1), 175.0);
  EXPECT_DOUBLE_EQ(INTRP2(3.0, 40.0, 2, 1), 340.0);
  EXPECT_DOUBLE_EQ(INTRP1(7.5, 3, 1), 20.0);
}

// A table of the second submodel from its six-word entry to INTRP2: the MDB
// gives the form and the two independent variables, the ACD file the values
// and (generated) the header, the load appends both behind the main model's
// and moves the starts, and nothing of the entry behind it changes, although
// the main model has character values the load moves past.
TEST(AcdLoad, SecondSubmodelTableFromItsEntryToItsValue) {
  kalvir::test::TempDir dir;
  mdbw::Model m = kalvir::test::two_submodel_model();
  mdbw::Arrays& main = m.submodels[0].arrays;
  main.add_int("STEPS", {5, 6, 7});
  main.add_real("LINE", {0, 1, 2, 3});
  main.names[0].push_back("TEXT");
  main.starts[0].push_back(static_cast<std::int32_t>(main.info.size()) + 1);
  main.info.insert(main.info.end(), {3, 1, 1, 1, 1});
  main.chars = kalvir::padded("SOLAR", 133);
  mdbw::Arrays& sub = m.submodels[1].arrays;
  sub.names[0] = {"TAB", "K"};
  sub.starts[0] = {1, 7};
  sub.info = {4, 0, 1, 0, 1, 2, /* K: the curve y = 2 x + 5 */ 2, 4, 1, 2, 2, 2};
  sub.reals = {0, 5, 10, 25};

  // f(x1, x2) on x1 = 0, 10 and x2 = 1, 2, 4: rows first, then the axes.
  acd::ArrayRecord tab;
  tab.name = "TAB";
  tab.arrayType = 4;
  tab.numberOfDimensions = 2;
  tab.dimension1 = 2;
  tab.dimension2 = 3;
  tab.values = {0, 4, 8, /* x1 = 10 */ 10, 20, 60, /* x1 */ 0, 10, /* x2 */ 1, 2, 4};
  acd::ModelGroup file;
  acd::ModelGroup sub1;
  sub1.name = "SUB1";
  sub1.arrays = acd::ArrayGroup{{tab}, {}, {}, {}};
  file.submodels = {sub1};
  acd::write_acd_file(dir.path() / "TWOSUB.acd", file);

  mdbw::Sizes sizes = mdbw::model_sizes(m);
  sizes.flags[19] += 11;  // the table's values
  sizes.flags[20] += 12;  // its header, 3 x 2 + 6 words
  const kalvir::test::LoadOutcome load = kalvir::test::load_image(mdbw::build_mdb(m), sizes, m.name, dir, {11, 12});
  ASSERT_EQ(load.status, 0) << load.printed;
  ASSERT_EQ(load.ierr, 0) << load.printed;

  // Main: STEPS 1, LINE 2, TEXT 3 (15 info words, 3 integers, 4 reals).
  constexpr std::int32_t kTab = 4, kK = 5;
  ASSERT_EQ(gar_arrayinfopointers(kTab), 16);
  // Header behind the main model's 3 integers, values behind its 4 reals and
  // SUB1's own 4.
  EXPECT_EQ(kalvir::test::words(gar_arrayinfolist.span(), 16, 6), (std::vector<std::int32_t>{4, 12, 4, 11, 9, 2}));
  EXPECT_EQ(kalvir::test::words(gar_arrayvaluesint.span(), 4, 12),
            (std::vector<std::int32_t>{2, 1, 2, 2, 2, 7, 3, 9, 1, 3, 9, 4}));
  ASSERT_EQ(gar_arrayinfopointers(kK), 22);
  EXPECT_EQ(kalvir::test::words(gar_arrayinfolist.span(), 22, 6), (std::vector<std::int32_t>{2, 4, 5, 2, 2, 2}));

  std::int32_t head = 0, start = 0, ndim = 0, nval = 0, nelem = 0, form = 0, ierr = 0;
  std::array<std::int32_t, 7> dims{};
  APARS(kTab, head, start, ndim, dims, nval, nelem, form, ierr);
  EXPECT_EQ((std::array<std::int32_t, 7>{head, start, ndim, nval, nelem, form, ierr}),
            (std::array<std::int32_t, 7>{4, 9, 2, 12, 11, 4, 0}));

  // Linear along x2 on each line, then along x1:
  //   (5, 3):     line 0 (4 + 8) / 2 = 6, line 10 (20 + 60) / 2 = 40; (6 + 40) / 2 = 23.
  //   (2.5, 1.5): line 0 2, line 10 15; 2 + 0.25 x 13 = 5.25.
  //   (10, 4):    the corner, 60.
  EXPECT_DOUBLE_EQ(INTRP2(5.0, 3.0, kTab, 1), 23.0);
  EXPECT_DOUBLE_EQ(INTRP2(2.5, 1.5, kTab, 1), 5.25);
  EXPECT_DOUBLE_EQ(INTRP2(10.0, 4.0, kTab, 1), 60.0);
  EXPECT_DOUBLE_EQ(INTRP1(5.0, kK, 1), 15.0);
}

}  // namespace acd_load_test
