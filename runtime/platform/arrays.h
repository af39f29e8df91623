// Arrays indexed from 1, in the storage order the program's data is specified in.
//
// Array1 is a vector, Array2 a column-major matrix, CharArray a contiguous run
// of W-character rows (some routines read across row ends, so rows are never
// stored apart). Indices are checked when KALVIR_BOUNDS_CHECK is defined
// (debug and sanitizer builds).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "runtime/platform/fixed_string.h"

#ifdef KALVIR_BOUNDS_CHECK
#include <cstdio>
#include <cstdlib>
#define KALVIR_CHECK_INDEX(cond, what)                                              \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "index out of bounds: %s (%s:%d)\n", what, __FILE__, __LINE__); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)
#else
#define KALVIR_CHECK_INDEX(cond, what) ((void)0)
#endif

namespace kalvir {

// Storage for numbers taken zeroed from the C library: a large block comes
// from fresh pages that the system zeroes on first touch, so elements the run
// never writes cost neither a write nor a page fault (the dynamic cores are
// mostly such). Value-initialisation writes nothing, since the block is zero
// already; every other construction is the ordinary one. Only a fresh block
// is ever grown into (see zeroed_block), so a default-constructed element is
// always zero.
template <class T>
struct ZeroedAllocator {
  static_assert(std::is_arithmetic_v<T>, "zero bits are the value zero only for numbers");
  using value_type = T;

  ZeroedAllocator() noexcept = default;
  template <class U>
  explicit ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    void* p = std::calloc(n, sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }

  void construct(T*) noexcept {}
  template <class... A>
  void construct(T* p, A&&... a) {
    ::new (static_cast<void*>(p)) T(std::forward<A>(a)...);
  }
  template <class U>
  struct rebind {
    using other = ZeroedAllocator<U>;
  };
  friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) noexcept { return true; }
};

// Numbers live in zeroed storage; anything else in an ordinary vector.
template <class T>
using ArrayStorage = std::conditional_t<std::is_arithmetic_v<T>, std::vector<T, ZeroedAllocator<T>>, std::vector<T>>;

// A new block of n value-initialised elements (never the old block refilled:
// for numbers that would leave the old values in place).
template <class T>
ArrayStorage<T> zeroed_block(std::size_t n) {
  ArrayStorage<T> v;
  v.resize(n);
  return v;
}

template <class T>
class Array1 {
 public:
  Array1() = default;
  explicit Array1(std::int64_t n) { allocate(n); }

  // Value-initialises every element; an extent below 1 gives an allocated empty array.
  void allocate(std::int64_t n) {
    v_ = zeroed_block<T>(n > 0 ? static_cast<std::size_t>(n) : 0U);
    allocated_ = true;
  }
  void release() {
    v_.clear();
    v_.shrink_to_fit();
    allocated_ = false;
  }
  bool allocated() const noexcept { return allocated_; }

  T& operator()(std::int64_t i) noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= size(), "Array1");
    return v_[static_cast<std::size_t>(i - 1)];
  }
  const T& operator()(std::int64_t i) const noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= size(), "Array1");
    return v_[static_cast<std::size_t>(i - 1)];
  }

  std::int64_t size() const noexcept { return static_cast<std::int64_t>(v_.size()); }
  T* data() noexcept { return v_.data(); }
  const T* data() const noexcept { return v_.data(); }
  std::span<T> span() noexcept { return v_; }
  std::span<const T> span() const noexcept { return v_; }
  auto begin() noexcept { return v_.begin(); }
  auto end() noexcept { return v_.end(); }
  auto begin() const noexcept { return v_.begin(); }
  auto end() const noexcept { return v_.end(); }

 private:
  ArrayStorage<T> v_;
  bool allocated_ = false;
};

template <class T>
class Array2 {
 public:
  Array2() = default;
  Array2(std::int64_t rows, std::int64_t cols) { allocate(rows, cols); }

  void allocate(std::int64_t rows, std::int64_t cols) {
    rows_ = std::max<std::int64_t>(rows, 0);
    cols_ = std::max<std::int64_t>(cols, 0);
    v_ = zeroed_block<T>(static_cast<std::size_t>(rows_ * cols_));
    allocated_ = true;
  }
  void release() {
    v_.clear();
    v_.shrink_to_fit();
    rows_ = cols_ = 0;
    allocated_ = false;
  }
  bool allocated() const noexcept { return allocated_; }

  T& operator()(std::int64_t i, std::int64_t j) noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= rows_ && j >= 1 && j <= cols_, "Array2");
    return v_[static_cast<std::size_t>((j - 1) * rows_ + (i - 1))];
  }
  const T& operator()(std::int64_t i, std::int64_t j) const noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= rows_ && j >= 1 && j <= cols_, "Array2");
    return v_[static_cast<std::size_t>((j - 1) * rows_ + (i - 1))];
  }
  // Column-major element k (1-based) of the whole matrix.
  T& flat(std::int64_t k) noexcept {
    KALVIR_CHECK_INDEX(k >= 1 && k <= size(), "Array2::flat");
    return v_[static_cast<std::size_t>(k - 1)];
  }

  std::int64_t rows() const noexcept { return rows_; }
  std::int64_t cols() const noexcept { return cols_; }
  std::int64_t size() const noexcept { return static_cast<std::int64_t>(v_.size()); }
  T* data() noexcept { return v_.data(); }
  const T* data() const noexcept { return v_.data(); }
  std::span<T> span() noexcept { return v_; }
  std::span<const T> span() const noexcept { return v_; }

 private:
  ArrayStorage<T> v_;
  std::int64_t rows_ = 0;
  std::int64_t cols_ = 0;
  bool allocated_ = false;
};

// Rows of W characters stored back to back, blank-initialised.
template <std::size_t W>
class CharArray {
 public:
  static constexpr std::size_t width = W;

  CharArray() = default;
  explicit CharArray(std::int64_t n) { allocate(n); }

  void allocate(std::int64_t n) {
    n = std::max<std::int64_t>(n, 0);
    if (static_cast<std::uint64_t>(n) > v_.max_size() / W) throw std::length_error("CharArray");
    v_.assign(static_cast<std::size_t>(n) * W, ' ');
    n_ = n;
    allocated_ = true;
  }
  void release() {
    v_.clear();
    v_.shrink_to_fit();
    n_ = 0;
    allocated_ = false;
  }
  bool allocated() const noexcept { return allocated_; }

  std::string_view operator()(std::int64_t i) const noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= n_, "CharArray");
    return {v_.data() + static_cast<std::size_t>(i - 1) * W, W};
  }
  std::span<char, W> row(std::int64_t i) noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= n_, "CharArray::row");
    return std::span<char, W>(v_.data() + static_cast<std::size_t>(i - 1) * W, W);
  }
  void set(std::int64_t i, std::string_view s) noexcept { assign_padded(row(i), s); }

  std::int64_t size() const noexcept { return n_; }
  char* data() noexcept { return v_.data(); }
  const char* data() const noexcept { return v_.data(); }
  // All rows as one stream of size() * W characters.
  std::string_view stream() const noexcept { return {v_.data(), v_.size()}; }
  std::span<char> stream_span() noexcept { return v_; }

 private:
  std::vector<char> v_;
  std::int64_t n_ = 0;
  bool allocated_ = false;
};

}  // namespace kalvir
