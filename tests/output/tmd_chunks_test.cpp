// The TMD writer's own chunk compression: the deflate it runs beside the
// library gives compress2's bytes, files written through it hold chunk for
// chunk what the library's deflate filter writes (partial last chunks,
// unchanged chunks stored again from the last slab), and a run that ends
// without closing its file keeps every slab written.
#include "runtime/output/tmd/tmd_deflate.h"

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
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
  // All bytes 255, of an odd length.
  out.emplace_back(3 * 4096 + 7, 255);
  return out;
}

TEST(TmdDeflate, ChunksAreCompress2sBytesAndInflateBack) {
  // Each chunk on the stream the chunk before it left behind, reset; the
  // stream is set up anew when the level changes, and again when it changes
  // back.
  for (const int level : {1, 9, 1}) {
    for (const auto& raw : sample_inputs()) {
      SCOPED_TRACE("size " + std::to_string(raw.size()) + " level " + std::to_string(level));
      uLongf expected_size = compressBound(raw.size());
      std::vector<unsigned char> expected(expected_size);
      ASSERT_EQ(compress2(expected.data(), &expected_size, raw.data(), raw.size(), level), Z_OK);
      expected.resize(expected_size);

      std::vector<unsigned char> out(kalvir::tmd::filter_bound(raw.size()));
      const std::size_t size = kalvir::tmd::deflate_chunk(raw, level, out.data());
      ASSERT_EQ(size, expected.size());
      out.resize(size);
      EXPECT_EQ(out, expected);

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
