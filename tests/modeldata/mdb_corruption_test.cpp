// Damaged MDB files: a few hundred mutated copies of a valid file (cut at
// random points, bytes changed, record lengths and list words replaced) must
// each end with a message and a defined exit status, never out of bounds or
// in a hang. The debug and sanitizer builds check every array index.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace mdb_corruption_test {

class MdbCorruption : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = full_model();
    sizes_ = mdbw::model_sizes(model_);
    image_ = mdbw::build_mdb(model_);
    bytes_ = image_.bytes();
  }

  // Loads the damaged bytes; the run either loaded (possible when only unused
  // words were hit), reported a missing file, or ended with status 1.
  void expect_defined_end(const std::vector<std::byte>& bytes, const std::string& what) {
    const LoadOutcome r = load_bytes(bytes, sizes_, model_.name, dir_);
    ASSERT_TRUE(r.status == 0 || r.status == 1) << what;
    if (r.status == 1) {
      EXPECT_FALSE(r.printed.empty()) << what << ": the run ended without a message";
    } else {
      EXPECT_TRUE(r.ierr == 0 || r.ierr == 1) << what << " ierr " << r.ierr;
    }
  }

  mdbw::Model model_;
  mdbw::Sizes sizes_;
  mdbw::MdbImage image_;
  std::vector<std::byte> bytes_;
  TempDir dir_;
  std::mt19937 rng_{20260305};
};

TEST_F(MdbCorruption, TheUndamagedFileLoads) {
  const LoadOutcome r = load_bytes(bytes_, sizes_, model_.name, dir_);
  ASSERT_EQ(r.status, 0) << r.printed;
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(FLAGS(flagw::NTIELEN), 8);
  EXPECT_EQ(gar_fluidnodemodelnums(3), 3);
}

TEST_F(MdbCorruption, CutAtRandomPoints) {
  std::uniform_int_distribution<std::size_t> at(0, bytes_.size() - 1);
  for (int k = 0; k < 100; ++k) {
    const std::size_t n = at(rng_);
    expect_defined_end({bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n)}, "cut at " + std::to_string(n));
  }
}

TEST_F(MdbCorruption, RandomBytesChanged) {
  std::uniform_int_distribution<std::size_t> at(0, bytes_.size() - 1);
  std::uniform_int_distribution<int> value(0, 255), count(1, 4);
  for (int k = 0; k < 150; ++k) {
    std::vector<std::byte> b = bytes_;
    std::string what = "bytes";
    for (int c = count(rng_); c > 0; --c) {
      const std::size_t p = at(rng_);
      b[p] = static_cast<std::byte>(value(rng_));
      what += " " + std::to_string(p);
    }
    expect_defined_end(b, what);
  }
}

TEST_F(MdbCorruption, RecordLengthsChanged) {
  std::uniform_int_distribution<std::size_t> rec(0, image_.records.size() - 1);
  const std::int32_t lengths[] = {0, 1, 3, 4, 15, 16, 17, 1000, -1, INT_MAX};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(lengths) - 1);
  std::uniform_int_distribution<int> which(0, 2);
  for (int k = 0; k < 60; ++k) {
    const std::size_t r = rec(rng_);
    const std::int32_t len = lengths[pick(rng_)];
    const int side = which(rng_);  // 0 leading, 1 trailing, 2 both
    std::size_t offset = 0;
    for (std::size_t i = 0; i < r; ++i) offset += image_.records[i].size() + 8;
    std::vector<std::byte> b = bytes_;
    const auto put = [&](std::size_t p) {
      for (int s = 0; s < 4; ++s) b[p + static_cast<std::size_t>(s)] = static_cast<std::byte>((static_cast<std::uint32_t>(len) >> (8 * s)) & 0xFFU);
    };
    if (side != 1) put(offset);
    if (side != 0) put(offset + 4 + image_.records[r].size());
    expect_defined_end(b, "record " + std::to_string(r) + " length " + std::to_string(len));
  }
}

// List headers and the words of integer records replaced by values that
// counts, numbers and indices must survive.
TEST_F(MdbCorruption, ListWordsReplaced) {
  const std::int32_t values[] = {0, 1, 2, 3, 4, 5, 7, 8, -1, -2, -7, 100, 205, 580, 99999, INT_MAX, INT_MIN, -INT_MAX};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(values) - 1);
  std::vector<std::size_t> headers;
  for (const auto& [key, index] : image_.list_headers) headers.push_back(index);
  std::uniform_int_distribution<std::size_t> header(0, headers.size() - 1);
  std::uniform_int_distribution<std::size_t> rec(0, image_.records.size() - 1);
  for (int k = 0; k < 150; ++k) {
    mdbw::MdbImage img = image_;
    std::size_t r;
    std::size_t word;
    if (k % 2 == 0) {
      // A word of a list header: number, kind or length.
      r = headers[header(rng_)];
      word = 1 + static_cast<std::size_t>(k / 2 % 3);
    } else {
      // Any word of any record long enough to hold one; the data of integer
      // lists (node numbers, pairs, ties, quadruples, list 66) among them.
      do r = rec(rng_);
      while (img.records[r].size() < 4);
      word = 1 + std::uniform_int_distribution<std::size_t>(0, img.records[r].size() / 4 - 1)(rng_);
    }
    const std::int32_t v = values[pick(rng_)];
    set_record_word(img, r, word, v);
    expect_defined_end(img.bytes(),
                       "record " + std::to_string(r) + " word " + std::to_string(word) + " := " + std::to_string(v));
  }
}

}  // namespace mdb_corruption_test
}  // namespace kalvir::test
