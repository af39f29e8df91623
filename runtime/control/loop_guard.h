// The pass guard that every open-ended loop of the library carries. It lives
// here, beside the messages that stop the run, so that every folder from
// control upwards can use it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalvir {

// Counts the passes of an open-ended loop and stops the run through ERROR,
// naming the routine, once they exceed the limit: a corrupt list must end in
// a message, not in a hang.
//
//   kalvir::LoopGuard guard("SOFNDI");
//   while (...) { guard.tick(); ... }
class LoopGuard {
 public:
  static constexpr std::int64_t kPassLimit = 2000000000;

  // The routine's name is copied (up to 40 characters), so a temporary may
  // name it. The limit is only ever lowered by tests.
  explicit constexpr LoopGuard(std::string_view routine, std::int64_t limit = kPassLimit) noexcept
      : limit_(limit) {
    name_length_ = std::min(routine.size(), name_.size());
    std::copy_n(routine.data(), name_length_, name_.data());
  }

  void tick() {
    if (++passes_ > limit_) trip();
  }
  std::int64_t passes() const noexcept { return passes_; }
  std::string_view routine() const noexcept { return {name_.data(), name_length_}; }

 private:
  [[noreturn]] void trip() const;

  std::array<char, 40> name_{};
  std::size_t name_length_ = 0;
  std::int64_t limit_;
  std::int64_t passes_ = 0;
};

}  // namespace kalvir
