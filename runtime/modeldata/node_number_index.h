// Lookup of internal node indices by submodel and user node number, for
// callers that resolve a whole list of numbers at once (the ACD node maps at
// start-up). INTNOD scans the submodel's nodes at every call, so a list that
// names every node of the model would cost the square of the node count; the
// index is built once, in N log N, and answers every number as INTNOD does,
// its warnings included.
#pragma once

#include <cstdint>
#include <vector>

namespace kalvir {

class NodeNumberIndex {
 public:
  // Indexes the nodes of every submodel of the loaded model (the model
  // directory and the thermal and fluid node-number arrays).
  NodeNumberIndex();

  // INTNOD's result without its warnings: the internal index of the first
  // thermal node of submodel isub numbered number, else NNODE + the index of
  // its first such fluid node, else 0 (also for a submodel out of range).
  std::int32_t find(std::int32_t isub, std::int32_t number) const;
  bool has_submodel(std::int32_t isub) const { return isub >= 1 && isub <= nsub_; }

 private:
  struct Entry {
    std::int32_t number;
    std::int32_t index;
  };
  // Entries of submodel m (from 1) are [begin[m - 1], begin[m]) of the list,
  // ascending by number and, for equal numbers, by index.
  struct Lists {
    std::vector<Entry> entries;
    std::vector<std::size_t> begin;
  };
  static std::int32_t first_match(const Lists& lists, std::int32_t isub, std::int32_t number);

  std::int32_t nsub_ = 0;
  std::int32_t nnode_ = 0;
  Lists thermal_;
  Lists fluid_;
};

}  // namespace kalvir

// INTNOD(ISUB, NODE) answered from INDEX: the same result and the same
// warnings (kalvir::intnod_warning).
std::int32_t INTNOD(const kalvir::NodeNumberIndex& INDEX, std::int32_t ISUB, std::int32_t NODE);
