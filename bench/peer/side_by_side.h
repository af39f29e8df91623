// What the side-by-side benchmarks share: a program timed as a whole process
// with its peak memory, the final temperatures of a run (the last slab of its
// TMD file, or the peer's peer_final.txt), and the choice of the peer's
// tolerance: the loosest of a ladder whose answer lies within TOLT of the
// program's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kalvir::bench {

struct ProcessRun {
  double seconds = -1.0;  // wall time; negative when the process failed
  long peak_kb = 0;       // largest resident set
};

// Runs argv[0] with its arguments in dir, standard output to dir/run.out and
// standard error to dir/run.err.
ProcessRun run_process(const std::filesystem::path& dir, const std::vector<std::string>& argv);

// The median time of `runs` runs and their largest peak memory; a failing
// run ends the benchmark with a message.
ProcessRun median_run(const std::filesystem::path& dir, const std::vector<std::string>& argv, int runs);

using FinalTemperatures = std::map<std::int32_t, double>;  // by node number

// The last time of the TMD file's thermalNodesRealData, column "Temperature".
FinalTemperatures program_final(const std::filesystem::path& tmd);
// The peer's peer_final.txt in dir.
FinalTemperatures peer_final(const std::filesystem::path& dir);
// Largest difference over the nodes of b (infinite when a misses one).
double deviation(const FinalTemperatures& a, const FinalTemperatures& b);

struct PeerChoice {
  double tolerance = 0.0;  // 0: none of the ladder
  double deviation = 0.0;
};

// The loosest tolerance of 1e-2 .. 1e-6 K at which the peer (peer_argv(tol),
// run in dir, writing peer_final.txt) ends within tolt of the program's final
// temperatures; when none does (the program is further than tolt from the
// converged answer), the loosest within tolt of a peer run at 1e-8. Prints
// each try.
PeerChoice choose_tolerance(const std::filesystem::path& dir,
                            const std::function<std::vector<std::string>(double)>& peer_argv,
                            const FinalTemperatures& program, double tolt);

}  // namespace kalvir::bench
