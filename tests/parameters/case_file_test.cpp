// The options record and the statement reader of the parameter-case file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/parameters/case_file.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace case_file_test {

namespace io = kalvir::platform;
using kalvir::test::capture_messages;
using kalvir::test::Message;

// The options as PAROPT leaves them; -1 marks a word it did not write.
struct Options {
  std::int32_t check = -1, parmonly = -1, outmult = -1, csvent = -1, csvmult = -1, gffent = -1, tmdent = -1,
               outfrom = -1;
  kalvir::Chars<256> csv{}, gff{}, tmd{};
  std::int32_t ierr = 0;
  std::vector<Message> messages;
};

Options parse(const std::string& line) {
  Options o;
  o.messages = capture_messages([&] {
    PAROPT(line, o.check, o.parmonly, o.outmult, o.csvent, o.csvmult, o.gffent, o.tmdent, o.outfrom, o.csv.span(),
           o.gff.span(), o.tmd.span(), o.ierr);
  });
  return o;
}

struct OptionCase {
  const char* what;
  const char* record;
  std::int32_t ierr;
  std::vector<std::int32_t> words;  // check, parmonly, outmult, csvent, csvmult, gffent, tmdent, outfrom
  const char* gff;
  const char* csv;
};

class OptionRecord : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionRecord, SetsItsWordsAndReportsTheLastInvalidOption) {
  const OptionCase& c = GetParam();
  kalvir::test::reset_messages();
  GLOI.MLEVEL = 0;
  const Options o = parse(c.record);
  EXPECT_EQ(o.ierr, c.ierr);
  const std::vector<std::int32_t> words{o.check, o.parmonly, o.outmult, o.csvent,
                                        o.csvmult, o.gffent, o.tmdent, o.outfrom};
  EXPECT_EQ(words, c.words);
  EXPECT_EQ(o.gff.trimmed(), c.gff);
  EXPECT_EQ(o.csv.trimmed(), c.csv);
  if (c.ierr != 0) {
    ASSERT_FALSE(o.messages.empty());
    EXPECT_EQ(o.messages.back().code, c.ierr);
    EXPECT_EQ(o.messages.back().routine, "PAROPT");
  } else {
    EXPECT_TRUE(o.messages.empty());
  }
}

const OptionCase kOptionCases[] = {
    {"alone", "$PARAMETERS", 0, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"check and parmonly", "$PARAMETERS,CHECK,PARMONLY", 0, {1, 1, -1, -1, -1, -1, -1, -1}, "", ""},
    {"output from variables two", "$PARAMETERS,OUTPUT_FROM=VARIABLES2", 0, {0, 0, -1, -1, -1, -1, -1, 1}, "", ""},
    {"output from outputs", "$PARAMETERS,OUTPUT_FROM=OUTPUTS", 0, {0, 0, -1, -1, -1, -1, -1, 0}, "", ""},
    {"quoted output from value", "$PARAMETERS,OUTPUT_FROM='OUTPUTS'", 1, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"output multiple", "$PARAMETERS,OUTPUT=MULTIPLE", 0, {0, 0, 1, -1, -1, -1, -1, -1}, "", ""},
    {"output bad value", "$PARAMETERS,OUTPUTX=SINGLE", 2, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"csv output single", "$PARAMETERS,CSV_OUTPUT=SINGLE", 0, {0, 0, -1, -1, 0, -1, -1, -1}, "", ""},
    {"csv output bad", "$PARAMETERS,CSV_OUTPUT=BOTH", 4, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"gff entities with comma then check", "$PARAMETERS,GFF_ENTITIES='NODES, CONDUCTORS',CHECK", 0,
     {1, 0, -1, -1, -1, 1, -1, -1}, "NODES, CONDUCTORS", ""},
    {"gff entities single quote", "$PARAMETERS,GFF_ENTITIES='", 0, {0, 0, -1, -1, -1, 1, -1, -1}, "", ""},
    {"gff entities unquoted", "$PARAMETERS,GFF_ENTITIES=NODES", 3, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"csv entities keep brackets", "$PARAMETERS,CSV_ENTITIES=(T:1,T:2)", 0, {0, 0, -1, 1, -1, -1, -1, -1}, "",
     "(T:1,T:2)"},
    {"csv entities without brackets", "$PARAMETERS,CSV_ENTITIES=T:1", 5, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"tmd entities", "$PARAMETERS,TMD_ENTITIES='T'", 0, {0, 0, -1, -1, -1, -1, 1, -1}, "", ""},
    {"tmd entities bad", "$PARAMETERS,TMD_ENTITIES=T", 6, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"lower case option", "$PARAMETERS,check", 7, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"trailing comma", "$PARAMETERS,CHECK,", 7, {1, 0, -1, -1, -1, -1, -1, -1}, "", ""},
    {"empty option between others", "$PARAMETERS,CHECK,,PARMONLY", 7, {1, 1, -1, -1, -1, -1, -1, -1}, "", ""},
    {"the last invalid option counts", "$PARAMETERS,NOPE,OUTPUT=X,CHECK", 2, {1, 0, -1, -1, -1, -1, -1, -1}, "",
     ""},
    {"not the record", "$PARAMETERSX", 8, {0, 0, -1, -1, -1, -1, -1, -1}, "", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, OptionRecord, ::testing::ValuesIn(kOptionCases), kalvir::test::CaseName{});

TEST(OptionRecord, MessagesCarryTheirTexts) {
  kalvir::test::reset_messages();
  const Options unknown = parse("$PARAMETERS,NOPE");
  ASSERT_EQ(unknown.messages.size(), 1U);
  EXPECT_EQ(unknown.messages[0].text, "$PARAMETERS record: Unrecognised optionNOPE");
  EXPECT_EQ(unknown.messages[0].severity, "FAILURE");
  const Options tmd = parse("$PARAMETERS,TMD_ENTITIES=T");
  ASSERT_EQ(tmd.messages.size(), 1U);
  EXPECT_NE(tmd.messages[0].text.find("Input is:"), std::string::npos);
  EXPECT_NE(tmd.messages[0].text.find("TMD_ENTITIES=T"), std::string::npos);
  EXPECT_NE(tmd.messages[0].text.find("TMD_ENTITIES = '...'"), std::string::npos);
}

// The statement reader over a file of lines.
struct Statement {
  std::string keyword;
  std::string text;
  std::int32_t iostat = 0;
  std::int32_t ierr = 0;
};

class StatementReader : public ::testing::Test {
 protected:
  static constexpr int kUnit = 3;
  void open(const std::string& text) {
    std::ofstream(dir_.file("CASES.PAR")) << text;
    ASSERT_EQ(io::unit_open(kUnit, dir_.file("CASES.PAR"), io::Form::Formatted, io::OpenStatus::Old), 0);
  }
  void TearDown() override { io::unit_close(kUnit); }
  Statement next() {
    Statement s;
    kalvir::Chars<7> keyword;
    kalvir::Chars<256> text;
    std::int32_t length = 0;
    PARRD(kUnit, 6, keyword.span(), s.iostat, text.span(), length, s.ierr);
    s.keyword = std::string(keyword.trimmed());
    s.text = std::string(text.view().substr(0, static_cast<std::size_t>(std::max(length, 0))));
    return s;
  }
  kalvir::test::TempDir dir_;
};

TEST_F(StatementReader, RecognisesKeywordsAndTheirShortForms) {
  open("CHANGE T1 = 20 # comment\nCH T1=5\n\n# comment\nG SUB1\nS T2*2\nON GL(1,2)\nOF GL(1,2)\nOFF GL(1,2)\n"
       "  !FINAL = 'hot case'\n");
  kalvir::test::Unit6Capture capture;
  const std::vector<std::pair<std::string, std::string>> expected{
      {"CHANGE", "T1=20"}, {"CHANGE", "T1=5"}, {"GET", "SUB1"},         {"SCALE", "T2*2"},
      {"ON", "GL(1,2)"},   {"OFF", "GL(1,2)"}, {"OFF", "GL(1,2)"},      {"NewCase", "!FINAL='hot case'"}};
  for (const auto& [keyword, text] : expected) {
    const Statement s = next();
    EXPECT_EQ(s.iostat, 0);
    EXPECT_EQ(s.ierr, 0);
    EXPECT_EQ(s.keyword, keyword);
    EXPECT_EQ(s.text, text);
  }
  EXPECT_LT(next().iostat, 0);
  const std::string printed = capture.finish();
  EXPECT_NE(printed.find(" CHANGE  T1=20\n CHANGE  T1=5\n GET     SUB1\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("NewCase"), std::string::npos) << "a case header is not echoed";
}

TEST_F(StatementReader, RefusesWhatIsNoKeyword) {
  open("CHANGET1=5\nGETX 1\nchange T1=5\nO GL(1,2)\n\tCHANGE T1=5\nCHANGE\tT1=5\n");
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    std::vector<Message> m;
    Statement s;
    m = capture_messages([&] { s = next(); });
    EXPECT_EQ(s.ierr, 2);
    ASSERT_EQ(m.size(), 1U);
    EXPECT_EQ(m[0].routine, "PARRD");
    EXPECT_EQ(m[0].text.rfind("Unrecognised Parameter Case command", 0), 0U);
  }
}

}  // namespace case_file_test
