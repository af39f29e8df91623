#include "tests/support/sample_runs.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>

#include "tools/sample_model.h"

namespace kalvir::test {

PrintedRun parse_print(const std::string& text) {
  static const std::regex heading(R"(TIMEN =\s+(-?[0-9.]+)\s+MODULE)");
  static const std::regex row(
      R"(^\s+([0-9]+)\s{4}.*\s(-?[0-9]+\.[0-9]{2})\s+(-?[0-9]+\.[0-9]{2})\s+(-?[0-9]+\.[0-9]{2})\s*$)");
  PrintedRun run;
  std::istringstream in(text);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, heading)) {
      const double t = std::stod(m[1]);
      // A table that runs over several pages repeats its heading.
      if (run.times.empty() || run.times.back() != t) {
        run.times.push_back(t);
        run.tables.emplace_back();
      }
    } else if (!run.tables.empty() && std::regex_match(line, m, row)) {
      run.tables.back()[std::stoi(m[1])] = std::stod(m[2]);
    }
  }
  return run;
}

double largest_difference(const PrintedRun& a, const PrintedRun& b) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (a.times.size() != b.times.size() || a.tables.size() != b.tables.size()) return kInfinity;
  double largest = 0.0;
  for (std::size_t k = 0; k < a.tables.size(); ++k) {
    if (std::abs(a.times[k] - b.times[k]) > 0.005 || a.tables[k].size() != b.tables[k].size()) return kInfinity;
    for (const auto& [node, t] : a.tables[k]) {
      const auto it = b.tables[k].find(node);
      if (it == b.tables[k].end()) return kInfinity;
      largest = std::max(largest, std::abs(t - it->second));
    }
  }
  return largest;
}

SampleRun run_sample(const std::string& program) {
  SampleRun run;
  run.dir = std::make_unique<TempDir>();
  const std::filesystem::path& dir = run.dir->path();
  kalvir::sample::write_sample_inputs(dir);
  const std::string cmd = "cd '" + dir.string() + "' && '" + program + "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  if (WIFEXITED(w)) run.status = WEXITSTATUS(w);
  run.printed = read_file(dir / "run.out");
  run.errors = read_file(dir / "run.err");
  return run;
}

}  // namespace kalvir::test
