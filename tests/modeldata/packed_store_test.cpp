// The packed character store: values read and written across row ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/modeldata/packed_store.h"
#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

namespace packed_store_test {

using Store = kalvir::CharArray<133>;

// Writes text at stream position pos (1-based) of the store.
void put(Store& store, std::int32_t pos, std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k) store.data()[pos - 1 + static_cast<std::int32_t>(k)] = text[k];
}

std::string nul_ended(std::string_view s) { return std::string(s) + '\0'; }

class PackedStore : public ::testing::Test {
 protected:
  Store store{3};
  static constexpr std::int32_t kRows = 3;
  static constexpr std::int32_t kEnd = 3 * 133;
};

TEST_F(PackedStore, ValueRunningOverARowEndIsReturnedWhole) {
  put(store, 130, nul_ended("ABCDEFGHIJ"));
  EXPECT_EQ(store(2)[6], '\0');  // the terminator at column 7 of the next row

  kalvir::Chars<20> text;
  std::int32_t len = -9;
  std::int32_t status = -9;
  DBFZPK(store, kRows, kEnd, 130, len, text.span(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(len, 10);
  EXPECT_EQ(text.view(), "ABCDEFGHIJ          ");

  // The next value starts right after the terminator.
  put(store, 141, nul_ended("K L"));
  DBFZPK(store, kRows, kEnd, 141, len, text.span(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(text.trimmed(), "K L");
}

TEST_F(PackedStore, ExtractionFailuresAreStatusesNotMessages) {
  put(store, 130, nul_ended("ABCDEFGHIJ"));
  kalvir::Chars<4> shorter;
  std::int32_t len = 0;
  std::int32_t status = 0;
  DBFZPK(store, kRows, kEnd, 130, len, shorter.span(), status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(len, 10);
  EXPECT_EQ(shorter.view(), "ABCD");

  kalvir::Chars<20> text("stale");
  // No terminator up to the end position.
  DBFZPK(store, kRows, 135, 130, len, text.span(), status);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(text.view(), std::string(20, ' '));
  // An empty value: the terminator at the start position.
  DBFZPK(store, kRows, kEnd, 140, len, text.span(), status);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(len, 0);
  // Ranges outside the store: start below 1, end beyond it, end before start,
  // and a row count that the store does not have.
  const std::int32_t bad[][3] = {{kRows, kEnd, 0}, {kRows, kEnd + 1, 1}, {kRows, 5, 6}, {4, 4 * 133, 130}};
  for (const auto& b : bad) {
    DBFZPK(store, b[0], b[1], b[2], len, text.span(), status);
    EXPECT_EQ(status, -1) << b[0] << " " << b[1] << " " << b[2];
  }
}

TEST_F(PackedStore, DelimiterSearchCrossesRowEndsAndStaysInsideTheRange) {
  put(store, 132, "XYZ");  // runs from row 1 into row 2
  std::int32_t pos = -1;
  std::int32_t bad = -1;
  SCANDX(store, kRows, kEnd, 1, "XYZ", pos, bad);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(pos, 132);
  SCANDX(store, kRows, 133, 1, "XYZ", pos, bad);  // would end beyond the end position
  EXPECT_EQ(pos, 0);
  SCANDX(store, kRows, kEnd, 133, "XYZ", pos, bad);  // starts before the start position
  EXPECT_EQ(pos, 0);
  SCANDX(store, kRows, kEnd + 1, 1, "XYZ", pos, bad);
  EXPECT_EQ(bad, 1);
  EXPECT_EQ(pos, 0);
  SCANDX(store, kRows, 10, 0, "XYZ", pos, bad);
  EXPECT_EQ(bad, 1);

  // The row-end step alone: an occurrence that begins in the last columns.
  SCVNDX(store, kRows, kEnd, 1, 1, "XYZ", pos);
  EXPECT_EQ(pos, 132);
  SCVNDX(store, kRows, 133, 1, 1, "XYZ", pos);  // not complete by the end position
  EXPECT_EQ(pos, 0);
  SCVNDX(store, kRows, kEnd, 3, 1, "XYZ", pos);  // no row after the last
  EXPECT_EQ(pos, 0);
}

// The end position's row is searched from its first column: a terminator at
// column 1 of that row, or a delimiter that ends exactly at the end position,
// is found even though the end column does not exceed the delimiter length.
TEST_F(PackedStore, EndRowIsSearchedFromItsFirstColumn) {
  put(store, 130, nul_ended("ABCD"));  // terminator at column 1 of row 2
  kalvir::Chars<8> text;
  std::int32_t len = 0;
  std::int32_t status = -9;
  DBFZPK(store, kRows, 134, 130, len, text.span(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(text.trimmed(), "ABCD");

  put(store, 134, "XY");  // columns 1 and 2 of row 2, end column 2 = D
  std::int32_t pos = -1;
  std::int32_t bad = -1;
  SCANDX(store, kRows, 135, 134, "XY", pos, bad);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(pos, 134);
}

TEST_F(PackedStore, CopyOfARangeReportsEveryBadArgument) {
  put(store, 131, "ABCDE");
  kalvir::Chars<8> text;
  std::int32_t status = 9;
  SCVUCA(store, kRows, kEnd, 131, 135, text.span(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text.view(), "ABCDE   ");
  kalvir::Chars<3> small;
  SCVUCA(store, kRows, kEnd, 131, 135, small.span(), status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(small.view(), "ABC");

  struct Bad {
    std::int32_t nrows, end, first, last, status;
  };
  const Bad cases[] = {{0, kEnd, 1, 2, -2},  {kRows, 0, 1, 2, -2},     {kRows, kEnd, 0, 2, -2},
                       {kRows, kEnd, 5, 4, -2}, {kRows, 10, 5, 11, -1}, {kRows, kEnd + 1, 1, 2, -1},
                       {5, 5 * 133, 1, 2, -1}};
  for (const Bad& b : cases) {
    SCVUCA(store, b.nrows, b.end, b.first, b.last, text.span(), status);
    EXPECT_EQ(status, b.status) << b.nrows << " " << b.end << " " << b.first << " " << b.last;
  }
  SCVUCA(store, kRows, kEnd, 1, 2, std::span<char>(), status);
  EXPECT_EQ(status, -2);
}

TEST_F(PackedStore, MovesWrapAtTheRowEndAndPadWithBlanks) {
  store.set(1, std::string(133, '#'));
  store.set(2, std::string(133, '#'));
  std::int32_t col = 131;
  std::int32_t row = 1;
  SMOVVA("abcdef", 8, col, row, store);
  // Three characters end row 1, three and two blanks start row 2.
  EXPECT_EQ(store(1).substr(128), "##abc");
  EXPECT_EQ(store(2).substr(0, 6), "def  #");
  EXPECT_EQ(col, 6);
  EXPECT_EQ(row, 2);

  // A move that ends a row leaves the position one past the row end.
  col = 131;
  row = 1;
  SMOVVA("xyz", 3, col, row, store);
  EXPECT_EQ(col, 134);
  EXPECT_EQ(row, 1);

  // Read back across the row end.
  col = 132;
  row = 1;
  std::int32_t count = 5;
  kalvir::Chars<8> text("stale");
  SMOVAV(store, col, row, count, text.span());
  EXPECT_EQ(text.view(), "yzdef   ");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(col, 4);
  EXPECT_EQ(row, 2);

  // The text fills before the count runs out.
  col = 1;
  row = 2;
  count = 100;
  kalvir::Chars<2> two;
  SMOVAV(store, col, row, count, two.span());
  EXPECT_EQ(two.view(), "de");
  EXPECT_EQ(count, 98);
}

TEST_F(PackedStore, MovesStopAtTheEndOfTheStore) {
  std::int32_t col = 131;
  std::int32_t row = 3;
  SMOVVA("0123456789", 10, col, row, store);
  EXPECT_EQ(store(3).substr(130), "012");
  EXPECT_EQ(col, 134);  // after the last character written
  EXPECT_EQ(row, 3);

  col = 132;
  row = 3;
  std::int32_t count = 10;
  kalvir::Chars<10> text;
  SMOVAV(store, col, row, count, text.span());
  EXPECT_EQ(text.view(), "12        ");
  EXPECT_EQ(count, 8);
  EXPECT_EQ(row, 3);

  col = 1;
  row = 0;  // no such row: nothing moves
  SMOVVA("abc", 3, col, row, store);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 0);
}

}  // namespace packed_store_test
