// The sample model program run with each transient solution routine, timed
// as whole processes, for one build or several side by side:
//
//   taskset -c 5 bench_sample_methods [--runs N] [BUILD_DIR ...]
//
// writes the sample inputs into a fresh directory and runs, N times (5 by
// default) in turn, every build's orvik_testbed_01 (SLCRNC) and its variants
// orvik_slgear, orvik_slgrdj and orvik_slmode (those it has), so that a
// machine's changing load falls on all of them alike. Without BUILD_DIR the
// build the benchmark belongs to is timed. Prints each program's least and
// median wall time and least CPU time, its ratio to the same build's SLCRNC
// (least times), and its ratio to the first build's same program. Pin it to
// one idle core: the children inherit the pinning. On a shared machine the
// CPU times vary less than the wall times.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "bench/peer/side_by_side.h"
#include "tools/sample_model.h"

namespace {

struct Method {
  const char* name;
  const char* program;
};

constexpr Method kMethods[] = {{"SLCRNC", "orvik_testbed_01"},
                               {"SLGEAR", "orvik_slgear"},
                               {"SLGRDJ", "orvik_slgrdj"},
                               {"SLMODE", "orvik_slmode"}};

struct Timed {
  std::string build;
  const Method* method = nullptr;
  std::filesystem::path program;
  std::vector<double> seconds, cpu;
  double least() const { return *std::min_element(seconds.begin(), seconds.end()); }
  double least_cpu() const { return *std::min_element(cpu.begin(), cpu.end()); }
  double median() const {
    std::vector<double> s = seconds;
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
  }
};

// User and system time of the waited-for children so far.
double children_cpu() {
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1.0e-6 * static_cast<double>(t.tv_usec); };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<std::string> builds;
  for (int a = 1; a < argc; ++a) {
    const std::string_view arg = argv[a];
    if (arg == "--runs" && a + 1 < argc)
      runs = std::max(1, std::atoi(argv[++a]));
    else
      builds.emplace_back(arg);
  }
  if (builds.empty()) builds.emplace_back(KALVIR_BUILD_DIR);

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kalvir_methods_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  kalvir::sample::write_sample_inputs(dir);

  std::vector<Timed> timed;
  for (const std::string& build : builds)
    for (const Method& m : kMethods) {
      const std::filesystem::path program = std::filesystem::absolute(std::filesystem::path(build) / m.program);
      if (std::filesystem::exists(program)) timed.push_back({build, &m, program, {}, {}});
    }
  for (int r = 0; r < runs; ++r)
    for (Timed& t : timed) {
      const double cpu_before = children_cpu();
      const kalvir::bench::ProcessRun run = kalvir::bench::run_process(dir, {t.program.string()});
      if (run.seconds < 0) {
        std::fprintf(stderr, "failed: %s (see %s)\n", t.program.c_str(), (dir / "run.err").c_str());
        return 1;
      }
      t.seconds.push_back(run.seconds);
      t.cpu.push_back(children_cpu() - cpu_before);
    }

  auto find = [&](const std::string& build, std::string_view method) -> const Timed* {
    for (const Timed& t : timed)
      if (t.build == build && t.method->name == method) return &t;
    return nullptr;
  };
  std::printf("%d runs each; least and median wall time, least CPU time (user and system) in s; ratios of\n"
              "the least wall (and CPU) times\n",
              runs);
  std::printf("%-8s %8s %8s %8s %16s %16s  %s\n", "routine", "least", "median", "cpu", "/ SLCRNC", "/ 1st build",
              "build");
  for (const Timed& t : timed) {
    const Timed* cn = find(t.build, "SLCRNC");
    const Timed* first = find(builds.front(), t.method->name);
    std::printf("%-8s %8.3f %8.3f %8.3f %7.2f (%6.2f) %7.3f (%6.3f)  %s\n", t.method->name, t.least(), t.median(),
                t.least_cpu(), cn != nullptr ? t.least() / cn->least() : 0.0,
                cn != nullptr ? t.least_cpu() / cn->least_cpu() : 0.0,
                first != nullptr ? t.least() / first->least() : 0.0,
                first != nullptr ? t.least_cpu() / first->least_cpu() : 0.0, t.build.c_str());
  }
  std::filesystem::remove_all(dir);
  return 0;
}
