// The end of a run: the close order, exit statuses and the kill file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/output/monitor/progress_monitor.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "tests/support/test_support.h"

namespace run_end_test {

namespace io = kalvir::platform;
namespace fs = std::filesystem;

// A run directory with the scratch, parameter-case and state-dump files open
// on their units, as the start-up driver leaves them.
class RunEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    gfl_setmodelname("ORVIK_TESTBED_01");
    kalvir::messages_reset_for_tests();
  }
  void TearDown() override {
    io::close_all_units();
    gfl_setmodelname("");
  }
  void open_run_files() {
    std::int32_t ierr = 0;
    SOPSQ("ORVIK_TE.DMP", "UNFORMATTED", "UNKNOWN", 4, ierr);
    ASSERT_EQ(ierr, 0);
    SOPSQ("ORVIK_TE.PAR", "FORMATTED", "UNKNOWN", 3, ierr);
    ASSERT_EQ(ierr, 0);
    SOPSQ("ORVIK_TE.COM", "UNFORMATTED", "UNKNOWN", 2, ierr);
    ASSERT_EQ(ierr, 0);
  }
  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
};

TEST_F(RunEnd, SuccessAndFailureCloseTheRunFiles) {
  struct Case {
    void (*end)();
    int status;
  };
  for (const Case c : {Case{SUCCES, 0}, Case{FAILUR, 1}, Case{SUCCES, 0}}) {
    open_run_files();
    EXPECT_EQ(io::run_program([&] { c.end(); }), c.status);
    EXPECT_FALSE(fs::exists("ORVIK_TE.DMP"));
    EXPECT_TRUE(fs::exists("ORVIK_TE.PAR"));
    EXPECT_FALSE(fs::exists("ORVIK_TE.COM"));
    EXPECT_FALSE(io::unit_is_open(2));
    EXPECT_FALSE(io::unit_is_open(3));
    EXPECT_FALSE(io::unit_is_open(4));
  }
}

TEST_F(RunEnd, MissingUnitsAreNoError) {
  std::int32_t ierr = 0;
  SOPSQ("ORVIK_TE.DMP", "UNFORMATTED", "UNKNOWN", 4, ierr);
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(io::run_program([] { SUCCES(); }), 0);
  EXPECT_EQ(out.finish(), "");
  EXPECT_FALSE(fs::exists("ORVIK_TE.DMP"));
}

TEST_F(RunEnd, ProgressMonitorGetsItsLastLine) {
  io::clock_fix(io::ClockReading{2024, 3, 5, 14, 7, 9});
  ASSERT_EQ(io::unit_open(9, "ORVIK_TE.MON", io::Form::Formatted, io::OpenStatus::Replace), 0);
  io::write_line(9, "header");
  register_run_closer(prm_close);  // as prm_open does
  EXPECT_EQ(io::run_program([] { FAILUR(); }), 1);
  io::clock_fix(std::nullopt);
  EXPECT_EQ(kalvir::test::read_file("ORVIK_TE.MON"), "header\n14:07:09,  EXIT\n");
}

TEST_F(RunEnd, RegisteredClosersRunNewestFirstOnceEach) {
  static std::string order;
  order.clear();
  register_run_closer([] { order += 'a'; });
  register_run_closer([] {
    order += 'b';
    FAILUR();  // a closer that stops the run again is not run twice
  });
  EXPECT_EQ(io::run_program([] { SUCCES(); }), 1);
  EXPECT_EQ(order, "ba");
  EXPECT_EQ(io::run_program([] { SUCCES(); }), 0);
  EXPECT_EQ(order, "ba") << "the closers ran with the run that registered them";
}

TEST_F(RunEnd, KillFileEndsTheRunSilently) {
  open_run_files();
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(io::run_program([] { CHKTRM(); }), 0);  // no kill file: returns
  open_run_files();
  std::ofstream("ORVIK_TE.kill").put('\n');
  EXPECT_EQ(io::run_program([] { CHKTRM(); }), 1);
  EXPECT_EQ(out.finish(), "");
  EXPECT_FALSE(fs::exists("ORVIK_TE.DMP"));
  EXPECT_TRUE(fs::exists("ORVIK_TE.PAR"));
  EXPECT_TRUE(fs::exists("ORVIK_TE.kill"));
}

TEST_F(RunEnd, KillFileOfAShortModelName) {
  gfl_setmodelname("PANEL");
  std::ofstream("PANEL.kill").put('\n');
  EXPECT_EQ(io::run_program([] { CHKTRM(); }), 1);
}

TEST_F(RunEnd, FatalMessageClosesTheRun) {
  open_run_files();
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(io::run_program([] { SETERX("Stop", 4, 1, "R"); }), 1);
  EXPECT_FALSE(fs::exists("ORVIK_TE.DMP"));
  EXPECT_FALSE(fs::exists("ORVIK_TE.COM"));
}

TEST_F(RunEnd, InternalStopWritesToStandardError) {
  open_run_files();
  testing::internal::CaptureStderr();
  EXPECT_EQ(io::run_program([] { internal_stop("Sdblkx 1"); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Sdblkx 1\n");
  EXPECT_FALSE(fs::exists("ORVIK_TE.DMP"));
}

// A run that goes on after failures ends through SUCCES with status 1, and
// its block on standard error lists each failure once, with its count and
// where the run was; warnings and ERRNEW's warnings fail nothing.
TEST_F(RunEnd, FailuresTheRunWentOnAfterEndItWithStatusOne) {
  struct Case {
    const char* what;
    std::function<void()> messages;  // written before the run ends
    void (*end)();
    int status;
    std::string err;
  };
  const std::string went_on = "kalvir: run failed: it went on after these failures:\n";
  const Case cases[] = {
      {"nothing", [] {}, SUCCES, 0, ""},
      {"warnings", [] { SETERX("Careful@Going on", 2, 1, "R"); ERRNEW("Careful", 4, 1, "DBQR"); }, SUCCES, 0, ""},
      {"one failure", [] { SETERX("Broken@Going on", 3, 2, "R"); }, SUCCES, 1,
       went_on + "  R, 1 time:\n    Broken\n    Going on\n"},
      {"the same failure three times, printed or not",
       [] {
         SETERX("Broken", 3, 2, "R");
         GLOI.MLEVEL = 3;
         SETERX("Broken", 3, 2, "R");
         SETERX("Broken", 3, 2, "R");
         GLOI.MLEVEL = 0;
       },
       SUCCES, 1, went_on + "  R, 3 times:\n    Broken\n"},
      {"a failure in two places",
       [] {
         for (const char* where : {"F.PAR line 3: CHANGE T9=1", "F.PAR line 5: CHANGE T9=2"}) {
           const kalvir::FailurePlace place(where);
           SETERX("No node<NL>Number: 9", 3, 3, "P");
         }
       },
       SUCCES, 1,
       went_on + "  P, 1 time:\n    No node\n    Number: 9\n    where: F.PAR line 3: CHANGE T9=1\n" +
           "  P, 1 time:\n    No node\n    Number: 9\n    where: F.PAR line 5: CHANGE T9=2\n"},
      {"an error of the file layer", [] { ERRNEW("Cannot close@File X", 1, 1, "SCLFIL"); }, SUCCES, 1,
       went_on + "  SCLFIL, 1 time:\n    Cannot close\n    File X\n"},
      {"more kinds than are listed",
       [] {
         for (int k = 0; k < 52; ++k) SETERX("Broken " + std::to_string(k), 3, 1, "R");
         SETERX("Broken 51", 3, 1, "R");
       },
       SUCCES, 1, ""},
      {"a fatal failure after another",
       [] {
         SETERX("Broken", 3, 2, "R");
         SETERX("Stop@Here", 4, 1, "S");
       },
       SUCCES, 1, "kalvir: run failed in S\n    Stop\n    Here\nkalvir: earlier failures:\n  R, 1 time:\n    Broken\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    kalvir::messages_reset_for_tests();
    kalvir::test::Unit6Capture out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(io::run_program([&] {
                c.messages();
                c.end();
              }),
              c.status);
    const std::string err = testing::internal::GetCapturedStderr();
    out.finish();
    if (std::string_view(c.what) == "more kinds than are listed") {
      // Fifty kinds listed, and the two occurrences of the other two counted.
      EXPECT_EQ(err.rfind(went_on, 0), 0u) << err;
      EXPECT_NE(err.find("  R, 1 time:\n    Broken 49\n"), std::string::npos) << err;
      EXPECT_EQ(err.find("Broken 50"), std::string::npos) << err;
      EXPECT_NE(err.find("  and 3 more, not listed here: see the printed output\n"), std::string::npos) << err;
    } else {
      EXPECT_EQ(err, c.err);
    }
  }
  // The next run starts without them.
  EXPECT_EQ(io::run_program([] { SUCCES(); }), 0);
}

}  // namespace run_end_test
