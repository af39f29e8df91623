#include "tests/support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "runtime/platform/units.h"

namespace kalvir::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const char* root = std::getenv("KALVIR_TEST_TMP");
  fs::path base = root != nullptr ? fs::path(root) : fs::temp_directory_path();
  fs::create_directories(base);
  path_ = base / ("kalvir-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ScopedCwd::ScopedCwd(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }

ScopedCwd::~ScopedCwd() {
  std::error_code ec;
  fs::current_path(old_, ec);
}

Unit6Capture::Unit6Capture() : file_(dir_.file("unit6.out")) {
  platform::unit_open(platform::kStdoutUnit, file_, platform::Form::Formatted,
                      platform::OpenStatus::Replace);
}

Unit6Capture::~Unit6Capture() {
  if (open_) platform::unit_close(platform::kStdoutUnit);
}

std::string Unit6Capture::finish() {
  if (open_) {
    platform::unit_close(platform::kStdoutUnit);
    open_ = false;
  }
  return read_file(file_);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

CommandResult run_command(const fs::path& dir, const std::string& command_line) {
  const std::string cmd = "cd '" + dir.string() + "' && " + command_line + " > cmd.out 2> cmd.err";
  const int w = std::system(cmd.c_str());
  CommandResult r;
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  r.out = read_file(dir / "cmd.out");
  r.err = read_file(dir / "cmd.err");
  return r;
}

double undefined_real() { return std::bit_cast<double>(std::uint64_t{0x7FFFFFFF}); }

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

}  // namespace kalvir::test
