// Conductor tables and conductor data of the TMD files: which conductors and
// links are recorded, their four-integer records and the values appended at
// each write, row for row.
#include "runtime/output/tmd/tmd_conductors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "runtime/platform/process.h"
#include "tests/output/tmd_fixture.h"

namespace tmd_conductors_test {

using kalvir::test::H5Reader;
using Ints = std::vector<std::int32_t>;
using Reals = std::vector<double>;

const std::string kAs1 = "/AnalysisSet1/";
const std::string kDg1 = "/AnalysisSet1/DataGroup1/";

// The three-submodel model: MAIN thermal 1-6 with GL 1 (1-2), 2 (2-3), 3
// (1-2, parallel to 1), 4 (3 to fluid node 101 = internal 16), GR 1 (1-3),
// 2 (2-4), GF 1 (2-3, negated in node 2's list), link 1 (101 -> 102); SUB1
// nodes 7-11 with GL 5 (7-8), 6 (8-9); SUB2 nodes 12-15 with GL 7 (12-13).
// Conductor k of a kind has the value k + 0.1 (GL), + 0.2 (GR), + 0.3 (GF);
// the link flows 1.5 with fitting loss 1.6.
class TmdConductors : public kalvir::test::TmdTest {};

TEST_F(TmdConductors, TablesAndDataOfTheWholeModel) {
  gar_linearcondacts.set(3, "I");
  DMPTMD(" ", " ", 1, "ALL");
  const H5Reader f(file("ALL.TMD"));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGL"), (Ints{1, 2, 1, 1,   //
                                                 1, 2, 2, 1,   // the parallel conductor
                                                 2, 3, 1, 1,   //
                                                 7, 8, 1, 2,   //
                                                 8, 9, 1, 2,   //
                                                 12, 13, 1, 3, //
                                                 -1, 3, 1, 1}));  // from the fluid node's list
  EXPECT_EQ(f.ints(kAs1 + "conductorsGR"), (Ints{1, 3, 1, 1, 2, 4, 1, 1}));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGF"), (Ints{2, 3, 1, 1}));
  EXPECT_EQ(f.ints(kAs1 + "conductorsM_GP"), (Ints{-1, -2, 1, 1}));
  EXPECT_EQ(f.describe_dataset(kAs1 + "conductorsGV"), "missing");  // view factors stand in no list

  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGL"), (Reals{1.1, 1, 3.1, -2, 2.1, 1, 5.1, 1, 6.1, 1, 7.1, 1, 4.1, 1}));
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGR"), (Reals{1.2, 1, 2.2, 1}));
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGF"), (Reals{-1.3, 1}));  // taken reversed
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataM"), (Reals{1.5, 1}));
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGP"), (Reals{1.6, 1}));
  EXPECT_EQ(f.describe_dataset(kDg1 + "conductorDataGV"), "missing");
}

TEST_F(TmdConductors, OnlyConductorsBetweenSelectedNodes) {
  // Nodes 2, 3 and 101 at selection positions 1, 2, 3.
  DMPTMD("#2,3,101", "NODES(T), CONDUCTORS", 1, "SOME");
  const H5Reader f(file("SOME.TMD"));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGL"), (Ints{1, 2, 1, 1, -1, 2, 1, 1}));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGF"), (Ints{1, 2, 1, 1}));
  EXPECT_EQ(f.describe_dataset(kAs1 + "conductorsGR"), "missing");    // GR 2-4 has an unselected end
  EXPECT_EQ(f.describe_dataset(kAs1 + "conductorsM_GP"), "missing");  // 102 is not selected
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGL"), (Reals{2.1, 1, 4.1, 1}));
}

TEST_F(TmdConductors, ConductorsWithoutNodesUsePlainPositions) {
  DMPTMD("#1,2,3,101,102", "CONDUCTORS(GL, M)", 1, "CONDS");
  const H5Reader f(file("CONDS.TMD"));
  // No node lists in the file: fluid nodes at positions 4 and 5 get -4, -5.
  EXPECT_EQ(f.ints(kAs1 + "conductorsGL"), (Ints{1, 2, 1, 1, 1, 2, 2, 1, 2, 3, 1, 1, -4, 3, 1, 1}));
  EXPECT_EQ(f.ints(kAs1 + "conductorsM_GP"), (Ints{-4, -5, 1, 1}));
  EXPECT_EQ(f.describe_dataset(kDg1 + "conductorDataGP"), "missing");
  EXPECT_EQ(f.describe_dataset(kAs1 + "conductorsGR"), "missing");
  EXPECT_EQ(f.describe_dataset(kAs1 + "thermalNodes"), "missing");
  EXPECT_EQ(f.describe_dataset(kAs1 + "fluidNodes"), "missing");
}

TEST_F(TmdConductors, FittingLossesAloneStillFillTheLinkList) {
  gar_massflowlinkstatuses.set(1, "I");
  DMPTMD(" ", "NODES(T), CONDUCTORS(GP)", -1, "GPONLY");
  const H5Reader f(file("GPONLY.TMD"));
  EXPECT_EQ(f.ints(kAs1 + "conductorsM_GP"), (Ints{-1, -2, 1, 1}));
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGP"), (Reals{1.6, -2}));
  EXPECT_EQ(f.describe_dataset(kDg1 + "conductorDataM"), "missing");
  EXPECT_EQ(f.describe_dataset(kAs1 + "conductorsGL"), "missing");
}

TEST_F(TmdConductors, TiedNodeContributesNothingFromItsOwnList) {
  gar_thermalnodestatuses.set(1, "C");
  DMPTMD(" ", "CONDUCTORS(GL, GR)", -1, "TIED");
  const H5Reader f(file("TIED.TMD"));
  // No node lists: fluid node 101 at selection position 7 has the code -7.
  EXPECT_EQ(f.ints(kAs1 + "conductorsGL"), (Ints{2, 3, 1, 1, -7, 3, 1, 1}));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGR"), (Ints{2, 4, 1, 1}));
}

TEST_F(TmdConductors, FluidFluidConductorIsRecordedOnce) {
  // Thermal node 1; fluid nodes 101, 102 (internal 2, 3) joined by GL 1,
  // which the lists of both fluid nodes name.
  kalvir::test::SubmodelSpec main;
  main.name = "LOOP";
  main.thermal = {1};
  main.fluid = {101, 102};
  main.gl = {{101, 102}};
  kalvir::test::ModelSpec spec;
  spec.submodels = {main};
  use_model(spec, {});
  const std::vector<std::int32_t> fpcs{-2, 0, 3, 1, 0, 0, 0, -9, 0, 2, 1, 0, 0, 0};
  gar_pcsfluid.allocate(static_cast<std::int64_t>(fpcs.size()));
  for (std::size_t k = 0; k < fpcs.size(); ++k) gar_pcsfluid(static_cast<std::int64_t>(k) + 1) = fpcs[k];
  gar_pcsptrsfluid(1) = 1;
  gar_pcsptrsfluid(2) = 8;

  DMPTMD(" ", "NODES(T), CONDUCTORS(GL)", 1, "LOOP");
  const H5Reader f(file("LOOP.TMD"));
  EXPECT_EQ(f.ints(kAs1 + "conductorsGL"), (Ints{-1, -2, 1, 1}));
  EXPECT_EQ(f.doubles(kDg1 + "conductorDataGL"), (Reals{1.1, 1}));
}

TEST_F(TmdConductors, EveryWriteAppendsRowsInTableOrder) {
  for (int step = 0; step < 3; ++step) {
    gcc_settimen(step);
    for (int k = 1; k <= 7; ++k) gar_linearconds(k) = 10.0 * step + k;
    DMPTMD(" ", "CONDUCTORS(GL)", 1, "STEPS");
  }
  const H5Reader f(file("STEPS.TMD"));
  EXPECT_EQ(f.dims(kDg1 + "conductorDataGL"), (std::vector<std::uint64_t>{3, 7, 2}));
  const Reals data = f.doubles(kDg1 + "conductorDataGL");
  const std::array<int, 7> order{1, 3, 2, 5, 6, 7, 4};  // the conductors of the table rows
  for (int step = 0; step < 3; ++step) {
    for (std::size_t row = 0; row < order.size(); ++row) {
      EXPECT_EQ(data[(static_cast<std::size_t>(step) * 7 + row) * 2], 10.0 * step + order[row]) << step << " " << row;
    }
  }
}

// A write takes the rows of the walk the file was created with only while the
// walk would read the same node letters: a node tied ('C') after the file was
// created drops its own list's conductors from the next slab (rows the walk no
// longer reaches stay 0), and untying it brings them back.
TEST_F(TmdConductors, NodeTiedBetweenWritesChangesTheRowsWrittenAsAFreshWalk) {
  gar_thermalnodestatuses.set(1, "C");
  DMPTMD(" ", "CONDUCTORS(GL)", 1, "TIEDFROMSTART");
  const Reals tied = H5Reader(file("TIEDFROMSTART.TMD")).doubles(kDg1 + "conductorDataGL");
  gar_thermalnodestatuses.set(1, "D");

  int step = 0;
  for (const char* status : {"D", "C", "D"}) {
    gcc_settimen(step++);
    gar_thermalnodestatuses.set(1, status);
    DMPTMD(" ", "CONDUCTORS(GL)", 1, "RETIED");
  }
  const H5Reader f(file("RETIED.TMD"));
  ASSERT_EQ(f.dims(kDg1 + "conductorDataGL"), (std::vector<std::uint64_t>{3, 7, 2}));
  const Reals data = f.doubles(kDg1 + "conductorDataGL");
  const Reals first(data.begin(), data.begin() + 14), second(data.begin() + 14, data.begin() + 28),
      third(data.begin() + 28, data.end());
  EXPECT_EQ(first, (Reals{1.1, 1, 3.1, 1, 2.1, 1, 5.1, 1, 6.1, 1, 7.1, 1, 4.1, 1}));
  Reals expected_second = tied;
  expected_second.resize(14, 0.0);
  EXPECT_EQ(second, expected_second);
  EXPECT_EQ(third, first);
}

TEST_F(TmdConductors, CorruptConnectionListStopsTheRun) {
  gar_pcsptrsthermalold(2) = 99999;
  const int status = kalvir::platform::run_program([] { DMPTMD(" ", "CONDUCTORS", 1, "BROKEN"); });
  EXPECT_EQ(status, 1);
}

}  // namespace tmd_conductors_test
