// The end of a run: the close order, exit statuses and the kill file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace run_end_test
