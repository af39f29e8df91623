// The number-to-index table of the start-up lookups answers every submodel
// and node number exactly as INTNOD's scan does, warnings included.
#include "runtime/modeldata/node_number_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/fpcs.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace node_number_index_test {

// A printed warning without its frame's running message number.
std::string unnumbered(const std::string& printed) {
  std::string out;
  std::size_t from = 0;
  while (from < printed.size()) {
    const std::size_t end = std::min(printed.find('\n', from), printed.size());
    const std::string line = printed.substr(from, end - from);
    if (line.find("| MESSAGE") == std::string::npos) out += line + "\n";
    from = end + 1;
  }
  return out;
}

TEST(NodeNumberIndex, AnswersEveryNumberAsTheScanDoes) {
  TempDir dir;
  load_ok(full_model(), dir);
  const NodeNumberIndex index;
  // Every user number of the model, thermal and fluid, with its neighbours
  // (numbers no submodel has) and numbers of other submodels.
  std::set<std::int32_t> numbers{0, -1, 2147483647};
  for (std::int64_t i = 1; i <= gar_thermalnodenums.size(); ++i)
    for (const std::int32_t d : {-1, 0, 1}) numbers.insert(gar_thermalnodenums(i) + d);
  for (std::int64_t f = 1; f <= gar_fluidnodenums.size(); ++f)
    for (const std::int32_t d : {-1, 0, 1}) numbers.insert(gar_fluidnodenums(f) + d);
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  ASSERT_GE(nsub, 3);
  ASSERT_GE(gar_fluidnodenums.size(), 1);
  // The same questions, first to the scan, then to the table.
  std::vector<std::int32_t> by_scan, by_index, found_quietly;
  Unit6Capture scan_capture;
  for (std::int32_t isub = 0; isub <= nsub + 1; ++isub)
    for (const std::int32_t n : numbers) by_scan.push_back(INTNOD(isub, n));
  const std::string scan_printed = unnumbered(joined_frames(scan_capture.finish()));
  Unit6Capture index_capture;
  for (std::int32_t isub = 0; isub <= nsub + 1; ++isub)
    for (const std::int32_t n : numbers) {
      by_index.push_back(INTNOD(index, isub, n));
      found_quietly.push_back(index.find(isub, n));
    }
  const std::string index_printed = unnumbered(joined_frames(index_capture.finish()));
  EXPECT_EQ(by_index, by_scan);
  EXPECT_EQ(found_quietly, by_scan);
  EXPECT_EQ(index_printed, scan_printed);
  EXPECT_NE(scan_printed.find("Invalid submodel"), std::string::npos);
  EXPECT_NE(scan_printed.find(" not found in sub-model "), std::string::npos);
  const auto found = std::count_if(by_scan.begin(), by_scan.end(), [](std::int32_t i) { return i != 0; });
  // Both kinds of node were found, in more than one submodel.
  EXPECT_EQ(found, gar_thermalnodenums.size() + gar_fluidnodenums.size());
}

}  // namespace node_number_index_test
}  // namespace kalvir::test
