// A result file on a disk that fills: the plate's model program (a plate of
// 1,200 nodes, whose slabs span several chunks) run with every file it
// writes limited in size, at limits from below the file's first bytes to
// above its whole size, as a disk that fills at any point of the file's
// creation or of any output would stop it. Each run ends with status 1 and
// a message, or completes; a file whose creation failed is not left as a
// result, and a file whose write failed opens with every time it holds
// stored in every dataset as the unlimited run stored it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/hdf5_read_back.h"
#include "tests/support/test_support.h"

namespace tmd_full_disk_test {

namespace fs = std::filesystem;
using kalvir::test::H5Reader;
using kalvir::test::TempDir;

constexpr const char* kDataGroup = "/AnalysisSet1/DataGroup1/";
constexpr std::size_t kOutputs = 11;

struct PlateRun {
  int status = -1;  // exit status; -1 when a signal ended the program
  std::string errors;
};

// Runs the plate's model program in dir with every file it writes limited
// to limit bytes (0: no limit): a write past the limit fails as on a full
// disk (EFBIG; the signal that would end the program is ignored).
PlateRun run_plate(const fs::path& dir, rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int out = open("run.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("run.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    if (limit > 0 && setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(126);
    execl(KALVIR_PLATE_MODEL, KALVIR_PLATE_MODEL, static_cast<char*>(nullptr));
    _exit(127);
  }
  PlateRun r;
  int w = 0;
  if (child < 0 || waitpid(child, &w, 0) != child) return r;
  if (WIFEXITED(w)) r.status = WEXITSTATUS(w);
  r.errors = kalvir::test::read_file(dir / "run.err");
  if (WIFSIGNALED(w)) r.errors += "\nended by signal " + std::to_string(WTERMSIG(w));
  return r;
}

// The time-extensible datasets of a result file, each as its slabs (the
// values of one output time, as bytes), read without the writer's code;
// empty when the file does not open.
using Slabs = std::vector<std::string>;
std::map<std::string, Slabs> time_data(const fs::path& file) {
  std::map<std::string, Slabs> out;
  if (!fs::exists(file)) return out;
  const H5Reader f(file.string());
  if (!f.ok()) return out;
  for (const std::string& path : f.objects()) {
    if (path.rfind(kDataGroup, 0) != 0) continue;
    const std::string type = f.describe_dataset(path);
    std::string bytes;
    auto take = [&bytes](const auto& values) {
      bytes.assign(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(values[0]));
    };
    if (type.rfind("double", 0) == 0) {
      take(f.doubles(path));
    } else if (type.rfind("int32", 0) == 0) {
      take(f.ints(path));
    } else {
      for (const std::string& s : f.strings(path)) bytes += s;
    }
    const std::size_t n = f.dims(path).at(0);
    Slabs& slabs = out[path];
    for (std::size_t k = 0; k < n; ++k) slabs.push_back(bytes.substr(k * (bytes.size() / n), bytes.size() / n));
  }
  return out;
}

class TmdFullDisk : public ::testing::Test {
 protected:
  // The plate's inputs and the file of its run without a limit, once.
  static void SetUpTestSuite() {
    inputs_ = std::make_unique<TempDir>();
    const auto made = kalvir::test::run_command(
        inputs_->path(), "'" KALVIR_PLATE_INPUTS "' 1200 . && '" KALVIR_MDB_WRITE "' PLATE.mdbtxt .");
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    const TempDir dir;
    link_inputs(dir.path());
    const PlateRun whole = run_plate(dir.path(), 0);
    ASSERT_EQ(whole.status, 0) << whole.errors;
    whole_size_ = fs::file_size(dir.path() / "PLATE.TMD");
    reference_ = time_data(dir.path() / "PLATE.TMD");
  }
  static void TearDownTestSuite() { inputs_.reset(); }

  static void link_inputs(const fs::path& dir) {
    for (const char* name : {"PLATE.MDB", "PLATE.acd", "PLATE.flags"}) fs::create_symlink(inputs_->path() / name, dir / name);
  }

  static std::unique_ptr<TempDir> inputs_;
  static std::uintmax_t whole_size_;
  static std::map<std::string, Slabs> reference_;
};

std::unique_ptr<TempDir> TmdFullDisk::inputs_;
std::uintmax_t TmdFullDisk::whole_size_ = 0;
std::map<std::string, Slabs> TmdFullDisk::reference_;

TEST_F(TmdFullDisk, EveryFailureEndsWithStatusOneAndEveryStoredTimeHasItsData) {
  ASSERT_EQ(reference_.at(std::string(kDataGroup) + "times").size(), kOutputs);
  ASSERT_EQ(reference_.size(), 8U) << "times, node, conductor and control-constant data";
  const std::string times = std::string(kDataGroup) + "times";
  constexpr std::uintmax_t kLimits = 40;
  const std::uintmax_t step = whole_size_ / kLimits + 1;
  int creation_failures = 0;
  int write_failures = 0;
  int completed = 0;
  for (std::uintmax_t limit = 2048; limit < whole_size_ + step; limit += step) {
    SCOPED_TRACE("file-size limit " + std::to_string(limit) + " of " + std::to_string(whole_size_));
    const TempDir dir;
    link_inputs(dir.path());
    const PlateRun r = run_plate(dir.path(), limit);
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.errors;
    const fs::path tmd = dir.path() / "PLATE.TMD";
    if (r.status == 0) {
      ++completed;
      EXPECT_TRUE(time_data(tmd) == reference_) << "the whole file as without a limit";
      continue;
    }
    if (r.errors.find("Error writing data to PLATE.TMD") != std::string::npos) {
      ++write_failures;
      const auto got = time_data(tmd);
      ASSERT_EQ(got.size(), reference_.size()) << "the file opens with all of its datasets";
      const std::size_t n = got.at(times).size();
      EXPECT_LT(n, kOutputs);
      for (const auto& [name, slabs] : got) {
        SCOPED_TRACE(name);
        // Beyond the times at most the slab of the output whose write failed.
        EXPECT_GE(slabs.size(), n);
        EXPECT_LE(slabs.size(), n + 1);
        for (std::size_t k = 0; k < std::min(n, slabs.size()); ++k) {
          EXPECT_TRUE(slabs[k] == reference_.at(name)[k]) << "output " << k << " differs from the run without a limit";
        }
      }
    } else if (r.errors.find("Failed to create datasets in PLATE.TMD") != std::string::npos) {
      ++creation_failures;
      EXPECT_FALSE(fs::exists(tmd)) << "a file whose creation failed is removed";
    } else {
      ++creation_failures;
      EXPECT_NE(r.errors.find("Failed to open file PLATE.TMD"), std::string::npos) << r.errors;
      EXPECT_TRUE(time_data(tmd).empty()) << "nothing that opens as a result file";
    }
  }
  EXPECT_GE(creation_failures, 2);
  EXPECT_GE(write_failures, 20) << "the limits fall in most outputs";
  EXPECT_GE(completed, 1);
}

}  // namespace tmd_full_disk_test
