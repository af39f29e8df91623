// The sample run side by side with a general-purpose stiff integrator.
//
// Without arguments: writes the sample inputs (orvik_sample_inputs) into a
// fresh directory, times the sample model program there as a whole process
// (median of --runs runs, 5 by default), then finds the loosest tolerance at
// which the CVODE peer (bench/peer/cvode_peer.h) ends the final transient
// within TOLT of the program's final temperatures (read back from its TMD
// file), times the peer at that tolerance as a whole process in the same
// way, and prints both times, their ratio and both peak memories.
//
// With --peer TOL [CYCLES]: the peer run in the current directory. The
// model's own start-up loads the same MDB and ACD files and runs the initial
// block; the execution block is then replaced by the peer on the same network
// and schedule: the same cyclic analysis (CYCLES cycles of the period, or
// until temperatures change by less than TOLT and rates by less than TOLR
// between cycle ends), then the final transient. The peer evaluates the 190
// temperature-dependent conductors of the model's conductor block itself, from
// the same curves the ACD file gives the model.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/peer/cvode_peer.h"
#include "bench/peer/side_by_side.h"
#include "model/orvik_testbed_01.h"
#include "runtime/control/global_arrays.h"
#include "runtime/platform/process.h"
#include "tools/sample_model.h"

namespace {

// The sample model's schedule, as its execution block sets it.
constexpr double kTimeEnd = 5453.0576171875;
constexpr double kTolT = 0.011;

double tolerance = 1.0e-4;
int fixed_cycles = 0;  // the program's number of cycles; 0: the peer's own test decides

void peer_execution() {
  // The curves of the two ARRAYs, as the ACD file supplies them.
  static const std::vector<double> curves[2] = {kalvir::sample::array1_points(), kalvir::sample::array2_points()};
  const std::int32_t d3 = gar_modeldirectory(3, 1), d4 = gar_modeldirectory(4, 1);
  std::vector<kalvir::bench::peer::MeanTemperatureConductor> varying;
  for (const orvik::ConductorStatement& s : orvik::conductor_statements())
    varying.push_back({d4 + s.k, d3 + s.i, d3 + s.j, s.factor, &curves[s.array - 1]});
  kalvir::bench::peer::Schedule schedule;
  schedule.end_time = kTimeEnd;
  schedule.cycles = fixed_cycles;
  schedule.tolt = kTolT;
  kalvir::bench::peer::run(schedule, varying, tolerance);
}

void peer_main() {
  FLAGS.w = orvik::kFlags;
  SVMNAM(orvik::kModelName);
  SPRSIZ.w = orvik::kSprsiz;
  ModelBlocks blocks = orvik::blocks();
  blocks.execution = peer_execution;
  register_model_blocks(blocks);
  MAINA(orvik::kModelName);
  SUCCES();
}

namespace fs = std::filesystem;
using kalvir::bench::ProcessRun;

int side_by_side(int runs) {
  const fs::path dir = fs::temp_directory_path() / ("kalvir_peer_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  if (kalvir::bench::run_process(dir, {KALVIR_SAMPLE_INPUTS, "."}).seconds < 0) {
    std::fprintf(stderr, "the sample inputs could not be written\n");
    return 1;
  }
  const ProcessRun program = kalvir::bench::median_run(dir, {KALVIR_MODEL_PROGRAM}, runs);
  const kalvir::bench::FinalTemperatures final_t = kalvir::bench::program_final(dir / "ORVIK_TESTBED_01.TMD");
  // The same schedule: as many cycles as the program's cyclic analysis ran.
  int cycles = 0;
  {
    std::ifstream printed(dir / "run.out");
    const std::string mark = "SOLCYC cycle number:";
    for (std::string line; std::getline(printed, line);)
      if (const auto at = line.find(mark); at != std::string::npos) cycles = std::atoi(line.c_str() + at + mark.size());
  }
  if (final_t.empty()) {
    std::fprintf(stderr, "no final temperatures in the program's TMD file\n");
    return 1;
  }
  const std::string self = fs::canonical("/proc/self/exe").string();
  auto peer_argv = [&](double tol) {
    char arg[32];
    std::snprintf(arg, sizeof arg, "%g", tol);
    return std::vector<std::string>{self, "--peer", arg, std::to_string(cycles)};
  };
  const kalvir::bench::PeerChoice choice = kalvir::bench::choose_tolerance(dir, peer_argv, final_t, kTolT);
  if (choice.tolerance == 0.0) {
    std::fprintf(stderr, "no tolerance brought the peer within TOLT\n");
    return 1;
  }
  const ProcessRun peer = kalvir::bench::median_run(dir, peer_argv(choice.tolerance), runs);
  std::printf("sample model program (whole process, %d cycles and the final transient, median of %d): %.3f s, %ld MB\n",
              cycles, runs, program.seconds, program.peak_kb / 1024);
  std::printf("CVODE peer at tolerance %g (within %.3g K, median of %d): %.3f s, %ld MB\n", choice.tolerance,
              choice.deviation, runs, peer.seconds, peer.peak_kb / 1024);
  std::printf("program / peer: %.2f\n", program.seconds / peer.seconds);
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--peer") {
    tolerance = std::atof(argv[2]);
    if (argc == 4) fixed_cycles = std::atoi(argv[3]);
    return kalvir::platform::run_program(peer_main);
  }
  int runs = 5;
  if (argc == 3 && std::string(argv[1]) == "--runs") {
    runs = std::max(1, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
    return 1;
  }
  return side_by_side(runs);
}
