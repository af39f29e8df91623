// Shared helpers of the test programs: temporary directories, a working
// directory switch (run files are named relative to it) and capture of the
// print unit.
#pragma once

#include <filesystem>
#include <string>

namespace kalvir::test {

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

}  // namespace kalvir::test
