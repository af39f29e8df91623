// ACD array reader: the start-up count, the submodel cursor, the generated
// index words of tables, the info-list entries and the ends of bad files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "runtime/casedata/acd_arrays.h"
#include "runtime/casedata/acd_solution.h"
#include "runtime/platform/arrays.h"
#include "tests/casedata/acd_test_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"

namespace acd_arrays_test {

namespace acd = kalvir::acd;
using kalvir::test::has_message;
using kalvir::test::run_captured;

acd::ArrayRecord curve(std::string name, std::vector<double> values) {
  acd::ArrayRecord r;
  r.name = std::move(name);
  r.arrayType = 2;
  r.values = std::move(values);
  return r;
}

acd::ModelGroup with_arrays(std::string name, std::vector<acd::ArrayRecord> records) {
  acd::ModelGroup g;
  g.name = std::move(name);
  g.arrays = acd::ArrayGroup{std::move(records), {}, {}, {}};
  return g;
}

struct Data {
  std::int32_t narrays = -1, nvalues = -1, nindex = -1;
  std::vector<double> reals;
  std::vector<std::int32_t> ints;
};

Data array_data() {
  Data d;
  acda_getarraydata(d.narrays, d.nvalues, d.nindex, d.reals, d.ints);
  return d;
}

class AcdArrays : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_acd_model(kalvir::test::acd_model()); }
  void TearDown() override {
    acda_close();
    acds_close();
  }
  void write(const acd::ModelGroup& root) { acd::write_acd_file(dir_.path() / "MAIN.acd", root); }
  std::filesystem::path file() const { return dir_.path() / "MAIN.acd"; }

  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
};

TEST_F(AcdArrays, FileWithoutArraysGivesNothing) {
  acd::ModelGroup main;
  acd::ModelGroup sub;
  sub.name = "SUB1";
  main.submodels = {sub};
  write(main);
  acda_open("MAIN");
  std::int32_t nindex = -1, nvalues = -1;
  acda_getnumberofarrayvalues(nindex, nvalues);
  EXPECT_EQ(nindex, 0);
  EXPECT_EQ(nvalues, 0);
  acda_close();
  acda_open("MAIN");
  for (const auto& [name, level] : {std::pair{"MAIN", 0}, {"SUB1", 1}, {"SUB2", 2}}) {
    acda_movenextsubmodel(name, level);
    const Data d = array_data();
    EXPECT_EQ(d.narrays, 0) << name;
    EXPECT_EQ(d.nvalues, 0) << name;
    EXPECT_TRUE(d.reals.empty());
  }
}

TEST_F(AcdArrays, CountCoversEveryGroupOfTheFile) {
  acd::ModelGroup main = with_arrays("", {curve("A", {1, 2, 3})});
  acd::ModelGroup sub = with_arrays("SUB1", {acd::make_table_2d("T", {1, 2, 3}, {1, 2, 3, 4}, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}})});
  sub.submodels = {with_arrays("NOT_A_SUBMODEL", {curve("B", {4, 5})})};
  // No submodel has a name of more than 24 characters: reported, not counted.
  main.submodels = {sub, with_arrays("A_GROUP_NAME_LONGER_THAN_24", {curve("Z", {1})})};
  write(main);
  std::int32_t nindex = -1, nvalues = -1;
  const auto run = run_captured([&] {
    acda_open("MAIN");
    acda_getnumberofarrayvalues(nindex, nvalues);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has_message(run, "(acda)GetNumberOfArrayValues", "A_GROUP_NAME_LONGER_THAN_24"));
  EXPECT_EQ(nvalues, 3 + 19 + 2);
  EXPECT_EQ(nindex, 15);
}

TEST_F(AcdArrays, CursorFollowsTheLoadOrder) {
  // Level sequence 0, 1, 2, 2, 1: MAIN, S1, G1, G2, S2 (S1's G2 and MAIN's S2
  // are looked up in the right "Submodels" groups), then a submodel that the
  // file does not have.
  acd::ModelGroup s1 = with_arrays("S1", {curve("X", {11})});
  s1.submodels = {with_arrays("G1", {curve("X", {21})}), with_arrays("G2", {curve("X", {22})})};
  acd::ModelGroup main = with_arrays("", {curve("X", {1})});
  main.submodels = {s1, with_arrays("S2", {curve("X", {12})}), with_arrays("G2", {curve("X", {99})})};
  write(main);
  acda_open("MAIN");
  const struct {
    const char* name;
    int level;
    std::vector<double> reals;
  } steps[] = {{"MAIN", 0, {1}}, {"S1", 1, {11}}, {"G1", 2, {21}}, {"G2", 2, {22}},
               {"S2", 1, {12}},  {"S3", 1, {}},   {"G3", 2, {}},   {"S1", 1, {11}}};
  for (const auto& s : steps) {
    acda_movenextsubmodel(s.name, s.level);
    EXPECT_EQ(array_data().reals, s.reals) << s.name;
  }
}

TEST_F(AcdArrays, IndexWordsOfTables) {
  std::vector<double> values3d(2 * 3 * 4 + 2 + 3 + 4, 0.0);
  acd::ArrayRecord t3 = curve("T3", values3d);
  t3.arrayType = 4;
  t3.numberOfDimensions = 3;
  t3.dimension1 = 2;
  t3.dimension2 = 3;
  t3.dimension3 = 4;
  std::vector<std::vector<double>> rows(3, std::vector<double>(4, 0.0));
  write(with_arrays("", {acd::make_table_2d("T2", {1, 2, 3}, {1, 2, 3, 4}, rows), curve("C", {7, 8}), t3}));
  acda_open("MAIN");
  acda_movenextsubmodel("MAIN", 0);
  const Data d = array_data();
  EXPECT_EQ(d.narrays, 3);
  EXPECT_EQ(d.nindex, 15 + 31);
  EXPECT_EQ(d.nvalues, 19 + 2 + 33);
  const std::vector<std::int32_t> t2_words{2, 1, 2, 2, 3, 13, 4, 16, 1, 4, 16, 5, 4, 16, 9};
  // 2 x 3 x 4: header, two blocks of a node and three leaves, the top node,
  // the two block positions.
  const std::vector<std::int32_t> t3_words{3,  1, 2,  3,  24, 3, 27, 4,  30, 1,  4, 30, 5,  4, 30, 9,
                                           3, 27, 4,  30, 13, 4, 30, 17, 4,  30, 21, 2, 25, 2, 13};
  std::vector<std::int32_t> expected = t2_words;
  expected.insert(expected.end(), t3_words.begin(), t3_words.end());
  EXPECT_EQ(d.ints, expected);
  EXPECT_EQ(d.reals.size(), 54U);
  EXPECT_EQ(d.reals[19], 7.0);
}

TEST_F(AcdArrays, EntriesOfMatchingArraysDescribeTheAppendedValues) {
  std::vector<std::vector<double>> rows(3, std::vector<double>(4, 0.0));
  std::vector<std::vector<double>> small(2, std::vector<double>(2, 0.0));
  write(with_arrays("", {
                            curve("CURVE", {1, 2, 3, 4, 5, 6}),
                            curve("UNKNOWN", {1, 2}),
                            acd::make_table_2d("TABLE", {1, 2, 3}, {1, 2, 3, 4}, rows),
                            acd::make_table_2d("OTHER", {1, 2}, {1, 2}, small),  // a table for a curve
                            curve("TWICE", {1}),
                            curve("TWICE", {1, 2, 3}),
                            curve("LONGNAME_OF_19_CHS", {1}),
                            curve("LONGNAME_OF_18_CH", {1}),
                        }));
  // Model arrays 2 to 7 belong to the submodel (FIRST 1, LAST 7); array 1
  // is another submodel's. Entries (form first) relative to INFOBASE 3.
  kalvir::CharArray<18> names(7);
  const char* model_names[] = {"CURVE", "CURVE", "TABLE", "OTHER", "TWICE", "TWICE", "LONGNAME_OF_19_CH"};
  for (int k = 0; k < 7; ++k) names.set(k + 1, model_names[k]);
  kalvir::Array1<std::int32_t> pointers(7);
  kalvir::Array1<std::int32_t> info(3 + 25);
  const int forms[] = {2, 2, 4, 2, 2, 2, 2};
  int at = 1;
  for (int k = 0; k < 7; ++k) {
    pointers(k + 1) = at;
    info(3 + at) = forms[k];
    at += forms[k] == 4 ? 5 : 3;
  }
  acda_open("MAIN");
  acda_movenextsubmodel("MAIN", 0);
  const Data d = array_data();
  ASSERT_EQ(d.narrays, 8);
  const auto run = run_captured([&] { acda_updatearraypointers(d.narrays, 10, 100, pointers, info, names, 3, 1, 7); });
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has_message(run, "(acda)UpdateArrayPointers", "OTHER"));
  const auto word = [&](int array, int w) { return info(3 + pointers(array) + w - 1); };
  // CURVE: array 2 (array 1 lies outside the submodel): 6 values from 101.
  EXPECT_EQ(word(1, 2), 0);
  EXPECT_EQ(word(2, 2), 6);
  EXPECT_EQ(word(2, 3), 101);
  // UNKNOWN takes values 107-108; TABLE 15 index words from 11, 19 values from 109.
  EXPECT_EQ(word(3, 1), 4);
  EXPECT_EQ(word(3, 2), 15);
  EXPECT_EQ(word(3, 3), 11);
  EXPECT_EQ(word(3, 4), 19);
  EXPECT_EQ(word(3, 5), 109);
  // OTHER does not fit its model array's form: untouched.
  EXPECT_EQ(word(4, 2), 0);
  EXPECT_EQ(word(4, 3), 0);
  // TWICE: the later record's values (from 137 after OTHER's 8 at 128 and the first TWICE at 136)
  // go to the lower-numbered model array only.
  EXPECT_EQ(word(5, 2), 3);
  EXPECT_EQ(word(5, 3), 137);
  EXPECT_EQ(word(6, 2), 0);
  // A 19-character record name matches no 18-character model name.
  EXPECT_EQ(word(7, 2), 0);
}

TEST_F(AcdArrays, BadCountAttributesEndTheStartUpCount) {
  const struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> edit;
    const char* text;
  } cases[] = {
      {"missing", [](auto& f) { acd::remove_attribute(f, "/Submodels/SUB1/ModelData/Arrays", "numberOfArrayValues"); },
       "Cannot read ACD attribute"},
      {"text", [](auto& f) { acd::set_string_attribute(f, "/ModelData/Arrays", "numberOfArrayIndexValues", "0"); },
       "Cannot read ACD attribute"},
      {"Submodels not a group", [](auto& f) {
         acd::remove_link(f, "/Submodels/SUB1/Submodels");
         acd::replace_dataset_1d(f, "/Submodels/SUB1/Submodels", {1.0});
       },
       "Cannot read ACD group"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    acd::ModelGroup main = with_arrays("", {curve("A", {1})});
    main.submodels = {with_arrays("SUB1", {curve("B", {2})})};
    write(main);
    c.edit(file());
    const auto run = run_captured([] {
      std::int32_t nindex = 0, nvalues = 0;
      acda_open("MAIN");
      acda_getnumberofarrayvalues(nindex, nvalues);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has_message(run, "(acda)GetNumberOfArrayValues", c.text));
    acda_close();
  }
}

TEST_F(AcdArrays, ArraysGroupWithoutRecordsGivesNoValues) {
  acd::ModelGroup main = with_arrays("", {curve("A", {1, 2})});
  main.arrays->numberOfArrays = 0;
  write(main);
  acda_open("MAIN");
  acda_movenextsubmodel("MAIN", 0);
  const Data d = array_data();
  EXPECT_EQ(d.narrays, 0);
  EXPECT_EQ(d.nvalues, 0);
  EXPECT_EQ(d.nindex, 0);
  EXPECT_TRUE(d.reals.empty());
}

TEST_F(AcdArrays, MissingFileIsReportedOnceByTheSolutionManager) {
  const auto run = run_captured([] {
    std::int32_t nindex = -1, nvalues = -1;
    acda_open("MAIN");
    acda_getnumberofarrayvalues(nindex, nvalues);
    EXPECT_EQ(nindex, 0);
    EXPECT_EQ(nvalues, 0);
    acda_close();
    acda_open("MAIN");
    acda_movenextsubmodel("MAIN", 0);
    EXPECT_EQ(array_data().narrays, 0);
    acda_movenextsubmodel("SUB1", 1);
    EXPECT_EQ(array_data().narrays, 0);
    acda_close();
    acds_open("MAIN");
  });
  EXPECT_EQ(run.status, 1);
  // The array loads find no arrays and say nothing; the solution manager's
  // open ends the run with the one report.
  ASSERT_EQ(run.messages.size(), 1U);
  EXPECT_EQ(run.messages[0].routine, "(acds)OpenFile");
  EXPECT_EQ(run.messages[0].severity, "FATAL ERROR");
}

TEST_F(AcdArrays, AFileThatIsThereButWillNotOpenIsReported) {
  std::ofstream(file()) << "not an analysis-case data file\n";
  const auto run = run_captured([] {
    acda_open("MAIN");
    acda_close();
  });
  ASSERT_EQ(run.messages.size(), 1U);
  EXPECT_EQ(run.messages[0].routine, "(acda)OpenFile");
  EXPECT_EQ(run.messages[0].code, 2);
  EXPECT_EQ(run.messages[0].text,
            kalvir::test::printed("Cannot open ACD file@Initialising ACD Arrays Load@ACD file name: MAIN.acd@"));
}

TEST_F(AcdArrays, InconsistentArrayGroupsEndTheRun) {
  const struct Case {
    const char* name;
    std::function<void(acd::ArrayGroup&)> change;
    std::function<void(const std::filesystem::path&)> edit;
    const char* text;
  } cases[] = {
      {"value count too large", [](auto& a) { a.numberOfArrayValues = 9; }, {}, "Invalid ACD data"},
      {"index count too small", [](auto& a) { a.numberOfArrayIndexValues = 14; }, {}, "Invalid ACD data"},
      // A count that claims more than its dataset holds is reported by name.
      {"more arrays than records", [](auto& a) { a.numberOfArrays = 3; }, {},
       "dataset has 2 records, 3 needed by numberOfArrays"},
      {"negative size", [](auto& a) { a.records[0].size = -2; a.numberOfArrayValues = 17; }, {}, "Invalid ACD data"},
      {"size larger than the data", [](auto& a) { a.records[0].size = 5; }, {},
       "dimension 1 has 21 elements, 24 needed by numberOfArrayValues"},
      {"huge size", [](auto& a) { a.records[0].size = 2000000000; a.numberOfArrayValues = 2000000019; }, {},
       "dimension 1 has 21 elements, 2000000019 needed by numberOfArrayValues"},
      {"table extent 0", [](auto& a) { a.records[1].dimension2 = 0; }, {}, "Invalid ACD data"},
      {"table larger than its size", [](auto& a) { a.records[1].dimension2 = 5; a.numberOfArrayIndexValues = 15; }, {},
       "Invalid ACD data"},
      {"table of four dimensions", [](auto& a) { a.records[1].numberOfDimensions = 4; }, {},
       "(acda)GenerateIntegerArrayData"},
      {"count attribute missing", {}, [](auto& f) { acd::remove_attribute(f, "/ModelData/Arrays", "numberOfArrays"); },
       "Cannot read ACD attribute"},
      // The value count is read first, then the index count, then the array count.
      {"all count attributes missing", {},
       [](auto& f) {
         for (const char* name : {"numberOfArrays", "numberOfArrayIndexValues", "numberOfArrayValues"})
           acd::remove_attribute(f, "/ModelData/Arrays", name);
       },
       "numberOfArrayValues of"},
      {"index and array counts missing", {},
       [](auto& f) {
         for (const char* name : {"numberOfArrays", "numberOfArrayIndexValues"})
           acd::remove_attribute(f, "/ModelData/Arrays", name);
       },
       "numberOfArrayIndexValues of"},
      {"records not compound", {},
       [](auto& f) { acd::replace_dataset_1d(f, "/ModelData/Arrays/ArrayInformation", {1.0, 2.0}); },
       "Cannot read ACD dataset"},
      {"data as text", {}, [](auto& f) { acd::replace_dataset_strings(f, "/ModelData/Arrays/ArrayData", {"1"}); },
       "Cannot read ACD dataset"},
      // ArrayData is read before the records are looked at.
      {"data as text and a table of four dimensions", [](auto& a) { a.records[1].numberOfDimensions = 4; },
       [](auto& f) { acd::replace_dataset_strings(f, "/ModelData/Arrays/ArrayData", {"1"}); },
       "Cannot read ACD dataset"},
  };
  std::vector<std::vector<double>> rows(3, std::vector<double>(4, 0.0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    acd::ArrayGroup arrays{{curve("A", {1, 2}), acd::make_table_2d("T", {1, 2, 3}, {1, 2, 3, 4}, rows)}, {}, {}, {}};
    if (c.change) c.change(arrays);
    acd::ModelGroup main;
    main.arrays = arrays;
    write(main);
    if (c.edit) c.edit(file());
    testing::internal::CaptureStderr();
    const auto run = run_captured([] {
      acda_open("MAIN");
      acda_movenextsubmodel("MAIN", 0);
      array_data();
    });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 1);
    const std::string text = c.text;
    if (text.front() == '(') {
      EXPECT_EQ(err, text + "\n");
    } else {
      // Only the failure's short block, no library error stack.
      EXPECT_EQ(err.rfind("kalvir: run failed in (acda)GetArrayData\n    ", 0), 0U) << err;
      EXPECT_EQ(err.find("HDF5"), std::string::npos) << err;
      EXPECT_TRUE(has_message(run, "(acda)GetArrayData", text));
    }
    acda_close();
  }
}

}  // namespace acd_arrays_test
