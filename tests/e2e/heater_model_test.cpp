// The heater model program (tests/support/models/heater_model.h), run as a
// user runs it: its heater takes the power a parameter case gives HTRPWR, as
// docs/model_program.md shows (the heater defined in the execution block,
// HTRPWR read by name); the plate's own QI, which the heater replaces, is
// warned of once; and Crank-Nicolson keeps its step at DTMAX once the box has
// settled instead of starting again from DTIMEI.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/message_frames.h"
#include "tests/support/models/heater_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace heater_model_test {

namespace fs = std::filesystem;
using kalvir::test::csv_fields;
using kalvir::test::lines_of;

kalvir::mdbw::Model heater_model() {
  std::istringstream in{std::string(heatbox::kDescription)};
  return kalvir::mdbw::read_description(in);
}

struct BoxRun {
  int status = -1;
  std::string out;
};

// Runs the program in DIR on the model's MDB file, an ACD file without data
// and, when CASES is not empty, the parameter-case file CASES.
BoxRun run_box(const fs::path& dir, const std::string& cases = "") {
  EXPECT_TRUE(kalvir::mdbw::build_mdb(heater_model()).save((dir / "HEATBOX.MDB").string()));
  kalvir::acd::ModelGroup root;
  kalvir::acd::write_acd_file(dir / "HEATBOX.acd", root);
  if (!cases.empty()) std::ofstream(dir / "HEATBOX.PAR") << cases;
  const std::string cmd = "cd '" + dir.string() + "' && '" KALVIR_HEATER_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  return {WIFEXITED(w) ? WEXITSTATUS(w) : -1,
          kalvir::test::read_file(dir / "run.out") + kalvir::test::read_file(dir / "run.err")};
}

// The accepted steps the variables 2 block printed: (TIMEN, DTIMEU).
std::vector<std::pair<double, double>> steps_of(const std::string& out) {
  std::vector<std::pair<double, double>> steps;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(" STEP ", 0) != 0) continue;
    std::istringstream fields(line.substr(6));
    double t = 0.0, h = 0.0;
    fields >> t >> h;
    steps.emplace_back(t, h);
  }
  return steps;
}

// The plate's and the shelf's exact temperatures at time t after the heater
// of power p is switched on, the box starting at the sink's 20 deg C: with
// u = T - 20, u' = A u + (p / C, 0), A = (G / C) [[-1, 1], [1, -2]], so
// u(t) = u* - exp(A t) u*, u* the steady state, over A's eigenvectors.
std::pair<double, double> exact(double p, double t) {
  const double rate = 0.5 / 100.0;  // G / C
  const double u1 = heatbox::plate_steady(p) - heatbox::kSink, u2 = heatbox::shelf_steady(p) - heatbox::kSink;
  double plate = u1, shelf = u2;
  for (const double mu : {(-3.0 + std::sqrt(5.0)) / 2.0, (-3.0 - std::sqrt(5.0)) / 2.0}) {
    const double v1 = 1.0, v2 = mu + 1.0;  // eigenvector of [[-1, 1], [1, -2]]
    const double coefficient = (u1 * v1 + u2 * v2) / (v1 * v1 + v2 * v2) * std::exp(mu * rate * t);
    plate -= coefficient * v1;
    shelf -= coefficient * v2;
  }
  return {heatbox::kSink + plate, heatbox::kSink + shelf};
}

std::size_t replaced_qi_warnings(const std::string& out) {
  std::size_t n = 0;
  for (const auto& m : kalvir::test::printed_messages(out))
    if (m.routine == "htr_Update" && m.code == 3) ++n;
  return n;
}

TEST(HeaterModel, TheProgramStoresTheSizesOfItsModelDatabase) {
  const auto sizes = kalvir::mdbw::model_sizes(heater_model());
  EXPECT_EQ(sizes.flags, heatbox::kFlags);
  EXPECT_EQ(sizes.sprsiz, heatbox::kSprsiz);
}

// DTPMAX 2 and DTMAX 200 from DTIMEI 5: the step grows while the box warms
// up, reaches DTMAX and keeps it for the rest of the run, the box long
// settled (its slow time constant is 523 s). So the run takes little more than its warm-up's steps and
// TIMEND / DTMAX.
TEST(HeaterModel, CrankNicolsonKeepsItsStepAtDtmaxOnceTheBoxHasSettled) {
  kalvir::test::TempDir dir;
  const BoxRun r = run_box(dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const auto steps = steps_of(r.out);
  ASSERT_FALSE(steps.empty()) << r.out;
  EXPECT_DOUBLE_EQ(steps.back().first, heatbox::kTimend);
  EXPECT_DOUBLE_EQ(steps.front().second, heatbox::kDtimei);
  std::size_t warm_up = 0;
  while (warm_up < steps.size() && steps[warm_up].second != heatbox::kDtmax) ++warm_up;
  ASSERT_LT(warm_up, steps.size()) << "the step never reached DTMAX";
  const double bound = 1.2 * (static_cast<double>(warm_up) + heatbox::kTimend / heatbox::kDtmax);
  EXPECT_LE(static_cast<double>(steps.size()), bound) << steps.size() << " steps, " << warm_up << " to warm up";
  // Only the output times shorten a step from then on, and the look-ahead
  // shares what is left before one between two steps of at least half DTMAX.
  for (std::size_t k = warm_up; k < steps.size(); ++k)
    EXPECT_GE(steps[k].second, 0.5 * heatbox::kDtmax) << "step " << k << " ending at " << steps[k].first;
  EXPECT_EQ(replaced_qi_warnings(r.out), 1u) << r.out;
}

// Three !INITIAL cases change HTRPWR; the heater, defined in the execution
// block, takes each case's power: the CSV rows follow the exact warm-up of
// the box at every output and end at its steady state, 20 + 4 HTRPWR. The
// plate's own QI of 1 W, restored by every !INITIAL case, is replaced by the
// heater in every case (the steady states say so) and warned of once in the
// run.
TEST(HeaterModel, AParameterCaseChangesTheHeatersPowerByTheGuidesPattern) {
  kalvir::test::TempDir dir;
  const BoxRun r = run_box(dir.path(),
                        "$PARAMETERS, CSV_ENTITIES=(T1,T2,HTRPWR)\n"
                        "!INITIAL = 'P3'\nCHANGE HTRPWR = 3\n"
                        "!INITIAL = 'P9'\nCHANGE HTRPWR = 9\n"
                        "!INITIAL = 'P12'\nCHANGE HTRPWR = 12\n");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(replaced_qi_warnings(r.out), 1u);
  const auto lines = lines_of(dir.path() / "HEATBOX_PAR.csv");
  ASSERT_GE(lines.size(), 3u);
  ASSERT_EQ(lines[2], "Parameter case number,Parameter case name,Time,T1,T2,HTRPWR");
  const std::vector<double> powers{heatbox::kPower, 3.0, 9.0, 12.0};
  const std::size_t rows_per_case = 11;  // the start and every OUTINT of 2000 s
  ASSERT_EQ(lines.size(), 3 + powers.size() * rows_per_case);
  for (std::size_t c = 0; c < powers.size(); ++c) {
    for (std::size_t k = 0; k < rows_per_case; ++k) {
      const auto f = csv_fields(lines[3 + c * rows_per_case + k]);
      ASSERT_EQ(f.size(), 6u);
      const double t = std::stod(f[2]);
      EXPECT_DOUBLE_EQ(t, 2000.0 * static_cast<double>(k));
      EXPECT_EQ(std::stod(f[5]), powers[c]);
      const auto [plate, shelf] = exact(powers[c], t);
      EXPECT_NEAR(std::stod(f[3]), plate, 0.05) << "case " << c << " at " << t;
      EXPECT_NEAR(std::stod(f[4]), shelf, 0.05) << "case " << c << " at " << t;
    }
    const auto last = csv_fields(lines[3 + (c + 1) * rows_per_case - 1]);
    EXPECT_NEAR(std::stod(last[3]), heatbox::plate_steady(powers[c]), 1.0e-5) << "case " << c;
  }
}

}  // namespace heater_model_test
