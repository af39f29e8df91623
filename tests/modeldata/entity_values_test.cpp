#include "runtime/modeldata/entity_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform/fixed_string.h"
#include "tests/support/model_fixture.h"

namespace entity_values_test {

using kalvir::test::capture_messages;
using kalvir::test::printed;

// The three-submodel model: 15 thermal nodes (temperature 100 + i, C 1000 + i,
// QI 10 + i, QSI 20 + i), fluid nodes 16 and 17 (temperature 116, 117;
// pressure 1e5 + 1, 1e5 + 2), GL k = k + 0.1, link flow rate 1.5. User
// attributes: real TEMP2 (1000 + i), MASS (2000 + i); integer ZONE (100 + i);
// character OWNER ("OWNER-<i>").
class EntityValues : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }
};

TEST_F(EntityValues, NamesOfCodes) {
  EXPECT_EQ(ENTNAM(0), "   ");
  EXPECT_EQ(ENTNAM(59), "   ");
  EXPECT_EQ(ENTNAM(48), "G  ");
  EXPECT_EQ(ENTNAM(14), "QSI");
  EXPECT_EQ(ENTNAM(1), "L  ");
  EXPECT_EQ(ENTNAM(47), "GP ");
  EXPECT_EQ(ENTNAM(58), "S  ");
}

TEST_F(EntityValues, LongestNameAtTheStart) {
  struct Case {
    std::string text;
    int code, mlen;
    std::string name;
  };
  const std::vector<Case> cases{
      {"QSI5", 14, 3, "QSI   "}, {"", 0, 0, "      "},     {"QAX", 4, 2, "QA    "},   {"QAI", 12, 3, "QAI   "},
      {"P5", 17, 1, "P     "},   {"FLAG", 30, 3, "FLA   "}, {"TEMP2", -1, 5, "TEMP2 "}, {"T", 2, 1, "T     "},
      {"MASS", -2, 4, "MASS  "},  {"ZONE9", -3, 4, "ZONE  "}, {"OWNERS", -4, 5, "OWNER "}, {"qsi", 0, 0, "      "},
      {" QSI", 0, 0, "      "},   {"GL(1,2)", 42, 2, "GL    "},
  };
  for (const Case& c : cases) {
    std::string name(6, '*');
    std::int32_t code = -99;
    std::int32_t mlen = -1;
    ENTFND(c.text, name, code, mlen);
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(mlen, c.mlen) << c.text;
    EXPECT_EQ(name, c.name) << c.text;
  }
  // A name field of length 0 is left alone.
  std::int32_t code = 0;
  std::int32_t mlen = 0;
  ENTFND("QSI", {}, code, mlen);
  EXPECT_EQ(code, 14);
}

TEST_F(EntityValues, KindsAndClasses) {
  for (const auto& [code, kind] : std::vector<std::pair<int, int>>{
           {150, 0}, {0, 0}, {-5, 0}, {1, 0}, {2, 0}, {3, 1}, {14, 1}, {9, 0}, {15, -1}, {25, 0}, {27, 0}, {28, -1},
           {42, -1}, {100, -1}, {101, 0}}) {
    EXPECT_EQ(ENTYP(code), kind) << code;
  }
  for (const auto& [code, cls] : std::vector<std::pair<int, int>>{
           {150, 1}, {350, 3}, {301, 3}, {300, 1}, {250, 2}, {201, 2}, {1, 3}, {24, 3}, {29, 3}, {36, 3}, {2, 1}}) {
    EXPECT_EQ(ENTRIC(code), cls) << code;
  }
}

TEST_F(EntityValues, NodeKindsOfANamedEntity) {
  struct Case {
    std::string text;
    int isth, isfl;
  };
  for (const Case& c : std::vector<Case>{{"T", 1, 1}, {"C", 1, 0}, {"P", 0, 1}, {"TEMP2", 1, 1}, {"GL", 0, 1}}) {
    std::int32_t isth = -1;
    std::int32_t isfl = -1;
    std::int32_t ierr = -1;
    ENTNTP(c.text, isth, isfl, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(isth, c.isth) << c.text;
    EXPECT_EQ(isfl, c.isfl) << c.text;
  }
  std::int32_t isth = -1;
  std::int32_t isfl = -1;
  std::int32_t ierr = 0;
  const auto msgs = capture_messages([&] { ENTNTP("WXY", isth, isfl, ierr); });
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(isth, 0);
  EXPECT_EQ(isfl, 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("Unrecognised node entity@WXY"));
  EXPECT_EQ(msgs[0].routine, "ENTNTP");
}

TEST_F(EntityValues, AttributeCodesAndNames) {
  for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{
           {"TEMP2", 101}, {"MASS", 102}, {"ZONE", 201}, {"OWNER", 301}, {"NOPE", 0}, {"TEMP", 0}}) {
    std::int32_t got = -1;
    SPRENT(name, got);
    EXPECT_EQ(got, code) << name;
  }
  struct Case {
    int code, group, index;
    std::string name;
  };
  for (const Case& c : std::vector<Case>{{201, 2, 1, "ZONE"},
                                         {102, 1, 2, "MASS"},
                                         {301, 3, 1, "OWNER"},
                                         {100, 0, 0, ""},
                                         {50, 0, 0, ""},
                                         {-101, 0, 0, ""},
                                         {205, 0, 0, ""},   // index beyond SPRSIZ(1)
                                         {202, 0, 0, ""},   // no second integer attribute
                                         {401, 0, 0, ""}}) {
    std::string name(18, '*');
    std::int32_t group = -1;
    std::int32_t index = -1;
    SPRNAM(c.code, group, index, name);
    EXPECT_EQ(group, c.group) << c.code;
    EXPECT_EQ(index, c.index) << c.code;
    EXPECT_EQ(name, kalvir::padded(c.name, 18)) << c.code;
  }
}

TEST_F(EntityValues, RealValues) {
  struct Case {
    int code, node;
    double value;
  };
  const std::vector<Case> cases{
      {2, 3, 103.0},       {2, 16, 116.0},      {3, 3, 1003.0},  {3, 16, 0.0},     {6, 15, 25.0},   {14, 5, 25.0},
      {17, 3, 0.0},        {17, 16, 100001.0},  {37, 3, 0.0},    {24, 16, 0.0},    {42, 7, 7.1},    {42, 1, 1.1},
      {43, 2, 2.2},        {44, 1, 1.3},        {45, 3, 3.4},    {46, 1, 1.5},     {47, 1, 1.6},    {101, 3, 1003.0},
      {102, 15, 2015.0},   {101, 16, 0.0},
  };
  for (const Case& c : cases) {
    double value = -1.0;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { LSNTVR(c.code, c.node, 2, 15, "TESTER", value, ierr); });
    EXPECT_EQ(ierr, 0) << c.code << " " << c.node;
    EXPECT_DOUBLE_EQ(value, c.value) << c.code << " " << c.node;
    EXPECT_TRUE(msgs.empty());
  }
}

TEST_F(EntityValues, RealValueErrors) {
  struct Case {
    int code, node, ierr;
    std::string text;
  };
  const std::vector<Case> cases{
      {1, 3, 1, "Unrecognised entity code@TESTER: Getting a real entity value"},
      {48, 3, 1, "Unrecognised entity code@TESTER: Getting a real entity value"},
      {50, 3, 1, "Unrecognised entity code@TESTER: Getting a real entity value"},
      {103, 3, 1, "Unrecognised entity code@TESTER: Getting a real entity value"},
      {201, 3, 1, "Unrecognised entity code@TESTER: Getting a real entity value"},
      {1, 16, 2, "TESTER: Unrecognised entity code"},
      {0, 17, 2, "TESTER: Unrecognised entity code"},
      {2, 0, 3, "TESTER: Invalid node or conductor number"},
      {2, 18, 3, "TESTER: Invalid node or conductor number"},
      {42, 8, 3, "TESTER: Invalid node or conductor number"},
      {46, 0, 3, "TESTER: Invalid node or conductor number"},
  };
  for (const Case& c : cases) {
    double value = -1.0;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { LSNTVR(c.code, c.node, 2, 15, "TESTER", value, ierr); });
    EXPECT_EQ(ierr, c.ierr) << c.code << " " << c.node;
    EXPECT_EQ(value, 0.0);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].text, printed(c.text));
    EXPECT_EQ(msgs[0].routine, "LSNTVR");
    EXPECT_EQ(msgs[0].code, c.ierr);
  }
}

TEST_F(EntityValues, IntegerAndCharacterAttributeValues) {
  std::int32_t ivalue = -1;
  std::int32_t ierr = -1;
  LSNTVI(201, 3, 2, 15, "TESTER", ivalue, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(ivalue, 103);
  LSNTVI(201, 17, 2, 15, "TESTER", ivalue, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(ivalue, 0);

  for (const int code : {202, 101, 301}) {
    const auto msgs = capture_messages([&] { LSNTVI(code, 3, 2, 15, "TESTER", ivalue, ierr); });
    EXPECT_EQ(ierr, 1) << code;
    EXPECT_EQ(ivalue, 0);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].text, "TESTER: Unrecognised entity code");
    EXPECT_EQ(msgs[0].routine, "LSNTVI");
  }

  std::string cvalue(10, '*');
  LSNTVC(301, 12, 2, 15, "TESTER", cvalue, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(cvalue, "OWNER-12  ");
  std::string cut(4, '*');
  LSNTVC(301, 12, 2, 15, "TESTER", cut, ierr);
  EXPECT_EQ(cut, "OWNE");
  const auto msgs = capture_messages([&] { LSNTVC(201, 3, 2, 15, "TESTER", cvalue, ierr); });
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(cvalue, std::string(10, ' '));
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "LSNTVC");
  capture_messages([&] { LSNTVC(301, 99, 2, 15, "TESTER", cvalue, ierr); });
  EXPECT_EQ(ierr, 3);
}

}  // namespace entity_values_test
