// TMD requests: which file a request writes to, when a new solution file is
// started, the basename limit, the parameter-case files and the messages of
// failed requests.
#include "runtime/output/tmd/tmd_requests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/output/tmd/tmd_file.h"
#include "runtime/platform/process.h"
#include "tests/output/tmd_fixture.h"

namespace tmd_requests_test {

using kalvir::padded;
using kalvir::test::capture_messages;
using kalvir::test::H5Reader;
using kalvir::test::printed;

const std::string kDg1 = "/AnalysisSet1/DataGroup1";
constexpr std::string_view kAll = "NODES, CONDUCTORS, CONSTANTS";

class TmdRequests : public kalvir::test::TmdTest {
 protected:
  static void at(double t, std::string_view zents, std::string_view root, std::string_view zlabel = " ",
                 std::int32_t subref = 1) {
    gcc_settimen(t);
    DMPTMD(zlabel, zents, subref, root);
  }
  std::vector<double> times(const std::string& name) const {
    return H5Reader(file(name)).doubles(kDg1 + "/times");
  }
  std::string description(const std::string& name) const {
    return H5Reader(file(name)).string_attribute(kDg1, "Description");
  }
};

TEST_F(TmdRequests, OutputsBlockRequestsAndSolutionNumbers) {
  // A transient writes at 0, 10, 20; a second one restarts at 20 and goes on.
  for (const double t : {0.0, 10.0, 20.0, 20.0, 30.0}) at(t, kAll, " ");
  // A third starts before the last write.
  at(5.0, kAll, " ");
  EXPECT_EQ(times("MAIN.TMD"), (std::vector<double>{0.0, 10.0, 20.0}));
  EXPECT_EQ(times("MAIN.TMD2"), (std::vector<double>{20.0, 30.0}));
  EXPECT_EQ(times("MAIN.TMD3"), (std::vector<double>{5.0}));
  EXPECT_EQ(description("MAIN.TMD"), padded("Solution number 1", 100));
  EXPECT_EQ(description("MAIN.TMD2"), padded("Solution number 2", 100));
  EXPECT_EQ(description("MAIN.TMD3"), padded("Solution number 3", 100));
  // Every slab of every time dataset is there.
  const H5Reader f(file("MAIN.TMD"));
  EXPECT_EQ(f.dims(kDg1 + "/thermalNodesRealData"), (std::vector<std::uint64_t>{3, 15, 18}));
  EXPECT_EQ(f.dims(kDg1 + "/conductorDataGL"), (std::vector<std::uint64_t>{3, 7, 2}));
  EXPECT_EQ(f.dims(kDg1 + "/userConstantsStringData"), (std::vector<std::uint64_t>{3, 2}));
}

TEST_F(TmdRequests, BlankBasenameNamesTheCurrentSubmodel) {
  GLOI.MODEL = 2;
  at(0.0, "NODES(T)", " ");
  EXPECT_TRUE(exists("SUB1.TMD"));
}

TEST_F(TmdRequests, BasenamesCompareWholeAndExactly) {
  at(0.0, "NODES(T)", "Result");
  at(0.0, "NODES(T)", "RESULT");     // another entry: its own first file
  at(1.0, "NODES(T)", "Result   ");  // the first entry again
  EXPECT_EQ(times("Result.TMD"), (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(times("RESULT.TMD"), (std::vector<double>{0.0}));
  EXPECT_FALSE(exists("Result.TMD2"));
}

TEST_F(TmdRequests, AHundredthBasenameIsRefused) {
  for (int k = 1; k <= 99; ++k) at(0.0, "CONSTANTS", "B" + std::to_string(k));
  const auto msgs = capture_messages([&] { at(1.0, "CONSTANTS", "B100"); });
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(msgs[0].routine, "DmptmdReal");
  EXPECT_EQ(msgs[0].code, 2);
  EXPECT_EQ(msgs[0].text, printed("Too many file basenames@Preparing to write TMD file@Maximum number of TMD file "
                                  "basenames is 99.<NL>Request denied: B100@DMPTMD called in MAIN"));
  EXPECT_FALSE(exists("B100.TMD"));
  // The run goes on, and the basenames in the table still write.
  at(1.0, "CONSTANTS", "B42");
  EXPECT_EQ(times("B42.TMD"), (std::vector<double>{0.0, 1.0}));
}

TEST_F(TmdRequests, BasenameWithADirectoryWritesThere) {
  std::filesystem::create_directory(file("sub"));
  const auto msgs = capture_messages([&] { at(0.0, "NODES(T)", "sub/RESULT"); });
  EXPECT_TRUE(msgs.empty());
  EXPECT_EQ(times("sub/RESULT.TMD"), (std::vector<double>{0.0}));
}

// A user request beside the generated one for the same file, with another
// selection: neither may write slabs shaped for the other's file.
TEST_F(TmdRequests, MismatchedSelectionStartsANewSolution) {
  for (const double t : {0.0, 10.0}) {
    at(t, kAll, " ");
    at(t, "NODES(T)", " ");
  }
  EXPECT_EQ(times("MAIN.TMD"), (std::vector<double>{0.0}));
  EXPECT_EQ(times("MAIN.TMD2"), (std::vector<double>{0.0}));
  EXPECT_EQ(times("MAIN.TMD3"), (std::vector<double>{10.0}));
  EXPECT_EQ(times("MAIN.TMD4"), (std::vector<double>{10.0}));
  const H5Reader two(file("MAIN.TMD2"));
  EXPECT_EQ(two.dims(kDg1 + "/thermalNodesRealData"), (std::vector<std::uint64_t>{1, 15, 1}));
  EXPECT_EQ(two.doubles(kDg1 + "/thermalNodesRealData")[14], 115.0);

  // A continuing request (later time) with a narrower node group or more
  // entities goes to a new file as well; the same selection continues it.
  at(0.0, "NODES(T)", "USER");
  at(1.0, "NODES(T)", "USER", "#1,2");
  at(2.0, "NODES(T, C)", "USER", "#1,2");
  at(3.0, "NODES(T, C)", "USER", "#1,2");
  EXPECT_EQ(times("USER.TMD"), (std::vector<double>{0.0}));
  EXPECT_EQ(times("USER.TMD2"), (std::vector<double>{1.0}));
  EXPECT_EQ(times("USER.TMD3"), (std::vector<double>{2.0, 3.0}));
  EXPECT_EQ(H5Reader(file("USER.TMD3")).doubles(kDg1 + "/thermalNodesRealData"),
            (std::vector<double>{101, 1001, 102, 1002, 101, 1001, 102, 1002}));
}

TEST_F(TmdRequests, ParameterCaseFiles) {
  std::vector<kalvir::test::Message> msgs;
  msgs = capture_messages([&] {
    gcc_settimen(0.0);
    ParTmd(padded("NODES(T)", 256), padded("ORVIK_TE_PAR0000", 50), 0);
    gcc_settimen(1.0);
    ParTmd(padded("NODES(T)", 256), padded("ORVIK_TE_PAR0000", 50), 0);
    gcc_settimen(0.0);  // a further solution in the same case
    ParTmd(padded("NODES(T)", 256), padded("ORVIK_TE_PAR0000", 50), 0);
    gcc_setparnam("HOT CASE");
    ParTmd(padded("NODES(T)", 256), padded("ORVIK_TE_PAR0003_HOT-CASE", 50), 3);
  });
  EXPECT_TRUE(msgs.empty());
  EXPECT_EQ(times("ORVIK_TE_PAR0000.TMD"), (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(times("ORVIK_TE_PAR0000.TMD2"), (std::vector<double>{0.0}));
  EXPECT_EQ(times("ORVIK_TE_PAR0003_HOT-CASE.TMD"), (std::vector<double>{0.0}));
  EXPECT_EQ(description("ORVIK_TE_PAR0000.TMD"), padded("Parameter case 0 " + padded("CASE A", 24), 100));
  EXPECT_EQ(description("ORVIK_TE_PAR0003_HOT-CASE.TMD"), padded("Parameter case 3 " + padded("HOT CASE", 24), 100));
  // The whole model, whatever the current submodel.
  EXPECT_EQ(H5Reader(file("ORVIK_TE_PAR0000.TMD")).dims(kDg1 + "/thermalNodesRealData"),
            (std::vector<std::uint64_t>{2, 15, 1}));
}

TEST_F(TmdRequests, FailuresEndTheRun) {
  // A directory of the file's name: the file cannot be created.
  std::filesystem::create_directory(file("BLOCKED.TMD"));
  std::filesystem::create_directory(file("ROOT.TMD"));
  struct Case {
    std::function<void()> request;
    std::string routine;
    std::int32_t code;
    std::string text;
  };
  const std::vector<Case> cases{
      {[] { DMPTMD(" ", "NODES(T)", 1, "BLOCKED"); }, "DmptmdReal", 4,
       "Failed to open file BLOCKED.TMD@Writing TMD output@HDF error.@DMPTMD called in MAIN"},
      {[] { DMPTMD(" ", "NODES(T)", 1, "nosuchdir/RESULT"); }, "DmptmdReal", 4,
       "Failed to open file nosuchdir/RESULT.TMD@Writing TMD output@HDF error.@DMPTMD called in MAIN"},
      {[] { ParTmd(padded("CONSTANTS", 256), padded("ROOT", 50), 3); }, "ParTmdBase", 2,
       "Failed to open file ROOT.TMD@Writing thermal model data (TMD) for parameter case@HDF error -1        "
       "@Running parameter case 3: CASE A                  "},
  };
  for (const Case& c : cases) {
    int status = -1;
    const auto msgs = capture_messages([&] { status = kalvir::platform::run_program(c.request); });
    EXPECT_EQ(status, 1) << c.routine;
    ASSERT_EQ(msgs.size(), 1U) << c.routine;
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR");
    EXPECT_EQ(msgs[0].routine, c.routine);
    EXPECT_EQ(msgs[0].code, c.code);
    EXPECT_EQ(msgs[0].text, printed(c.text));
    kalvir::tmd::reset_for_tests();
  }
}

TEST_F(TmdRequests, FilesWrittenBeforeAFatalEndKeepTheirSlabs) {
  at(0.0, kAll, "KEPT");
  at(1.0, kAll, "KEPT");
  std::filesystem::create_directory(file("BLOCKED.TMD"));
  int status = -1;
  const auto msgs =
      capture_messages([&] { status = kalvir::platform::run_program([] { DMPTMD(" ", kAll, 1, "BLOCKED"); }); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(msgs.size(), 1U);
  // The end of the run closed every TMD file.
  EXPECT_FALSE(tmd_slot(1).open());
  EXPECT_EQ(times("KEPT.TMD"), (std::vector<double>{0.0, 1.0}));
}

}  // namespace tmd_requests_test
