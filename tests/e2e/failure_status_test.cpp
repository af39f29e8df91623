// What a run tells about the failures it meets, run as a user runs it: the
// electronics-box model program of tests/support/models/truth_model.h on
// MDB, ACD and parameter-case files of its own. A run that goes on after a
// failure ends with status 1 all the same, and its block on standard error
// lists each failure once, with how many times it came and where; a failure
// that ends the run lists the ones before it. A load, a CSV column or a
// statement on a node the model lacks names the node, its sub-model and the
// file; a heater node list with an element that selects nothing is refused.
// A clean run ends with status 0 and nothing on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/models/truth_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace failure_status_test {

namespace fs = std::filesystem;
namespace acd = kalvir::acd;
using kalvir::test::CaseName;
using kalvir::test::CommandResult;

// The box: a chassis node and deep space in the main model, a board of four
// nodes joined to the chassis, a radiator of eight between the chassis and
// space; TIMEND one hour with outputs every ten minutes (seven per solution).
constexpr const char* kDescription = R"(model TRUTH dystor=50000
node 1 T=20 C=500 label=CHASSIS
node 2 T=-20 status=B label=SPACE
GL 1 PCB.1 2.0
GL 1 RAD.1 5.0
integer MAXCYC 0
character HEATER "#PCB:1-4"
control NODES 2
control TIMEND 3600
control OUTINT 600
control DTIMEI 10
control NLOOP 100
control RELXCA 0.01
control TABS 273.15
control PABS 0
control STEFAN 5.670374419e-8
control LENGTH 60
control WIDTH 132
control MLEVEL 0
control MODEL 1
control STEPCT 0
control LOOPCT 0
submodel PCB
node 1 T=20 C=100 label=BOARD
node 2 T=20 C=100 label=BOARD
node 3 T=20 C=100 label=BOARD
node 4 T=20 C=100 label=BOARD
GL 1 2 1.0
GL 2 3 1.0
GL 3 4 1.0
submodel RAD
node 1 T=0 C=50 label=PANEL
node 2 T=0 C=50 label=PANEL
node 3 T=0 C=50 label=PANEL
node 4 T=0 C=50 label=PANEL
node 5 T=0 C=50 label=PANEL
node 6 T=0 C=50 label=PANEL
node 7 T=0 C=50 label=PANEL
node 8 T=0 C=50 label=PANEL
GL 1 2 1.0
GL 2 3 1.0
GL 3 4 1.0
GL 4 5 1.0
GL 5 6 1.0
GL 6 7 1.0
GL 7 8 1.0
GL 1 TRUTH.2 0.5
GL 8 TRUTH.2 0.5
)";

// The radiator's orbit: a static solar flux on nodes 1 and 2 and a periodic
// one on nodes 3 and 4.
acd::ModelGroup orbit() {
  acd::ModelGroup rad;
  rad.name = "RAD";
  rad.analysisCaseType = 2;
  rad.times = {0.0, 1800.0, 3600.0};
  rad.period = 3600.0;
  rad.nodeList = {1, 2};
  rad.staticAlbedo = rad.staticPlanet = rad.staticRemainder = {0.0, 0.0};
  rad.staticSolar = {0.75, 0.75};
  rad.solar.nodes = {3, 4};
  rad.solar.values = {{1.0, 1.0}, {2.0, 2.0}, {1.0, 1.0}};
  acd::ModelGroup root;
  root.submodels = {rad};
  return root;
}

struct Inputs {
  std::string description = kDescription;
  acd::ModelGroup acd = orbit();
  std::string par;  // no parameter-case file when empty
};

// Replaces the first FROM in TEXT by TO; FROM must be there.
void replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// Writes the inputs into DIR as a user's model directory holds them and runs
// the program there.
CommandResult run_box(const fs::path& dir, const Inputs& in) {
  std::istringstream description(in.description);
  const kalvir::mdbw::Model model = kalvir::mdbw::read_description(description);
  EXPECT_TRUE(kalvir::mdbw::build_mdb(model).save((dir / "TRUTH.MDB").string()));
  std::ofstream(dir / truth::kSizesFile) << kalvir::mdbw::sizes_file_text(model.name, kalvir::mdbw::model_sizes(model));
  acd::write_acd_file(dir / "TRUTH.acd", in.acd);
  if (!in.par.empty()) std::ofstream(dir / "TRUTH.PAR") << in.par;
  return kalvir::test::run_command(dir, "timeout 300 '" KALVIR_TRUTH_PROGRAM "'");
}

// How many times LINE stands as a whole line in TEXT.
std::size_t line_count(const std::string& text, const std::string& line) {
  std::size_t n = 0;
  for (const std::string& l : kalvir::test::split_lines(text)) n += l == line ? 1 : 0;
  return n;
}

constexpr const char* kWentOn = "kalvir: run failed: it went on after these failures:";

struct Scenario {
  const char* what;
  std::function<void(Inputs&)> change;
  // The first line of the block on standard error, and lines it holds in
  // this order; a line of the form "  ROUTINE, N time(s):" must stand there
  // exactly once, since each failure is listed once.
  std::string heading;
  std::vector<std::string> block;
  std::vector<std::string> printed;  // texts the print holds
  std::function<void(const fs::path&, const CommandResult&)> left;  // what the run left behind
};

class FailureStatus : public ::testing::TestWithParam<Scenario> {};

TEST_P(FailureStatus, EndsWithStatusOneAndListsEachFailureOnce) {
  const Scenario& s = GetParam();
  kalvir::test::TempDir dir;
  Inputs in;
  s.change(in);
  const CommandResult r = run_box(dir.path(), in);
  EXPECT_EQ(r.status, 1) << r.err << r.out;
  const std::vector<std::string> err = kalvir::test::split_lines(r.err);
  ASSERT_FALSE(err.empty()) << r.out;
  EXPECT_EQ(err.front(), s.heading) << r.err;
  std::size_t at = 0;
  static const std::regex kEntry(R"(  \S.*, [0-9]+ times?:)");
  for (const std::string& line : s.block) {
    const auto found = std::find(err.begin() + static_cast<std::ptrdiff_t>(at), err.end(), line);
    ASSERT_NE(found, err.end()) << "missing or out of order: " << line << "\n" << r.err;
    at = static_cast<std::size_t>(found - err.begin()) + 1;
    if (std::regex_match(line, kEntry)) {
      EXPECT_EQ(line_count(r.err, line), 1u) << line << "\n" << r.err;
    }
  }
  for (const std::string& text : s.printed) EXPECT_NE(r.out.find(text), std::string::npos) << text;
  if (s.left) s.left(dir.path(), r);
}

std::size_t final_temperatures(const CommandResult& r) {
  std::size_t n = 0;
  for (std::size_t at = r.out.find(" T1 = "); at != std::string::npos; at = r.out.find(" T1 = ", at + 1)) ++n;
  return n;
}

const Scenario kScenarios[] = {
    // Failures the run goes on after.
    {"CSV entity names a missing node",
     [](Inputs& in) { in.par = "$PARAMETERS, CSV_ENTITIES=(T:PCB:55, T:PCB:1)\n!INITIAL = 'WARM'\n"; },
     kWentOn,
     {"  PARNDS, 1 time:", "    Node does not exist in sub-model", "    Node Number:         55",
      "    Sub-model: TRUTH:PCB", "    where: TRUTH.PAR, $PARAMETERS record: CSV_ENTITIES", "  PARHDC, 1 time:",
      "    T:PCB:55"},
     {"Node 55 not found in sub-model TRUTH:PCB"},
     [](const fs::path& dir, const CommandResult& r) {
       // The cases still ran and wrote their rows.
       EXPECT_EQ(final_temperatures(r), 2u);
       EXPECT_EQ(kalvir::test::lines_of(dir / "TRUTH_PAR.csv").size(), 3u + 14u);
     }},
    {"check run resolves the CSV entities without a file",
     [](Inputs& in) { in.par = "$PARAMETERS, CHECK, CSV_ENTITIES=(T:PCB:1, T:PCB:55)\n!INITIAL\n"; },
     kWentOn,
     {"  PARNDS, 1 time:", "    Node Number:         55", "    Sub-model: TRUTH:PCB", "  PARHDC, 1 time:"},
     {},
     [](const fs::path& dir, const CommandResult& r) {
       EXPECT_EQ(final_temperatures(r), 0u) << "a check run runs no case";
       EXPECT_FALSE(fs::exists(dir / "TRUTH_PAR.csv"));
     }},
    {"case title without its closing quote",
     [](Inputs& in) { in.par = "$PARAMETERS\n# warm case\n!INITIAL = 'warm\n"; },
     kWentOn,
     {"  PARZVL, 1 time:", "    String is not delimited with single quotes", "    >>'warm<<",
      "    where: TRUTH.PAR line 3: !INITIAL='warm"},
     {},
     [](const fs::path&, const CommandResult& r) { EXPECT_EQ(final_temperatures(r), 2u) << "the case ran"; }},
    {"cyclic analysis does not converge",
     [](Inputs& in) { replace(in.description, "integer MAXCYC 0", "integer MAXCYC 2"); },
     kWentOn,
     {"  SOLCYC, 1 time:", "    SOLCYC: Failed to converge within MAXCYC iterations"},
     {"SOLCYC cycle number:"},
     [](const fs::path& dir, const CommandResult& r) {
       EXPECT_EQ(final_temperatures(r), 1u) << "the final transient ran";
       EXPECT_TRUE(fs::exists(dir / "TRUTH.TMD"));
     }},
    {"TIMEND not set",
     [](Inputs& in) { replace(in.description, "control TIMEND 3600\n", ""); },
     kWentOn,
     {"  SLCRNC, 1 time:", "    SLCRNC: Control constant TIMEND not set",
      "    The solution is skipped. See the table of control constants in docs/model_program.md"},
     {},
     [](const fs::path& dir, const CommandResult&) { EXPECT_FALSE(fs::exists(dir / "TRUTH.TMD")); }},
    {"TMD entities refused at every output point",
     [](Inputs& in) { in.par = "$PARAMETERS, TMD_ENTITIES='ALL'\n!INITIAL\n"; },
     kWentOn,
     // Seven output points in each of the base case and case 1.
     {"  ParseGffEntityList, 14 times:", "    Invalid block name", "    Found \"ALL\"",
      "    where: TRUTH.PAR, $PARAMETERS record: TMD_ENTITIES"},
     {},
     [](const fs::path& dir, const CommandResult&) {
       EXPECT_TRUE(fs::exists(dir / "TRUTH_PAR0000_ORIGINAL.TMD"));
       EXPECT_TRUE(fs::exists(dir / "TRUTH_PAR0001.TMD"));
     }},
    {"check run parses the TMD entities",
     [](Inputs& in) { in.par = "$PARAMETERS, CHECK, TMD_ENTITIES='ALL'\n!INITIAL\n"; },
     kWentOn,
     {"  ParseGffEntityList, 1 time:", "    Found \"ALL\""},
     {},
     [](const fs::path& dir, const CommandResult&) { EXPECT_FALSE(fs::exists(dir / "TRUTH_PAR0001.TMD")); }},
    // Loads and statements on nodes the model lacks.
    {"static flux of a missing radiator node",
     [](Inputs& in) { in.acd.submodels[0].nodeList = {1, 12}; },
     kWentOn,
     {"  (acds)createnodemap, 1 time:", "    Heat flux of a missing node lost", "    Node 12 of sub-model TRUTH:RAD",
      "    Dataset: /Submodels/RAD/ModelData/NodeList", "    ACD file: TRUTH.acd"},
     {"Node 12 not found in sub-model TRUTH:RAD"},
     {}},
    {"time-dependent flux of a missing radiator node",
     [](Inputs& in) { in.acd.submodels[0].solar.nodes = {3, 12}; },
     kWentOn,
     {"  (acds)createnodemap, 1 time:", "    Node 12 of sub-model TRUTH:RAD",
      "    Dataset: /Submodels/RAD/ModelData/TimeDependent/SolarFluxes/Nodes", "    ACD file: TRUTH.acd"},
     {},
     {}},
    {"statement changes a missing node",
     [](Inputs& in) { in.par = "$PARAMETERS\n!INITIAL\nCHANGE T:PCB:1 = 30\n\nCHANGE T:PCB:55 = 20\n"; },
     "kalvir: run failed in PARAMX",
     {"    *** PROGRAM FAILS IN READING PARAMETERS FILE ***", "kalvir: earlier failures:", "  PARNDS, 1 time:",
      "    Node Number:         55", "    Sub-model: TRUTH:PCB", "    where: TRUTH.PAR line 5: CHANGE T:PCB:55=20"},
     {"Node 55 not found in sub-model TRUTH:PCB"},
     [](const fs::path&, const CommandResult& r) { EXPECT_EQ(final_temperatures(r), 1u) << "only the base case"; }},
    // Heater node lists.
    {"heater list with a missing board node",
     [](Inputs& in) { replace(in.description, "\"#PCB:1-4\"", "\"#PCB:1-4,99\""); },
     "kalvir: run failed in htr_Define",
     {"    Power node number string element selects no node.", "    String: #PCB:1-4,99",
      "    Element: PCB:99 (sub-model TRUTH:PCB)", "    Heater: BOARD HEATER"},
     {},
     [](const fs::path&, const CommandResult& r) { EXPECT_EQ(final_temperatures(r), 0u); }},
    {"heater list with a group of another submodel",
     [](Inputs& in) { replace(in.description, "\"#PCB:1-4\"", "\"#PCB:1-4;RAD:9\""); },
     "kalvir: run failed in htr_Define",
     {"    String: #PCB:1-4;RAD:9", "    Element: RAD:9 (sub-model TRUTH:RAD)"},
     {},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Runs, FailureStatus, ::testing::ValuesIn(kScenarios), CaseName{});

// The same box with every input sound, with and without a parameter-case
// file and in a check run: status 0 and nothing on standard error.
TEST(FailureStatusClean, ACleanRunEndsWithStatusZeroAndSaysNothingOnStandardError) {
  struct Clean {
    const char* what;
    std::string par;
    std::size_t solutions;
  };
  const Clean runs[] = {
      {"no parameter cases", "", 1},
      {"parameter cases", "$PARAMETERS, CSV_ENTITIES=(T:PCB:1, T:RAD:8), TMD_ENTITIES='NODES(T)'\n"
                          "!INITIAL = 'WARM'\nCHANGE T:PCB:1 = 30\n", 2},
      {"check run", "$PARAMETERS, CHECK, CSV_ENTITIES=(T:PCB:1), TMD_ENTITIES='NODES(T)'\n!INITIAL\n", 0},
  };
  for (const Clean& c : runs) {
    SCOPED_TRACE(c.what);
    kalvir::test::TempDir dir;
    Inputs in;
    in.par = c.par;
    const CommandResult r = run_box(dir.path(), in);
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("FAILURE"), std::string::npos) << r.out;
    EXPECT_EQ(final_temperatures(r), c.solutions);
  }
}

}  // namespace failure_status_test
