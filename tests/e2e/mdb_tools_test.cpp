// The MDB fixture commands run as a person runs them: kalvir_mdb_write turns
// the sample description into an MDB file and its sizes file, and
// kalvir_mdb_show loads that file with the program's loader and shows the
// lists; bad input ends either with a message and exit status 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/test_support.h"

namespace mdb_tools_test {

namespace fs = std::filesystem;

const std::string kSample = KALVIR_SOURCE_DIR "/tools/examples/two_submodels.mdbtxt";

using RunResult = kalvir::test::CommandResult;

RunResult run(const fs::path& dir, const std::string& command_line) {
  return kalvir::test::run_command(dir, command_line);
}

RunResult write_mdb(const fs::path& dir, const std::string& description) {
  return run(dir, "'" KALVIR_MDB_WRITE "' '" + description + "' .");
}

RunResult inspect(const fs::path& dir, const std::string& mdb) { return run(dir, "'" KALVIR_MDB_SHOW "' " + mdb); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Word `word` (1-based) of the comma-separated FLAGS line.
int flags_word(const std::string& out, int word) {
  std::size_t at = out.find("FLAGS ");
  if (at == std::string::npos) return -1;
  at += 6;
  for (int k = 1; k < word; ++k) at = out.find(',', at) + 1;
  return std::stoi(out.substr(at));
}

TEST(MdbTools, TheSampleIsWrittenWithItsSizesAndInspected) {
  kalvir::test::TempDir dir;
  const RunResult w = write_mdb(dir.path(), kSample);
  ASSERT_EQ(w.status, 0) << w.err;
  EXPECT_TRUE(fs::exists(dir.path() / "PANEL.MDB"));
  // The sizes file is the printed lines behind the model name.
  EXPECT_EQ(kalvir::test::read_file(dir.path() / "PANEL.flags"), "MODEL PANEL\n" + w.out);
  // Six thermal nodes, two GL of their own and two across the models, three
  // fluid nodes, three mass-flow links, two submodels, the DYSTOR asked for.
  const std::pair<int, int> words[] = {{1, 6}, {2, 4}, {26, 2}, {28, 5000}, {32, 3}, {33, 3}};
  for (const auto& [word, value] : words) EXPECT_EQ(flags_word(w.out, word), value) << "FLAGS word " << word;
  EXPECT_TRUE(contains(w.out, "\nSPRSIZ 1,3,0,0,0\n")) << w.out;

  const RunResult r = inspect(dir.path(), "PANEL.MDB");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // Lines that follow from the description by hand (see the loader test of
  // the same sample for the numbering).
  for (const char* line :
       {"Model PANEL, 2 submodel(s)\n", "  2 2 D REAR FACE\n", "  5 20 D COLD PLATE\n",
        "  linear: (5,2) (1,1)  radiative: (3,2) (1,3) (3,5)  fluidic:\n", "Node tie tail (5 words): 5 1 2 1 6\n",
        "  1 50 1 WATER: 1  links: (2,1) (3,2)  linear:", "  3: 2 3 0.05 A\n",
        // The control constants the description sets, and one it leaves undefined.
        "  DTIMEI = 10\n", "  TIMEND = 3600\n", "  NLOOP = 100\n", "  DTMAX = undefined\n", "  WIDTH = undefined\n",
        // The user constants, each with the element a block reads.
        "  PANEL: real EMISS = 0.8  gar_userconstvaluesreal(1)\n",
        "  PANEL: real SPAN = 1.25  gar_userconstvaluesreal(2)\n",
        "  PANEL: integer NPANEL = 2  gar_userconstvaluesint(1)\n",
        "  PANEL: character OWNER = 'THERMAL TEAM'  gar_userconstpointerschar(1)\n",
        "  LOOP: real FLOW = 0.05  gar_userconstvaluesreal(3)\n"}) {
    EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
  }
}

TEST(MdbTools, TheInspectionPrintsRealsToFullPrecision) {
  kalvir::test::TempDir dir;
  {
    std::ofstream d(dir.path() / "exact.mdbtxt");
    d << "model EXACT\nnode 1 T=20 C=1\nreal PI 3.141592653589793\nreal THIRD 0.3333333333333333\n"
         "control STEFAN 5.670374419e-8\ncontrol TIMEND 1e-300\n";
  }
  ASSERT_EQ(write_mdb(dir.path(), (dir.path() / "exact.mdbtxt").string()).status, 0);
  const RunResult r = inspect(dir.path(), "EXACT.MDB");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const char* line : {"  EXACT: real PI = 3.141592653589793  gar_userconstvaluesreal(1)\n",
                           "  EXACT: real THIRD = 0.3333333333333333  gar_userconstvaluesreal(2)\n",
                           "  STEFAN = 5.670374419e-08\n", "  TIMEND = 1e-300\n"})
    EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST(MdbTools, BadInputEndsWithAMessageAndStatusOne) {
  kalvir::test::TempDir dir;
  {
    std::ofstream bad(dir.path() / "bad.mdbtxt");
    bad << "model BAD\nnode 2\nnode 1\n";
  }
  RunResult r = write_mdb(dir.path(), "bad.mdbtxt");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "kalvir_mdb_write: bad.mdbtxt: line 3: thermal node 1 does not follow 2")) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "BAD.MDB"));

  r = write_mdb(dir.path(), "missing.mdbtxt");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "cannot read missing.mdbtxt")) << r.err;
  r = run(dir.path(), "'" KALVIR_MDB_WRITE "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "usage: kalvir_mdb_write DESCRIPTION DIRECTORY")) << r.err;
  r = run(dir.path(), "'" KALVIR_MDB_SHOW "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "usage: kalvir_mdb_show FILE.MDB")) << r.err;

  ASSERT_EQ(write_mdb(dir.path(), kSample).status, 0);
  // An MDB file that is not there is named, not the sizes file beside it.
  r = inspect(dir.path(), "NOPE.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "cannot find the MDB file ")) << r.err;
  EXPECT_TRUE(contains(r.err, "NOPE.MDB")) << r.err;
  EXPECT_FALSE(contains(r.err, ".flags")) << r.err;
  // Without its sizes file.
  fs::copy_file(dir.path() / "PANEL.MDB", dir.path() / "ALONE.MDB");
  r = inspect(dir.path(), "ALONE.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "ALONE.flags (the model's sizes")) << r.err;
  // Under a name the run would not look for.
  fs::copy_file(dir.path() / "PANEL.flags", dir.path() / "ALONE.flags");
  r = inspect(dir.path(), "ALONE.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "the MDB file of model PANEL is named PANEL.MDB, not ALONE.MDB")) << r.err;

  // A sizes file that does not match the file: the loader's own message.
  const std::string flags = kalvir::test::read_file(dir.path() / "PANEL.flags");
  const std::string sprsiz = flags.substr(flags.find("SPRSIZ"));
  {
    std::ofstream f(dir.path() / "PANEL.flags", std::ios::trunc);
    f << "MODEL PANEL\nFLAGS "
         "6,4,1,5,1,3,1,1,1,0,2,0,49,25,16,5,92,10,2,4,3,0,0,95,5,3,133,5000,1,0,0,3,3,0,49,1,0,0,0,3,0\n"
      << sprsiz;
  }
  r = inspect(dir.path(), "PANEL.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.out, "Model sizes of the program and the MDB file")) << r.out;
  EXPECT_TRUE(contains(r.out, "FLAGS word 26 (submodels) is 3 in the")) << r.out;
  {
    std::ofstream f(dir.path() / "PANEL.flags", std::ios::trunc);
    f << "MODEL PANEL\nFLAGS 6,-4\n" << sprsiz;
  }
  r = inspect(dir.path(), "PANEL.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "line 2: FLAGS word 2 is not a whole number")) << r.err;

  // A file cut short: a message of the load, no crash.
  ASSERT_EQ(write_mdb(dir.path(), kSample).status, 0);
  fs::resize_file(dir.path() / "PANEL.MDB", fs::file_size(dir.path() / "PANEL.MDB") / 2);
  r = inspect(dir.path(), "PANEL.MDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.out, "FATAL ERROR")) << r.out << r.err;
}

}  // namespace mdb_tools_test
