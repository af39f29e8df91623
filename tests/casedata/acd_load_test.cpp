// ACD arrays through the MDB load: the values of a curve and a table that
// only the ACD file holds reach the ARRAY stores, and the interpolation
// routines read them there.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/casedata/acd_arrays.h"
#include "runtime/modeldata/array_interp.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_writer.h"

namespace {

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
  // TAB's own words: two independent variables, whose two character words
  // point into the character store.
  main.info = {2, 4, 1, 2, 2, 2, /* TAB */ 4, 0, 1, 0, 1, 2, 1, 1};
  main.reals = {0, 0, 1, 1};
  main.chars = std::string(133, ' ');
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
  {
    const kalvir::test::ScopedCwd cwd(dir.path());
    std::int32_t nindex = 0, nvalues = 0;
    acda_open("TWOSUB");
    acda_getnumberofarrayvalues(nindex, nvalues);
    acda_close();
    EXPECT_EQ(nindex, 15);
    EXPECT_EQ(nvalues, 6 + 19 + 4);
    sizes.flags[19] += nvalues;
    sizes.flags[20] += nindex;
  }
  const kalvir::test::LoadOutcome load = kalvir::test::load_image(mdbw::build_mdb(m), sizes, m.name, dir);
  ASSERT_EQ(load.status, 0) << load.printed;
  ASSERT_EQ(load.ierr, 0) << load.printed;

  EXPECT_DOUBLE_EQ(INTRP1(15.0, 1, 1), 150.0);
  EXPECT_DOUBLE_EQ(CNDFN1(10.0, 30.0, 1, 1), 200.0);
  EXPECT_DOUBLE_EQ(INTRP2(1.5, 25.0, 2, 1), 175.0);
  EXPECT_DOUBLE_EQ(INTRP2(3.0, 40.0, 2, 1), 340.0);
  EXPECT_DOUBLE_EQ(INTRP1(7.5, 3, 1), 20.0);
}

}  // namespace
