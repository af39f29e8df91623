// bench_plate: the plate family (bench/plate/plate_family.h) at growing sizes
// beside the CVODE peer (bench/peer/cvode_peer.h).
//
//   bench_plate [--sizes 500,2000,8000,32000,128000] [--runs N]
//
// For each size, in a fresh directory: writes the plate's description and ACD
// file, times kalvir_mdb_write on the description, times the plate's model
// program as a whole process with its TMD request and without it (--no-tmd),
// finds the loosest peer tolerance whose final temperatures lie within TOLT
// of the program's (above 32,000 nodes it takes the tolerance found at the
// size before) and times the peer there. Each time is the median of N
// runs (3 by default; one run above 32,000 nodes); the peak memory is the
// largest resident set of those runs. Prints one line per size and the
// ratios.
//
//   bench_plate --peer TOL     the peer run in the current directory (a plate
//                              directory with PLATE.MDB, PLATE.flags, PLATE.acd)
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/peer/cvode_peer.h"
#include "bench/peer/side_by_side.h"
#include "bench/plate/plate_family.h"
#include "bench/plate/plate_program.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"

namespace {

namespace fs = std::filesystem;
using kalvir::bench::ProcessRun;
constexpr double kTolT = 0.011;

double tolerance = 1.0e-4;

void peer_main() {
  using namespace kalvir::bench::plate;
  store_sizes();
  ModelBlocks b = blocks(false);
  b.execution = [] {
    kalvir::bench::peer::Schedule schedule;
    schedule.end_time = kPeriod;
    kalvir::bench::peer::run(schedule, {}, tolerance);
  };
  register_model_blocks(b);
  MAINA(kalvir::padded(kModelName, 24));
  SUCCES();
}

double mb(long kb) { return static_cast<double>(kb) / 1024.0; }

int bench(const std::vector<long>& sizes, int runs) {
  const fs::path root = fs::temp_directory_path() / ("kalvir_plate_bench_" + std::to_string(::getpid()));
  const std::string self = fs::canonical("/proc/self/exe").string();
  struct Row {
    long nodes;
    double write_s, tmd_s, plain_s, peer_s, peer_tol;
    long tmd_kb, plain_kb, peer_kb;
  };
  std::vector<Row> rows;
  for (const long n : sizes) {
    const fs::path dir = root / std::to_string(n);
    fs::create_directories(dir);
    const auto shape = kalvir::bench::plate::shape_of(static_cast<std::int32_t>(n));
    std::printf("%ld nodes (%d x %d plate and deep space):\n", n, shape.rows, shape.cols);
    std::fflush(stdout);
    if (kalvir::bench::run_process(dir, {KALVIR_PLATE_INPUTS, std::to_string(n), "."}).seconds < 0) {
      std::fprintf(stderr, "the plate's inputs could not be written in %s\n", dir.c_str());
      return 1;
    }
    const int r = n > 32000 ? 1 : runs;
    const ProcessRun write = kalvir::bench::median_run(dir, {KALVIR_MDB_WRITE, "PLATE.mdbtxt", "."}, 1);
    const ProcessRun plain = kalvir::bench::median_run(dir, {KALVIR_PLATE_MODEL, "--no-tmd"}, r);
    const ProcessRun tmd = kalvir::bench::median_run(dir, {KALVIR_PLATE_MODEL}, r);
    const kalvir::bench::FinalTemperatures final_t = kalvir::bench::program_final(dir / "PLATE.TMD");
    if (final_t.empty()) {
      std::fprintf(stderr, "no final temperatures in %s\n", (dir / "PLATE.TMD").c_str());
      return 1;
    }
    auto peer_argv = [&](double tol) {
      char arg[32];
      std::snprintf(arg, sizeof arg, "%g", tol);
      return std::vector<std::string>{self, "--peer", arg};
    };
    // Above 32,000 nodes a peer run takes long enough that the ladder is not
    // climbed again: the tolerance chosen at the largest size below serves,
    // and its difference from the program is reported.
    kalvir::bench::PeerChoice choice;
    if (n > 32000 && !rows.empty()) {
      choice.tolerance = rows.back().peer_tol;
      if (kalvir::bench::run_process(dir, peer_argv(choice.tolerance)).seconds >= 0)
        choice.deviation = kalvir::bench::deviation(kalvir::bench::peer_final(dir), final_t);
      std::printf("  peer tolerance %-7g (as at %ld nodes) largest final difference from the program %.3g K\n",
                  choice.tolerance, rows.back().nodes, choice.deviation);
    } else {
      choice = kalvir::bench::choose_tolerance(dir, peer_argv, final_t, kTolT);
    }
    if (choice.tolerance == 0.0) {
      std::fprintf(stderr, "no tolerance brought the peer within TOLT at %ld nodes\n", n);
      return 1;
    }
    const ProcessRun peer = kalvir::bench::median_run(dir, peer_argv(choice.tolerance), r);
    rows.push_back({shape.nodes(), write.seconds, tmd.seconds, plain.seconds, peer.seconds, choice.tolerance,
                    tmd.peak_kb, plain.peak_kb, peer.peak_kb});
    std::printf("  kalvir_mdb_write %.2f s; program %.3f s (%.0f MB) with TMD, %.3f s (%.0f MB) without; "
                "peer at %g %.3f s (%.0f MB)\n",
                write.seconds, tmd.seconds, mb(tmd.peak_kb), plain.seconds, mb(plain.peak_kb), choice.tolerance,
                peer.seconds, mb(peer.peak_kb));
    std::fflush(stdout);
    fs::remove_all(dir);
  }
  std::printf("\n%8s %9s %9s %9s %9s %7s %9s %9s %9s %7s %7s %7s\n", "nodes", "mdbw s", "TMD s", "no-TMD s", "peer s",
              "tol", "TMD MB", "no-TMD MB", "peer MB", "TMD x", "mem x", "/peer");
  for (const Row& w : rows) {
    std::printf("%8ld %9.2f %9.3f %9.3f %9.3f %7g %9.0f %9.0f %9.0f %7.2f %7.2f %7.2f\n", w.nodes, w.write_s, w.tmd_s,
                w.plain_s, w.peer_s, w.peer_tol, mb(w.tmd_kb), mb(w.plain_kb), mb(w.peer_kb), w.tmd_s / w.plain_s,
                static_cast<double>(w.tmd_kb) / static_cast<double>(w.plain_kb), w.tmd_s / w.peer_s);
  }
  for (std::size_t k = 1; k < rows.size(); ++k) {
    const Row &a = rows[k - 1], &b = rows[k];
    std::printf("growth %ld -> %ld nodes: time (TMD) as N^%.2f, without TMD as N^%.2f\n", a.nodes, b.nodes,
                std::log(b.tmd_s / a.tmd_s) / std::log(static_cast<double>(b.nodes) / a.nodes),
                std::log(b.plain_s / a.plain_s) / std::log(static_cast<double>(b.nodes) / a.nodes));
  }
  std::printf("(TMD x: run with the TMD request over the run without it; mem x: their peak memories; "
              "/peer: the run with TMD over the peer)\n");
  fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--peer") {
    tolerance = std::atof(argv[2]);
    return kalvir::platform::run_program(peer_main);
  }
  std::vector<long> sizes{500, 2000, 8000, 32000, 128000};
  int runs = 3;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--sizes" && a + 1 < argc) {
      sizes.clear();
      std::istringstream list(argv[++a]);
      for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::atol(item.c_str()));
    } else if (arg == "--runs" && a + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++a]));
    } else {
      std::fprintf(stderr, "usage: %s [--sizes N,N,...] [--runs N] | --peer TOL\n", argv[0]);
      return 1;
    }
  }
  if (sizes.empty() || std::any_of(sizes.begin(), sizes.end(), [](long n) { return n < 1 || n > 10'000'000; })) {
    std::fprintf(stderr, "sizes run from 1 to 10000000 nodes\n");
    return 1;
  }
  return bench(sizes, runs);
}
