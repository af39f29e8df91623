// Text and number utilities.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/process.h"

namespace text_utils_test {

namespace io = kalvir::platform;

std::string field(std::size_t n) { return std::string(n, '?'); }

TEST(TextUtils, LengthToTheLastNonBlank) {
  const std::vector<std::pair<std::string, std::int32_t>> cases{
      {"", 0}, {"      ", 0}, {"A", 1}, {"A          ", 1}, {"\t   ", 1}, {"  x y  ", 5},
      {std::string(1000, ' ') + "z" + std::string(7, ' '), 1001}};
  for (const auto& [text, length] : cases) {
    std::int32_t n = -1;
    SLNLEN(text, n);
    EXPECT_EQ(n, length) << '"' << text << '"';
    EXPECT_EQ(STRLNA(text), length);
  }
}

TEST(TextUtils, IntegersAsText) {
  EXPECT_EQ(IToC(-7), "-7");
  EXPECT_EQ(IToC(0), "0");
  EXPECT_EQ(IToC(std::numeric_limits<std::int32_t>::min()), "-2147483648");

  std::string text = field(6);
  std::int32_t len = -1;
  ILCHAR(text, -123, len);
  EXPECT_EQ(text, "-123  ");
  EXPECT_EQ(len, 4);
  std::string small = field(3);
  ILCHAR(small, 12345, len);  // does not fit: blank, length 0
  EXPECT_EQ(small, "   ");
  EXPECT_EQ(len, 0);

  struct Case {
    std::int32_t i;
    std::string text;
    std::int32_t len;
    std::int32_t ierr;
  };
  for (const Case& c : {Case{0, "0   ", 1, 0}, Case{-3, "0   ", 1, 1}, Case{905, "905 ", 3, 0},
                        Case{12345, "1234", 4, 0}}) {
    std::string out = field(4);
    std::int32_t ierr = -1;
    SCHNUM(out, c.i, len, ierr);
    EXPECT_EQ(out, c.text) << c.i;
    EXPECT_EQ(len, c.len) << c.i;
    EXPECT_EQ(ierr, c.ierr) << c.i;
  }

  for (const auto& [i, digits] : std::vector<std::pair<std::int32_t, std::int32_t>>{
           {std::numeric_limits<std::int32_t>::min(), 10}, {1000000000, 10}, {999999999, 9},
           {0, 1}, {-9, 1}, {-10, 2}, {std::numeric_limits<std::int32_t>::max(), 10}}) {
    EXPECT_EQ(LENDGT(i), digits) << i;
  }
}

TEST(TextUtils, CompactCharacters) {
  struct Case {
    std::string source;
    std::int32_t n;
    std::string result;
  };
  for (const Case& c : {Case{"A B#C", 10, "AB        "}, Case{"#A B", 10, "#AB       "},
                        Case{"A \tB#C", 2, "AB        "}, Case{"  ", 10, "          "},
                        Case{"ABCDEFGHIJKLMNOP", 99, "ABCDEFGHIJ"}}) {
    std::string out = field(10);
    CCHAR(out, c.source, c.n);
    EXPECT_EQ(out, c.result) << c.source;
  }
}

TEST(TextUtils, DigitStrings) {
  struct Case {
    std::string text;
    std::int32_t n;
    std::int32_t all_digits;  // IINTCH
    std::int32_t ok;          // IINTC2: a value beyond 32 bits is no integer
    std::int32_t value;
  };
  for (const Case& c : {Case{"0123x", 4, 1, 1, 123}, Case{"0123x", 5, 0, 0, 0}, Case{"12 4", 4, 0, 0, 0},
                        Case{"2147483647", 10, 1, 1, 2147483647}, Case{"2147483648", 10, 1, 0, 0},
                        Case{"99999999999", 11, 1, 0, 0}, Case{"12", 3, 0, 0, 0}, Case{"12", 0, 0, 0, 0}}) {
    std::int32_t ok = -1;
    IINTCH(c.text, c.n, ok);
    EXPECT_EQ(ok, c.all_digits) << c.text << " n=" << c.n;
    std::int32_t value = -1;
    IINTC2(c.text, c.n, ok, value);
    EXPECT_EQ(ok, c.ok) << c.text << " n=" << c.n;
    if (c.ok == 1) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(TextUtils, ReadsAnUnsignedNumberInPlace) {
  struct Case {
    std::string text;
    std::int32_t last;
    std::int32_t pos;
    std::int32_t ierr;
    std::int32_t value;
    std::int32_t end_pos;
  };
  for (const Case& c : {Case{"N12,5", 5, 2, 0, 12, 4}, Case{"N12345", 3, 2, 0, 12, 4},
                        Case{"N12345", 99, 2, 0, 12345, 7}, Case{"N12", 3, 1, 1, 0, 1},
                        Case{"12", 2, 0, 1, 0, 0}, Case{"12", 2, 3, 1, 0, 3},
                        Case{"99999999999", 11, 1, 1, 0, 1}}) {
    std::int32_t pos = c.pos;
    std::int32_t value = -1;
    std::int32_t ierr = -1;
    LSRDIN(c.text, c.last, pos, value, ierr);
    EXPECT_EQ(ierr, c.ierr) << c.text << " @" << c.pos;
    EXPECT_EQ(value, c.value) << c.text << " @" << c.pos;
    EXPECT_EQ(pos, c.end_pos) << c.text << " @" << c.pos;
  }
}

TEST(TextUtils, TokensBetweenDelimiters) {
  std::string token = field(4);
  std::int32_t pos = 0;
  std::int32_t len = -1;
  GetToken("AB,CD", ",", pos, token, len);
  EXPECT_EQ(token, "AB  ");
  EXPECT_EQ(len, 2);
  EXPECT_EQ(pos, 3);
  GetToken("AB,CD", ",", pos, token, len);
  EXPECT_EQ(token, "CD  ");
  EXPECT_EQ(len, 2);
  EXPECT_EQ(pos, 6);
  GetToken("AB,CD", ",", pos, token, len);  // past the end: empty
  EXPECT_EQ(token, "    ");
  EXPECT_EQ(len, 0);
  // Trailing blanks of the delimiter set delimit too.
  pos = 0;
  GetToken("X Y;Z", "; ", pos, token, len);
  EXPECT_EQ(token, "X   ");
  EXPECT_EQ(pos, 2);
}

TEST(TextUtils, LeftTrim) {
  EXPECT_EQ(LTrim(" \t AB C "), "AB C    ");
  EXPECT_EQ(LTrim("   "), "   ");
}

TEST(TextUtils, BlankRemovalKeepsQuotedText) {
  std::string out = field(20);
  std::int32_t len = -1;
  bool inquote = false;
  Sdblkx("A B 'x y' C  ", inquote, out, len);
  EXPECT_EQ(out, "AB'x y'C            ");
  EXPECT_EQ(len, 8);
  EXPECT_FALSE(inquote);

  // A quoted section left open takes the line's trailing blanks with it and
  // goes on in the next line.
  Sdblkx("A 'b c   ", inquote, out, len);
  EXPECT_TRUE(inquote);
  EXPECT_EQ(out.substr(0, 6), "A'b c ");
  EXPECT_EQ(len, 5 + 3);
  Sdblnk(" d' e", inquote, out);
  EXPECT_FALSE(inquote);
  EXPECT_EQ(out, " d'e                ");
}

TEST(TextUtils, BlankRemovalStopsAtAComment) {
  std::string out = field(12);
  std::int32_t len = -1;
  bool inquote = false;
  SDBLKH("A B #further text", inquote, out, len);
  EXPECT_EQ(out, "AB          ");
  EXPECT_EQ(len, 2);
  SDBLKH("X '#1' # c", inquote, out, len);
  EXPECT_EQ(out, "X'#1'       ");
  EXPECT_EQ(len, 5);
  SDBLKH("'a b", inquote, out, len);
  EXPECT_TRUE(inquote);
  EXPECT_EQ(len, 4);
}

TEST(TextUtils, BlankRemovalIntoAShortResultStops) {
  testing::internal::CaptureStderr();
  std::string out = field(3);
  std::int32_t len = 0;
  bool inquote = false;
  EXPECT_EQ(io::run_program([&] { Sdblkx("ABCD", inquote, out, len); }), 1);
  inquote = false;
  EXPECT_EQ(io::run_program([&] { Sdblkx("A'  ", inquote, out, len); }), 1);
  inquote = false;
  EXPECT_EQ(io::run_program([&] { SDBLKH("ABCD", inquote, out, len); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Sdblkx 1\nSdblkx 2\nSDBLKH 1\n");
}

TEST(TextUtils, SearchOutsideQuotes) {
  struct Case {
    std::string text;
    std::string pattern;
    std::int32_t pos;
  };
  for (const Case& c : {Case{"'a,b',c", ",", 6}, Case{"'a,b,c", ",", 0}, Case{"a,b", ",", 2},
                        Case{"'x'  ,", ",", 6}, Case{"'x''y',z", ",", 7}, Case{"ab'cd'", ",", 0},
                        Case{"'a'b'c',d", ",", 8}}) {
    std::int32_t pos = -1;
    SQNDEX(c.text, c.pattern, pos);
    EXPECT_EQ(pos, c.pos) << c.text;
  }
}

TEST(TextUtils, SearchOutsideQuotesAndParentheses) {
  struct Case {
    std::string text;
    std::int32_t pos;
  };
  for (const Case& c : {Case{"(a,b),c", 6}, Case{"(a,(b,c)),d", 10}, Case{"(a,b),   ", 0},
                        Case{"(a,b),x", 6}, Case{"'a,b',x", 6}, Case{"a,(b)", 2}, Case{"(a,b", 0},
                        Case{"('(',b),c", 0} /* quotes mean nothing inside parentheses */, Case{"abc", 0}}) {
    std::int32_t pos = -1;
    SBQNDX(c.text, ",", pos);
    EXPECT_EQ(pos, c.pos) << c.text;
  }
}

TEST(TextUtils, UpperCaseOfThirtyCharacters) {
  const std::string text = "abc-xyz_09 ÄÖ" + std::string(27, 'q');
  const std::string upper = SLTOU(text);
  ASSERT_EQ(upper.size(), 30U);
  EXPECT_EQ(upper, "ABC-XYZ_09 ÄÖ" + std::string(30 - 15, 'Q'));
  EXPECT_EQ(SLTOU("ab"), "AB" + std::string(28, ' '));
}

TEST(TextUtils, DateAndTimeStamps) {
  io::clock_fix(io::ClockReading{2024, 3, 5, 9, 7, 3});
  EXPECT_EQ(ZDAYTM(), "09:07:03");
  EXPECT_EQ(ZDAYDT(), "05 March     2024");
  io::clock_fix(io::ClockReading{2026, 3, 5, 14, 7, 9});
  EXPECT_EQ(ZDAYDT(), "05 March     2026");
  EXPECT_EQ(ZDAYTM(), "14:07:09");
  io::clock_fix(io::ClockReading{1999, 9, 30, 23, 59, 59});
  EXPECT_EQ(ZDAYTM(), "23:59:59");
  EXPECT_EQ(ZDAYDT(), "30 September 1999");
  io::clock_fix(std::nullopt);
  EXPECT_EQ(ZDAYDT().size(), 17U);
}

}  // namespace text_utils_test
