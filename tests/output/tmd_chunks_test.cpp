// The TMD writer's own chunk compression: the deflate it runs beside the
// library gives compress2's bytes, files written through it hold chunk for
// chunk what the library's deflate filter writes (partial last chunks,
// unchanged chunks stored again from the last slab), and a run that ends
// without closing its file keeps every slab written; the pool that compresses
// a slab's chunks hands them over in order and passes failures on.
#include "runtime/output/tmd/tmd_deflate.h"

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/output/tmd/chunk_pool.h"
#include "runtime/output/tmd/tmd_hdf5.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "tests/output/tmd_fixture.h"

namespace tmd_chunks_test {

using kalvir::test::H5Reader;

std::vector<unsigned char> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// Inputs of the kinds a chunk holds: repeated text, slowly varying doubles,
// noise (which deflate cannot shrink), zeros, and sizes down to one byte.
std::vector<std::vector<unsigned char>> sample_inputs() {
  std::vector<std::vector<unsigned char>> out;
  std::string labels;
  for (int i = 0; i < 4000; ++i) labels += "NODE " + std::to_string(i) + std::string(24 - 5 - std::to_string(i).size(), ' ');
  out.push_back(bytes_of(labels));
  std::vector<double> temps(16000);
  for (std::size_t i = 0; i < temps.size(); ++i) temps[i] = 293.15 + 1e-3 * static_cast<double>(i % 997);
  const auto* t = reinterpret_cast<const unsigned char*>(temps.data());
  out.emplace_back(t, t + temps.size() * sizeof(double));
  std::mt19937 gen(7);
  std::vector<unsigned char> noise(70000);
  for (auto& b : noise) b = static_cast<unsigned char>(gen());
  out.push_back(noise);
  out.emplace_back(128000, 0);
  out.push_back({42});
  out.push_back(bytes_of("ab"));
  // All bytes 255 over more than one checksum block, and an odd length.
  out.emplace_back(3 * 4096 + 7, 255);
  return out;
}

TEST(TmdDeflate, ChunksAreCompress2sBytesAndInflateBack) {
  // Twice over, so that the second pass runs on compression memory the
  // first has left behind.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& raw : sample_inputs()) {
      SCOPED_TRACE("size " + std::to_string(raw.size()) + " pass " + std::to_string(pass));
      uLongf expected_size = compressBound(raw.size());
      std::vector<unsigned char> expected(expected_size);
      ASSERT_EQ(compress2(expected.data(), &expected_size, raw.data(), raw.size(), 1), Z_OK);
      expected.resize(expected_size);

      std::vector<unsigned char> out(kalvir::tmd::filter_bound(raw.size()));
      const std::size_t size = kalvir::tmd::deflate_chunk(raw, 1, out.data());
      ASSERT_EQ(size, expected.size());
      out.resize(size);
      EXPECT_EQ(out, expected);

      EXPECT_EQ(kalvir::tmd::adler32_of(raw), adler32(1, raw.data(), static_cast<uInt>(raw.size())));
      EXPECT_TRUE(kalvir::tmd::inflates_to(out, raw));
      std::vector<unsigned char> changed = raw;
      changed.back() ^= 1;
      EXPECT_FALSE(kalvir::tmd::inflates_to(out, changed));
      EXPECT_FALSE(kalvir::tmd::inflates_to(out, std::span(raw).first(raw.size() - 1)));
      changed = raw;
      changed.push_back(0);
      EXPECT_FALSE(kalvir::tmd::inflates_to(out, changed));
    }
  }
}

struct ChunkFailure {};

// A run of chunks on the pool: each slot holds its chunk's result until
// ready takes it, ready comes in chunk order, and an exception from any step
// ends the run and reaches the caller, after which the pool runs again.
TEST(TmdChunkPool, ChunksComeReadyInOrderAndFailuresReachTheCaller) {
  constexpr std::size_t kCount = 40;
  std::array<std::size_t, kalvir::tmd::kChunkSlots> slot{};
  std::vector<std::size_t> seen;
  auto run = [&](std::size_t fail_prepare, std::size_t fail_job, std::size_t fail_ready) {
    seen.clear();
    kalvir::tmd::run_chunks(
        kCount,
        [&](std::size_t k) {
          if (k == fail_prepare) throw ChunkFailure{};
          slot[k % slot.size()] = 0;
        },
        [&](std::size_t k) {
          if (k == fail_job) throw ChunkFailure{};
          // Long enough for the workers to take chunks of their own.
          std::this_thread::sleep_for(std::chrono::microseconds(20));
          slot[k % slot.size()] = k * k + 1;
        },
        [&](std::size_t k) {
          if (k == fail_ready) throw ChunkFailure{};
          EXPECT_EQ(slot[k % slot.size()], k * k + 1);
          seen.push_back(k);
        });
  };
  constexpr std::size_t kNever = kCount;
  for (const auto& [p, j, r] : std::vector<std::array<std::size_t, 3>>{{kNever, 3, kNever}, {kNever, 17, kNever},
                                                                      {kNever, kNever, 5}, {2, kNever, kNever}}) {
    SCOPED_TRACE("failing prepare " + std::to_string(p) + " job " + std::to_string(j) + " ready " + std::to_string(r));
    EXPECT_THROW(run(p, j, r), ChunkFailure);
    EXPECT_LT(seen.size(), std::min({p, j, r}) + 1);
    run(kNever, kNever, kNever);
    std::vector<std::size_t> expected(kCount);
    for (std::size_t k = 0; k < kCount; ++k) expected[k] = k;
    EXPECT_EQ(seen, expected);
  }
}

// One chunk as stored in the file: its offset, filter mask and bytes.
struct StoredChunk {
  std::vector<hsize_t> offset;
  std::uint32_t mask = 0;
  std::vector<unsigned char> bytes;
  bool operator==(const StoredChunk&) const = default;
};

std::vector<StoredChunk> stored_chunks(const std::string& file, const std::string& dataset) {
  std::vector<StoredChunk> out;
  const hid_t f = H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  const hid_t d = H5Dopen2(f, dataset.c_str(), H5P_DEFAULT);
  const hid_t space = H5Dget_space(d);
  const int rank = H5Sget_simple_extent_ndims(space);
  hsize_t n = 0;
  H5Dget_num_chunks(d, space, &n);
  for (hsize_t k = 0; k < n; ++k) {
    StoredChunk c;
    c.offset.resize(static_cast<std::size_t>(rank));
    haddr_t addr = 0;
    hsize_t size = 0;
    unsigned mask = 0;
    H5Dget_chunk_info(d, space, k, c.offset.data(), &mask, &addr, &size);
    c.bytes.resize(size);
    std::uint32_t read_mask = 0;
    H5Dread_chunk(d, H5P_DEFAULT, c.offset.data(), &read_mask, c.bytes.data());
    c.mask = read_mask;
    out.push_back(std::move(c));
  }
  H5Sclose(space);
  H5Dclose(d);
  H5Fclose(f);
  return out;
}

class TmdChunks : public kalvir::test::TmdTest {
 protected:
  static constexpr int kNodes = 2500;  // three node chunks, the last one half full

  // One submodel of n nodes in a chain of linear conductors.
  void use_chain(int n = kNodes) {
    nodes_ = n;
    kalvir::test::SubmodelSpec main;
    main.name = "CHAIN";
    for (int i = 1; i <= n; ++i) main.thermal.push_back(i);
    for (int i = 1; i < n; ++i) main.gl.push_back({i, i + 1});
    kalvir::test::ModelSpec spec;
    spec.submodels = {main};
    use_model(spec, kalvir::test::three_submodel_constants());
  }

  // Writes outputs at times 0 .. slabs - 1 to the file of basename name;
  // only the first 1200 nodes warm up, so later chunks repeat themselves.
  void write(const std::string& name, int slabs) {
    for (int s = 0; s < slabs; ++s) {
      gcc_settimen(s);
      for (int i = 1; i <= nodes_; ++i) gar_thermalnodetemps(i) = 250.0 + (i <= 1200 ? 0.5 * i * s : 0.0);
      DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, name);
    }
  }

  void TearDown() override {
    kalvir::tmd::set_chunk_pool(true);
    kalvir::test::TmdTest::TearDown();
  }

  int nodes_ = kNodes;
};

TEST_F(TmdChunks, DirectWritesStoreWhatTheFilterStores) {
  use_chain();
  kalvir::tmd::set_direct_chunk_writes(false);
  write("FILTER", 3);
  kalvir::tmd::reset_for_tests();
  kalvir::tmd::set_direct_chunk_writes(true);
  write("DIRECT", 3);
  kalvir::tmd::reset_for_tests();

  const std::string dg1 = "/AnalysisSet1/DataGroup1/";
  for (const std::string ds :
       {"DataGroup1/times", "DataGroup1/thermalNodesRealData", "DataGroup1/thermalNodesStringData",
        "DataGroup1/conductorDataGL", "DataGroup1/userConstantsRealData", "DataGroup1/userConstantsStringData",
        "DataGroup1/controlConstantsRealData", "DataGroup1/controlConstantsIntegerData",
        "DataGroup1/controlConstantsStringData", "thermalNodes", "thermalNodesRealAttributes", "conductorsGL",
        "controlConstantsReal"}) {
    SCOPED_TRACE(ds);
    const auto filtered = stored_chunks(file("FILTER.TMD"), "/AnalysisSet1/" + ds);
    const auto direct = stored_chunks(file("DIRECT.TMD"), "/AnalysisSet1/" + ds);
    ASSERT_FALSE(filtered.empty());
    EXPECT_EQ(direct, filtered);
  }
  // Read back through the filter: the last slab's temperatures.
  const H5Reader f(file("DIRECT.TMD"));
  const auto data = f.doubles(dg1 + "thermalNodesRealData");
  ASSERT_EQ(data.size(), 3u * kNodes * 16);
  const std::size_t last = 2u * kNodes * 16;
  EXPECT_EQ(data[last + 0 * 16], 251.0);
  EXPECT_EQ(data[last + 1199 * 16], 250.0 + 1200.0);
  EXPECT_EQ(data[last + 2499 * 16], 250.0);
}

TEST_F(TmdChunks, ChunksCompressedOnThePoolAreThoseOfTheCallingThread) {
  // More node chunks than the pool has slots, so that slots are used again
  // within a slab; the first 1200 nodes change, the rest repeat.
  constexpr int kMany = 9100;
  use_chain(kMany);
  kalvir::tmd::set_chunk_pool(false);
  write("ALONE", 3);
  kalvir::tmd::reset_for_tests();
  kalvir::tmd::set_chunk_pool(true);
  write("POOL", 3);
  kalvir::tmd::reset_for_tests();
  if (kalvir::tmd::chunk_workers() == 0) std::puts("one processor: the pool has no workers, both files from one thread");

  for (const std::string ds : {"DataGroup1/thermalNodesRealData", "DataGroup1/thermalNodesStringData",
                               "DataGroup1/conductorDataGL", "thermalNodes"}) {
    SCOPED_TRACE(ds);
    const auto alone = stored_chunks(file("ALONE.TMD"), "/AnalysisSet1/" + ds);
    const auto pooled = stored_chunks(file("POOL.TMD"), "/AnalysisSet1/" + ds);
    ASSERT_GE(alone.size(), 10u);
    EXPECT_EQ(pooled, alone);
  }
  const H5Reader f(file("POOL.TMD"));
  const auto data = f.doubles("/AnalysisSet1/DataGroup1/thermalNodesRealData");
  ASSERT_EQ(data.size(), 3u * kMany * 16);
  const std::size_t last = 2u * kMany * 16;
  EXPECT_EQ(data[last + 1199 * 16], 250.0 + 1200.0);
  EXPECT_EQ(data[last + (kMany - 1) * 16], 250.0);
}

TEST_F(TmdChunks, ARunEndingWithoutClosingKeepsEverySlab) {
  use_chain();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The run ends here as a failing one does: no close, no library shutdown.
    write("FAILED", 3);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 1);

  const H5Reader f(file("FAILED.TMD"));
  ASSERT_TRUE(f.ok());
  const std::string dg1 = "/AnalysisSet1/DataGroup1/";
  EXPECT_EQ(f.doubles(dg1 + "times"), (std::vector<double>{0.0, 1.0, 2.0}));
  const auto data = f.doubles(dg1 + "thermalNodesRealData");
  ASSERT_EQ(data.size(), 3u * kNodes * 16);
  for (int s = 0; s < 3; ++s) {
    const std::size_t at = static_cast<std::size_t>(s) * kNodes * 16;
    EXPECT_EQ(data[at + 999 * 16], 250.0 + 0.5 * 1000 * s);
    EXPECT_EQ(data[at + 2499 * 16], 250.0);
  }
  EXPECT_EQ(f.dims(dg1 + "conductorDataGL"), (std::vector<std::uint64_t>{3, kNodes - 1, 2}));
}

}  // namespace tmd_chunks_test
