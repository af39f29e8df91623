// The parameter-case loop with scripted parameter-case files and blocks that
// record what they see.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/state_dump.h"
#include "runtime/platform/units.h"
#include "runtime/program/param_loop.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace param_loop_test {

namespace io = kalvir::platform;

constexpr int kDump = 2, kParam = 3, kCsv = 11;

// What the blocks saw, in order: "I<TIMEND>" for the initial block, "E" for
// the execution block, which then changes TIMEND so that a restore shows.
std::string block_log;

void initial_block() {
  std::ostringstream s;
  s << "I" << GLOR.TIMEND << " ";
  block_log += s.str();
}
void execution_block() {
  block_log += "E ";
  GLOR.TIMEND = 999.0;
}

struct Outcome {
  std::int32_t status = -1;
  std::string printed;
};

class ParamLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    FLAGS(11) = 2;
    FLAGS(13) = 49;
    FLAGS(14) = 25;
    loc_allocate();
    GLOI.WIDTH = 132;
    GLOI.MLEVEL = 0;
    GLOR.TIMEND = 123.5;
    GLOC.PARNAM = "ORIGINAL";
    PRTINF.w = {60, 1, 6, 1, 0, 0};
    JOBINF.model = "THREE";
    ModelBlocks blocks;
    blocks.initial = initial_block;
    blocks.execution = execution_block;
    register_model_blocks(blocks);
    block_log.clear();
    // The state dump of the loaded model, as the start-up writes it.
    ASSERT_EQ(io::unit_open(kDump, dir_.file("THREE.COM"), io::Form::Unformatted, io::OpenStatus::Unknown), 0);
    std::int32_t ierr = -1;
    DMPCOM(kDump, ierr);
    ASSERT_EQ(ierr, 0);
  }
  void TearDown() override {
    io::unit_close(kDump);
    io::unit_close(kParam);
    register_model_blocks(ModelBlocks{});
  }

  // Runs the loop with the parameter-case file holding `text`, or without
  // one when `text` is null.
  Outcome run(const char* text) {
    std::int32_t iparam = 0;
    if (text != nullptr) {
      std::ofstream(dir_.file("THREE.PAR")) << text;
      EXPECT_EQ(io::unit_open(kParam, dir_.file("THREE.PAR"), io::Form::Formatted, io::OpenStatus::Old), 0);
      iparam = 1;
    }
    Outcome o;
    kalvir::test::Unit6Capture capture;
    PARAMX(iparam, "THREE", o.status, kDump, kParam, kCsv);
    o.printed = capture.finish();
    return o;
  }

  kalvir::test::TempDir dir_;
};

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

struct Case {
  const char* name;
  const char* file;  // null: no parameter-case file
  std::int32_t status;
  const char* log;
  const char* title;  // PARNAM afterwards
  int banners;
  std::array<const char*, 2> messages{};  // texts the run must print
};

const Case kCases[] = {
    {"no file: the base case alone", nullptr, 0, "I123.5 E ", "ORIGINAL", 0},
    {"option record only", "$PARAMETERS\n\n# nothing but comments\n   \n", 3, "I123.5 E ", "ORIGINAL", 0},
    {"an initial case restores the dump", "$PARAMETERS\n!INITIAL='CASE A'\n", 0, "I123.5 E I123.5 E ", "CASE A", 1},
    {"a final case goes on from the previous state", "$PARAMETERS\n!FINAL\n", 0, "I123.5 E E ", "", 1},
    {"two initial cases both start from the dump", "$PARAMETERS\n!INITIAL='A'\n!INITIAL='B'\n", 0,
     "I123.5 E I123.5 E I123.5 E ", "B", 2},
    {"a lower-case type is unknown", "$PARAMETERS\n!initial\n", 5, "I123.5 E ", "", 0},
    {"the type is the header's first 8 characters", "$PARAMETERS\n!INITIALXYZ='A'\n", 0, "I123.5 E I123.5 E ",
     "A", 1},
    {"a title not in quotes is reported and the case runs untitled", "$PARAMETERS\n!FINAL='A'\n!INITIAL=CASE\n",
     0, "I123.5 E E I123.5 E ", "", 2, {"String is not delimited with single quotes", "(PARZVL,   1)"}},
    {"a statement before the first case header", "$PARAMETERS\nCHANGE TIMEND=5\n!FINAL\n", 5, "I123.5 E ", "", 0,
     {"CHANGETI", "(PARAMX,   5)"}},
    {"an unclosed quote ends with the options record", "$PARAMETERS,GFF_ENTITIES='\n!INITIAL = 'A B'\n", 0,
     "I123.5 E I123.5 E ", "A B", 1},
    {"an erroneous statement stops the loop", "$PARAMETERS\n!FINAL\nBAD STATEMENT\n!FINAL\n", 1, "I123.5 E ", "", 1},
    {"PARMONLY skips the base case", "$PARAMETERS,PARMONLY\n!FINAL\n", 0, "E ", "", 1},
    {"check mode runs no block and counts the errors of all cases",
     "$PARAMETERS,CHECK\n!INITIAL='A'\nBAD1\n!FINAL\nBAD2\nBAD3\n", 3, "", "", 2},
    {"check mode reports a malformed title without counting it, as the run would",
     "$PARAMETERS,CHECK\n!INITIAL=CASE\nBAD1\n!FINAL\n", 1, "", "", 2,
     {">>CASE<<", "(PARZVL,   1)"}},
    {"an unknown option", "$PARAMETERS,NOSUCHOPTION\n!FINAL\n", 7, "", "ORIGINAL", 0},
};

TEST_F(ParamLoop, ScriptedFiles) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    SetUp();
    const Outcome o = run(c.file);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(block_log, c.log);
    EXPECT_EQ(GLOC.PARNAM, c.title);
    EXPECT_EQ(count(o.printed, " # Parameter Case No.: "), c.banners) << o.printed;
    for (const char* m : c.messages) {
      if (m == nullptr) continue;
      EXPECT_NE(o.printed.find(m), std::string::npos) << m << "\n" << o.printed;
    }
    TearDown();
  }
}

TEST_F(ParamLoop, TheCaseBannerFollowsANewPage) {
  const Outcome o = run("$PARAMETERS\n!INITIAL='CASE A'\n");
  const std::string rule = " " + std::string(40, '#');
  const std::string side = " #" + std::string(38, ' ') + "#";
  const std::string banner = rule + "\n" + side + "\n # Parameter Case No.:     1" + std::string(12, ' ') + "#\n" +
                             " # Type: !INITIAL" + std::string(23, ' ') + "#\n" + " # Title: CASE A" +
                             std::string(18, ' ') + std::string(6, ' ') + "#\n" + side + "\n" + rule + "\n\n\n";
  const std::size_t at = o.printed.find(banner);
  ASSERT_NE(at, std::string::npos) << o.printed;
  EXPECT_NE(o.printed.rfind("1\n KALVIR-HUB", at), std::string::npos) << "a page starts before the banner";
  EXPECT_EQ(PARNUM(2), 1);
  EXPECT_EQ(PRTINF(2), 1) << "each case starts its page count afresh";
}

TEST_F(ParamLoop, TheTenThousandthCaseHeaderStopsTheRun) {
  std::string text = "$PARAMETERS,CHECK\n";
  for (int i = 0; i < 10000; ++i) text += "!FINAL\n";
  const Outcome o = run(text.c_str());
  EXPECT_EQ(o.status, 4);
  EXPECT_EQ(PARNUM(2), 10000);
  EXPECT_EQ(count(o.printed, " # Parameter Case No.: "), 9999);
  EXPECT_NE(o.printed.find("Too many parameter cases in a single run"), std::string::npos);
}

TEST_F(ParamLoop, AStateDumpThatCannotBeReadStopsBeforeTheInitialBlock) {
  io::unit_close(kDump);
  const Outcome o = run("$PARAMETERS\n!INITIAL='A'\n");
  EXPECT_NE(o.status, 0);
  EXPECT_EQ(block_log, "I123.5 E ") << "the case's initial block must not run on a half-restored model";
}

}  // namespace param_loop_test
