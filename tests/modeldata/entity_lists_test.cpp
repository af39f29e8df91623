#include "runtime/modeldata/entity_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"

namespace entity_lists_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;
using Codes = std::vector<std::int32_t>;

struct Decoded {
  Codes list;
  std::vector<std::int32_t> listed;
  std::int32_t condseen = -1, nodeseen = -1, n = -1, seq = -99, ierr = -1;
  std::vector<Message> msgs;
};

// The three-submodel model's user attributes: real TEMP2 (101), MASS (102),
// integer ZONE (201), character OWNER (301).
class EntityLists : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }

  static Decoded decode(const std::string& zents, std::int32_t nlist = 52) {
    Decoded d;
    std::vector<std::int32_t> list(static_cast<std::size_t>(nlist), -1);
    d.listed.assign(400, -1);
    d.msgs = capture_messages([&] {
      LSDNTT(nlist, 400, 48, "PRNDTB", zents, static_cast<std::int32_t>(zents.size()), list, d.condseen, d.listed,
             d.nodeseen, d.n, d.seq, d.ierr);
    });
    d.list.assign(list.begin(), list.begin() + std::max(d.n, 0));
    return d;
  }
};

TEST_F(EntityLists, ListsAndSequenceEntities) {
  struct Case {
    std::string zents;
    Codes list;
    int seq, ierr, condseen, nodeseen;
  };
  const std::vector<Case> cases{
      {"L,T,QI,C", {1, 2, 6, 3}, 0, 0, 0, 1},
      {"T-DEC,L,T", {1, 2}, -2, 0, 0, 1},
      {"QS-INC", {}, 8, 0, 0, 0},
      {"T-INC-DEC", {}, 2, 0, 0, 0},  // "-INC" decides
      {"T,", {2}, 0, 0, 0, 1},
      {"GL,GR", {42, 43}, 0, 0, 1, 0},
      {"G", {42, 43, 44, 45, 46, 47}, 0, 0, 1, 0},
      {"GL,G", {42, 43, 44, 45, 46, 47}, 0, 3, 1, 0},
      {"GR,GL-DEC", {43}, -42, 0, 1, 0},
      {"TEMP2,ZONE,OWNER", {101, 201, 301}, 0, 0, 0, 1},
      {"T,TEMP2-INC", {2}, 101, 0, 0, 1},
      {"T,,C", {2, 3}, 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    const Decoded d = decode(c.zents);
    EXPECT_EQ(d.list, c.list) << c.zents;
    EXPECT_EQ(d.seq, c.seq) << c.zents;
    EXPECT_EQ(d.ierr, c.ierr) << c.zents;
    EXPECT_EQ(d.condseen, c.condseen) << c.zents;
    EXPECT_EQ(d.nodeseen, c.nodeseen) << c.zents;
    // Every listed code is marked, and "G" marks itself too.
    Codes marked;
    for (std::size_t k = 0; k < d.listed.size(); ++k)
      if (d.listed[k] == 1) marked.push_back(static_cast<std::int32_t>(k) + 1);
    Codes expected = c.list;
    if (c.zents == "G" || c.zents == "GL,G") expected.push_back(48);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(marked, expected) << c.zents;
  }
}

TEST_F(EntityLists, BadItemsAreReportedAndSkipped) {
  struct Case {
    std::string zents;
    Codes list;
    int ierr;
    std::string severity, text, routine;
    int code;
  };
  const std::vector<Case> cases{
      {"T,T", {2}, 1, "WARNING", "PRNDTB: Mistake in ZENTS, repeated entity reference", "LSNTID", 1},
      {"T,GL", {2}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
      {"GL,T", {42}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
      {"GL,TEMP2", {42}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
      {"ZZB", {}, 2, "FAILURE", "Mistake in ZENTS, invalid entity reference@PRNDTB: Decoding ZENTS@Entity = ZZB",
       "LSDNTT", 2},
      {"FT-INC", {}, 4, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid sequence identifier@Entity=FT-INC", "LSDNTT", 4},
      {"L-DEC", {}, 4, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid sequence identifier@Entity=L-DEC", "LSDNTT", 4},
      {"OWNER-INC", {}, 4, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid sequence identifier@Entity=OWNER-INC",
       "LSDNTT", 4},
      {"XYZ", {}, 5, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid entity reference@Entity=XYZ", "LSDNTT", 5},
      {"D", {}, 5, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid entity reference@Entity=D", "LSDNTT", 5},
      {"t", {}, 5, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid entity reference@Entity=t", "LSDNTT", 5},
      {"", {}, 6, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid entity reference@Entity=", "LSDNTT", 6},
      {",T", {2}, 0, "FAILURE", "PRNDTB: Mistake in ZENTS, invalid entity reference@Entity=", "LSDNTT", 6},
      // A sequence entity of the other kind than the listed ones.
      {"GL,T-INC", {42}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
      {"T,GL-INC", {2}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
      {"GL,TEMP2-DEC", {42}, 1, "FAILURE", "PRNDTB: Mistake in ZENTS, mixed node & conductor entities", "LSDNTT", 1},
  };
  for (const Case& c : cases) {
    const Decoded d = decode(c.zents);
    EXPECT_EQ(d.list, c.list) << c.zents;
    EXPECT_EQ(d.ierr, c.ierr) << c.zents;
    ASSERT_EQ(d.msgs.size(), 1U) << c.zents;
    EXPECT_EQ(d.msgs[0].severity, c.severity) << c.zents;
    EXPECT_EQ(d.msgs[0].text, printed(c.text)) << c.zents;
    EXPECT_EQ(d.msgs[0].routine, c.routine) << c.zents;
    EXPECT_EQ(d.msgs[0].code, c.code) << c.zents;
  }
  // The entity being set is what must suit the list, not the one it replaces.
  const Decoded d = decode("T-INC,GL,GR-INC");
  EXPECT_EQ(d.list, (Codes{42}));
  EXPECT_EQ(d.seq, 43);
  EXPECT_EQ(d.ierr, 0);
  EXPECT_TRUE(d.msgs.empty());
}

TEST_F(EntityLists, NoRoomIsNeverOverrun) {
  const Decoded d = decode("L,T,QI,C", 2);
  EXPECT_EQ(d.list, (Codes{1, 2}));
  EXPECT_EQ(d.ierr, 5);

  std::vector<std::int32_t> list(6, 0);
  std::vector<std::int32_t> listed(10, 0);  // too small for the code of QSI (14)
  std::int32_t cs = 0, ns = 0, n = 0, seq = 0, ierr = 0;
  LSDNTT(6, 10, 48, "PRNDTB", "T,QSI", 5, list, cs, listed, ns, n, seq, ierr);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(list[0], 2);
  EXPECT_EQ(ierr, 5);
}

TEST_F(EntityLists, ConstantFill) {
  std::vector<std::int32_t> a(7, 0);
  std::int32_t ierr = -1;
  ACONI(3, 7, 9, a, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(a, (std::vector<std::int32_t>{9, 0, 0, 9, 0, 0, 9}));
  ACONI(1, 0, 5, a, ierr);
  EXPECT_EQ(a[0], 9);
  ACONI(1, 20, 4, a, ierr);  // no further than the array
  EXPECT_EQ(a, std::vector<std::int32_t>(7, 4));
  const int status = kalvir::platform::run_program([&] { capture_messages([&] { ACONI(0, 3, 1, a, ierr); }); });
  EXPECT_EQ(status, 1);
}

}  // namespace entity_lists_test
