// Shared helpers of the test programs: temporary directories, a working
// directory switch (run files are named relative to it), capture of the
// print unit and the lines of what it printed.
#pragma once

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace kalvir::test {

// Names the cases of a value-parameterised suite after their `what` (the
// first member of every case struct), anything but letters and digits as '_'.
struct CaseName {
  template <class Info>
  std::string operator()(const Info& info) const {
    std::string n = info.param.what;
    for (char& c : n)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
  }
};

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes dir the working directory for the object's lifetime.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir);
  ~ScopedCwd();
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path old_;
};

// Connects unit 6 to a temporary file until finish() hands back what was printed.
class Unit6Capture {
 public:
  Unit6Capture();
  ~Unit6Capture();
  Unit6Capture(const Unit6Capture&) = delete;
  Unit6Capture& operator=(const Unit6Capture&) = delete;
  std::string finish();

 private:
  TempDir dir_;
  std::string file_;
  bool open_ = true;
};

std::string read_file(const std::filesystem::path& path);
// The lines of a text file, without their line ends.
std::vector<std::string> lines_of(const std::filesystem::path& path);
// The fields of a CSV line, double-quoted ones unquoted (an inner "" is one
// quote), read without the writer's code.
std::vector<std::string> csv_fields(const std::string& line);

// A command run as a person runs it, in a directory of its own: its exit
// status (-1 when it did not exit) and what it wrote to standard output and
// standard error.
struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};
CommandResult run_command(const std::filesystem::path& dir, const std::string& command_line);

// The undefined-value marker in a real control constant.
double undefined_real();

// The lines of printed text, without their newlines (a last line without one
// counts too).
std::vector<std::string> split_lines(const std::string& text);

// The lines as printed: each followed by a newline.
std::string joined_lines(const std::vector<std::string>& lines);

}  // namespace kalvir::test
