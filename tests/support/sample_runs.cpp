#include "tests/support/sample_runs.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string_view>
#include <vector>

#include "tools/sample_model.h"

namespace kalvir::test {

namespace {

// A number printed with two decimals: optional minus, digits, ".", two digits.
bool two_decimals(std::string_view t) {
  if (!t.empty() && t.front() == '-') t.remove_prefix(1);
  const auto point = t.find('.');
  if (point == std::string_view::npos || point == 0 || t.size() - point != 3) return false;
  return std::all_of(t.begin(), t.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
         t.find('.', point + 1) == std::string_view::npos;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace

// Table headings hold "TIMEN = <time> ... MODULE"; a node row starts with
// blanks and the node number, then at least four blanks, and ends with three
// values of two decimals (temperature first).
PrintedRun parse_print(const std::string& text) {
  PrintedRun run;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto timen = line.find("TIMEN =");
    if (timen != std::string::npos) {
      const std::vector<std::string> after = words(line.substr(timen + 7));
      if (after.size() < 2 || after[1] != "MODULE") continue;
      const double t = std::stod(after[0]);
      // A table that runs over several pages repeats its heading.
      if (run.times.empty() || run.times.back() != t) {
        run.times.push_back(t);
        run.tables.emplace_back();
      }
      continue;
    }
    if (run.tables.empty() || line.empty() || line.front() != ' ') continue;
    const std::vector<std::string> w = words(line);
    if (w.size() < 4 || !std::all_of(w[0].begin(), w[0].end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    const auto number_end = line.find(w[0]) + w[0].size();
    if (line.compare(number_end, 4, "    ") != 0) continue;
    const std::size_t n = w.size();
    if (!two_decimals(w[n - 3]) || !two_decimals(w[n - 2]) || !two_decimals(w[n - 1])) continue;
    run.tables.back()[std::stoi(w[0])] = std::stod(w[n - 3]);
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
