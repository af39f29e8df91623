// Building steps of the packed thermal connection lists that the test
// fixtures write by hand (model_fixture, network_fixture).
#pragma once

#include <cstdint>
#include <vector>

namespace kalvir::test {

// Ends one run of a node's packed list: -q and the 0 at q.
inline void end_run(std::vector<std::int32_t>& list) {
  list.push_back(-(static_cast<std::int32_t>(list.size()) + 2));
  list.push_back(0);
}

// Appends the node tie tail: its length, the number of groups, then per
// group the source, the number of targets and the targets. Returns the length.
template <class Tie>
std::int32_t append_tie_tail(std::vector<std::int32_t>& list, const std::vector<Tie>& ties) {
  std::vector<std::int32_t> tail{0, static_cast<std::int32_t>(ties.size())};
  for (const Tie& t : ties) {
    tail.push_back(t.source);
    tail.push_back(static_cast<std::int32_t>(t.targets.size()));
    tail.insert(tail.end(), t.targets.begin(), t.targets.end());
  }
  tail[0] = static_cast<std::int32_t>(tail.size());
  list.insert(list.end(), tail.begin(), tail.end());
  return tail[0];
}

}  // namespace kalvir::test
