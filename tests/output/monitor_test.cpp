// The progress monitor file: header, progress lines by PRGFBK, the END line
// of a solution, the closing line, the fluid column set and the failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/output/monitor/progress_monitor.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "tests/support/test_support.h"

namespace monitor_test {

namespace io = kalvir::platform;
using kalvir::test::split_lines;
using kalvir::test::undefined_real;
using std::string;

constexpr std::string_view kThermalHeader =
    "RealTime,Status,MODULE,SOLVER,                 TIMEN,                TIMEND,                DTIMEU,"
    "    STEPCT,    LOOPCT,     NLOOP,                RELXCC,                RELXCA,                ENBNDM,"
    "                INBNDM,                ENBALA,                INBALA,                ENBALR,"
    "                INBALR";

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    io::clock_fix(io::ClockReading{2026, 3, 5, 14, 7, 9});
    saved_flags_ = FLAGS;
    FLAGS(flagw::NF) = 0;
    GLOR = GlorBlock{};
    GLOI = GloiBlock{};
    GLOC.SOLVER = "TRTH";
    GLOC.MODULE = "SLCRNC";
    GLOC.OPBLOK = "VARIABLES2";
    GLOI.PRGFBK = 2;
    GLOI.LOOPCT = 3;
    GLOI.NLOOP = 100;
    GLOR.TIMEND = 10.0;
    GLOR.DTIMEU = 2.0;
    GLOR.RELXCC = 0.5;
    GLOR.RELXCA = undefined_real();
    GLOR.ENBALA = 1.25;
    GLOR.ENBALR = -0.5;
  }
  void TearDown() override {
    prm_close();
    io::close_all_units();
    io::clock_fix(std::nullopt);
    FLAGS = saved_flags_;
    GLOC.SOLVER = "";
    GLOC.MODULE = "";
    GLOC.OPBLOK = "";
  }
  // One accepted step of a transient: both variables blocks update.
  static void step(std::int32_t n) {
    GLOI.STEPCT = n;
    GLOR.TIMEN = 2.0 * n;
    GLOC.OPBLOK = "VARIABLES1";
    PRMUPD();
    GLOC.OPBLOK = "VARIABLES2";
    PRMUPD();
  }
  string file(const string& name) const { return dir_.file(name); }

  kalvir::test::TempDir dir_;
  FlagsBlock saved_flags_;
};

TEST_F(Monitor, TransientRun) {
  prm_open(file("ORVIK_TE.MON"));
  for (std::int32_t n = 1; n <= 5; ++n) step(n);  // step 5 reaches TIMEND
  prm_close();
  const auto lines = split_lines(kalvir::test::read_file(file("ORVIK_TE.MON")));
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[0], kThermalHeader);
  const string zero = ", 0.000000000000000E+00";
  const string tail = ",         3,       100, 5.000000000000000E-01" + zero + zero + zero +
                      ", 1.250000000000000E+00" + zero + ",-5.000000000000000E-01" + zero;
  EXPECT_EQ(lines[1], "14:07:09,   SOL,SLCRNC,  TRTH, 4.000000000000000E+00, 1.000000000000000E+01,"
                      " 2.000000000000000E+00,         2" + tail);
  EXPECT_EQ(lines[1].size(), kThermalHeader.size());
  EXPECT_EQ(lines[2], "14:07:09,   SOL,SLCRNC,  TRTH, 8.000000000000000E+00, 1.000000000000000E+01,"
                      " 2.000000000000000E+00,         4" + tail);
  EXPECT_EQ(lines[3], "14:07:09,   END,SLCRNC,  TRTH, 1.000000000000000E+01, 1.000000000000000E+01,"
                      " 2.000000000000000E+00,         5" + tail);
  EXPECT_EQ(lines[4], "14:07:09,  EXIT");
}

TEST_F(Monitor, EndLineReplacesTheStepLine) {
  GLOI.PRGFBK = 1;
  prm_open(file("A.MON"));
  step(5);
  prm_close();
  const auto lines = split_lines(kalvir::test::read_file(file("A.MON")));
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[1].substr(8, 7), ",   END");
}

TEST_F(Monitor, NoMonitoringBelowOne) {
  for (const std::int32_t every : {0, -3}) {
    GLOI.PRGFBK = every;
    prm_open(file("B.MON"));
    for (std::int32_t n = 1; n <= 5; ++n) step(n);
    GLOC.OPBLOK = "OUTPUT";  // not even looked at
    PRMUPD();
    prm_close();
    const auto lines = split_lines(kalvir::test::read_file(file("B.MON")));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[1], "14:07:09,  EXIT");
  }
}

TEST_F(Monitor, SteadyStateReportsIterations) {
  GLOC.SOLVER = "SSTH";
  GLOC.MODULE = "";  // blank: two commas side by side
  prm_open(file("C.MON"));
  GLOC.OPBLOK = "VARIABLES1";
  for (std::int32_t loop = 1; loop <= 4; ++loop) {
    GLOI.LOOPCT = loop;
    PRMUPD();
  }
  GLOC.OPBLOK = "VARIABLES2";
  PRMUPD();
  prm_close();
  const auto lines = split_lines(kalvir::test::read_file(file("C.MON")));
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[1].substr(0, 28), "14:07:09,   SOL,,  SSTH, 0.0");
  EXPECT_NE(lines[1].find(",         2,       100,"), string::npos);
  EXPECT_NE(lines[2].find(",         4,       100,"), string::npos);
  EXPECT_EQ(lines[3].substr(0, 20), "14:07:09,   END,,  S");
}

TEST_F(Monitor, FluidModelColumns) {
  FLAGS(flagw::NF) = 2;
  GLOI.SUMTHL = 7;
  GLOI.NLOOPT = 8;
  GLOI.SUMFLL = 9;
  GLOI.NLOOPH = 11;
  GLOR.RELXMC = 3.0;
  prm_open(file("D.MON"));
  step(2);
  prm_close();
  const auto lines = split_lines(kalvir::test::read_file(file("D.MON")));
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].size(), 451U);
  EXPECT_EQ(lines[0].substr(0, 120), kThermalHeader.substr(0, 120));
  EXPECT_NE(lines[0].find("NLOOP,    SUMTHL,    NLOOPT,    SUMFLL,    NLOOPH,"), string::npos);
  EXPECT_EQ(lines[1].size(), 451U);
  EXPECT_NE(lines[1].find(",       100,         7,         8,         9,        11, 5.0"), string::npos);
  EXPECT_NE(lines[1].find(", 3.000000000000000E+00,"), string::npos);  // RELXMC
}

TEST_F(Monitor, FluidModelSteadyStateCountsFluidPasses) {
  FLAGS(flagw::NF) = 1;
  GLOC.SOLVER = "SSFL";
  GLOI.LOOPCT = 1;
  GLOI.SUMFLL = 3;
  GLOI.SUMTHL = 4;
  prm_open(file("E.MON"));
  GLOC.OPBLOK = "VARIABLES1";
  PRMUPD();  // LOOPCT 1 and SUMFLL 3 are no multiples of 2, SUMTHL 4 is
  GLOI.SUMTHL = 5;
  PRMUPD();
  prm_close();
  EXPECT_EQ(split_lines(kalvir::test::read_file(file("E.MON"))).size(), 3U);
}

TEST_F(Monitor, OtherBlocksStopTheRun) {
  prm_open(file("F.MON"));
  GLOC.OPBLOK = "OUTPUT";
  ::testing::internal::CaptureStderr();
  const int status = io::run_program(PRMUPD);
  const string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("prm_Update"), string::npos);
  // The run was closed: the monitor has its closing line.
  const auto lines = split_lines(kalvir::test::read_file(file("F.MON")));
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[1], "14:07:09,  EXIT");
}

TEST_F(Monitor, OpenFailureEndsTheRunAndCloseWritesNothing) {
  kalvir::test::Unit6Capture capture;
  const string bad = file("missing/dir/G.MON");
  EXPECT_EQ(io::run_program([&] { prm_open(bad); }), 1);
  prm_close();
  capture.finish();
  EXPECT_FALSE(std::filesystem::exists(bad));
  EXPECT_FALSE(io::unit_is_open(9));
}

TEST_F(Monitor, CloseBeforeAnyOpenWritesNothing) {
  prm_close();
  EXPECT_FALSE(io::unit_is_open(9));
}

}  // namespace monitor_test
