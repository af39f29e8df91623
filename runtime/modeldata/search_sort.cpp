#include "runtime/modeldata/search_sort.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"

int kalvir::compare_padded(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    const auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

namespace {

// A count that runs past the array handed in is a fault of the caller, never
// a reason to read or write beyond the array.
void require_room(std::string_view routine, std::int64_t needed, std::int64_t available) {
  if (needed > available) {
    internal_stop(std::string(routine) + ": count of " + std::to_string(needed) +
                  " exceeds the array of " + std::to_string(available));
  }
}

// The start of a search of n records in a list with room for `room`: nothing
// found yet; false (IERR 1) when there is nothing to search.
bool search_start(std::string_view routine, std::int32_t n, std::int64_t room, std::int32_t& ierr,
                  std::int32_t& found, std::int32_t& pos) {
  found = 0;
  pos = 0;
  ierr = n < 1 ? 1 : 0;
  if (ierr != 0) return false;
  require_room(routine, n, room);
  return true;
}

template <class T>
int three_way(const T& a, const T& b) noexcept {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Bisection shared by SOFNDI, SOFNDZ and SOFNDM. CMP(k) compares entry k with
// the value sought (negative: entry smaller).
template <class Cmp>
void bisect(std::string_view routine, std::int32_t n, Cmp cmp, std::int32_t& found,
            std::int32_t& pos) {
  found = 0;
  pos = 0;
  kalvir::LoopGuard guard(routine);
  std::int32_t match = 0;
  if (const int c = cmp(1); c == 0) {
    match = 1;
  } else if (c > 0) {
    pos = 1;
    return;
  } else if (const int cl = cmp(n); cl < 0) {
    pos = n + 1;
    return;
  } else if (cl == 0) {
    match = n;
  } else {
    std::int32_t low = 1;
    std::int32_t high = n;
    while (low < high - 1) {
      guard.tick();
      const std::int32_t mid = low + (high - low) / 2;
      const int cm = cmp(mid);
      if (cm == 0) {
        match = mid;
        break;
      }
      (cm < 0 ? low : high) = mid;
    }
    if (match == 0) {
      pos = high;
      return;
    }
  }
  // The first of a run of equal entries, wherever the match fell in it.
  while (match > 1 && cmp(match - 1) == 0) {
    guard.tick();
    --match;
  }
  found = 1;
  pos = match;
}

// Linear search of records 1..n in order: FOUND 1 and POS the first k for
// which matches(k) holds, else FOUND 0 and POS 0.
template <class Matches>
void scan(std::string_view routine, std::int32_t n, Matches matches, std::int32_t& found, std::int32_t& pos) {
  found = 0;
  pos = 0;
  kalvir::LoopGuard guard(routine);
  for (std::int32_t k = 1; k <= n; ++k) {
    guard.tick();
    if (matches(k)) {
      found = 1;
      pos = k;
      return;
    }
  }
}

int compare_keys(std::span<const std::int32_t> a, std::span<const std::int32_t> b,
                 std::int32_t n) noexcept {
  for (std::int32_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (a[k] != b[k]) return a[k] > b[k] ? 1 : -1;
  }
  return 0;
}

int compare_magnitudes(std::span<const std::int32_t> a, std::span<const std::int32_t> b,
                       std::int32_t n, kalvir::LoopGuard& guard) {
  for (std::int32_t i = 0; i < n; ++i) {
    guard.tick();
    const auto k = static_cast<std::size_t>(i);
    // In 64 bits, so that the magnitude of the most negative word exists.
    const std::int64_t x = std::abs(static_cast<std::int64_t>(a[k]));
    const std::int64_t y = std::abs(static_cast<std::int64_t>(b[k]));
    if (x != y) return x > y ? 1 : -1;
  }
  return 0;
}

}  // namespace

void SOFNDI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE,
            std::int32_t& IERR, std::int32_t& FOUND, std::int32_t& IPOS) {
  if (!search_start("SOFNDI", N, static_cast<std::int64_t>(LIST.size()), IERR, FOUND, IPOS)) return;
  bisect("SOFNDI", N,
         [&](std::int32_t k) { return three_way(LIST[static_cast<std::size_t>(k - 1)], VALUE); },
         FOUND, IPOS);
}

void SOFNDZ(kalvir::CharRows LIST, std::int32_t N, std::string_view TEXT, std::int32_t& IERR,
            std::int32_t& FOUND, std::int32_t& IPOS) {
  if (!search_start("SOFNDZ", N, LIST.size(), IERR, FOUND, IPOS)) return;
  bisect("SOFNDZ", N, [&](std::int32_t k) { return kalvir::compare_padded(LIST(k), TEXT); }, FOUND,
         IPOS);
}

void SOFNDM(std::span<const std::int32_t> LIST, std::int32_t NKEY, std::int32_t N,
            std::span<const std::int32_t> KEY, std::int32_t& IERR, std::int32_t& FOUND,
            std::int32_t& IPOS) {
  FOUND = 0;
  IPOS = 0;
  IERR = (NKEY < 1 || N < 1) ? 1 : 0;
  if (IERR != 0) return;
  require_room("SOFNDM", static_cast<std::int64_t>(NKEY) * N, static_cast<std::int64_t>(LIST.size()));
  require_room("SOFNDM", NKEY, static_cast<std::int64_t>(KEY.size()));
  const auto width = static_cast<std::size_t>(NKEY);
  bisect("SOFNDM", N,
         [&](std::int32_t k) {
           return compare_keys(LIST.subspan(static_cast<std::size_t>(k - 1) * width, width), KEY, NKEY);
         },
         FOUND, IPOS);
}

void SRFNDI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE,
            std::int32_t& IERR, std::int32_t& FOUND, std::int32_t& IPOS) {
  if (!search_start("SRFNDI", N, static_cast<std::int64_t>(LIST.size()), IERR, FOUND, IPOS)) return;
  scan("SRFNDI", N, [&](std::int32_t k) { return LIST[static_cast<std::size_t>(k - 1)] == VALUE; }, FOUND, IPOS);
}

void SRFNDZ(kalvir::CharRows LIST, std::int32_t N, std::string_view TEXT, std::int32_t& IERR,
            std::int32_t& FOUND, std::int32_t& IPOS) {
  if (!search_start("SRFNDZ", N, LIST.size(), IERR, FOUND, IPOS)) return;
  scan("SRFNDZ", N, [&](std::int32_t k) { return kalvir::compare_padded(LIST(k), TEXT) == 0; }, FOUND, IPOS);
}

void PNDPOS(std::span<const std::int32_t> LIST, std::int32_t ISTART, std::int32_t N,
            std::int32_t VALUE, std::int32_t& IPOS, std::int32_t& IERR) {
  IPOS = 0;
  IERR = 1;
  if (N < 1) return;
  if (ISTART < 1) internal_stop("PNDPOS: start " + std::to_string(ISTART) + " outside the list");
  require_room("PNDPOS", static_cast<std::int64_t>(ISTART) - 1 + N, static_cast<std::int64_t>(LIST.size()));
  std::int32_t found = 0;
  std::int32_t offset = 0;
  std::int32_t status = 0;
  SRFNDI(LIST.subspan(static_cast<std::size_t>(ISTART - 1)), N, VALUE, status, found, offset);
  if (found == 1) {
    IPOS = ISTART + offset - 1;
    IERR = 0;
  }
}

void SCOMPI(std::span<const std::int32_t> A, std::span<const std::int32_t> B, std::int32_t N,
            std::int32_t& IRES, std::int32_t& IERR) {
  IRES = 0;
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SCOMPI", N, static_cast<std::int64_t>(std::min(A.size(), B.size())));
  IRES = compare_keys(A, B, N);
}

void SCOMPX(std::span<const std::int32_t> A, std::span<const std::int32_t> B, std::int32_t N,
            std::int32_t& IRES, std::int32_t& IERR) {
  IRES = 0;
  IERR = N < 1 ? -1 : 0;
  if (IERR != 0) return;
  require_room("SCOMPX", N, static_cast<std::int64_t>(std::min(A.size(), B.size())));
  kalvir::LoopGuard guard("SCOMPX");
  IRES = compare_magnitudes(A, B, N, guard);
}

namespace {

enum class SortOrder { Bad, Increasing, Decreasing };

SortOrder sort_order(std::string_view order) {
  if (kalvir::compare_padded(order, "INC") == 0) return SortOrder::Increasing;
  if (kalvir::compare_padded(order, "DEC") == 0) return SortOrder::Decreasing;
  return SortOrder::Bad;
}

template <class Key>
void insertion_sort(std::string_view routine, std::string_view order, std::int32_t n,
                    std::span<std::int32_t> index, std::span<Key> keys, std::int32_t& ierr) {
  const SortOrder dir = sort_order(order);
  ierr = (dir == SortOrder::Bad || n < 1) ? 1 : 0;
  if (ierr != 0) return;
  require_room(routine, n, static_cast<std::int64_t>(std::min(index.size(), keys.size())));
  kalvir::LoopGuard guard(routine);
  for (std::size_t k = 1; k < static_cast<std::size_t>(n); ++k) {
    const Key key = keys[k];
    const std::int32_t idx = index[k];
    std::size_t j = k;
    // Strict comparison: equal keys keep their order.
    while (j > 0 && (dir == SortOrder::Increasing ? keys[j - 1] > key : keys[j - 1] < key)) {
      guard.tick();
      keys[j] = keys[j - 1];
      index[j] = index[j - 1];
      --j;
    }
    keys[j] = key;
    index[j] = idx;
  }
}

}  // namespace

void SORTII(std::string_view ORDER, std::int32_t N, std::span<std::int32_t> INDEX,
            std::span<std::int32_t> KEYS, std::int32_t& IERR) {
  insertion_sort("SORTII", ORDER, N, INDEX, KEYS, IERR);
}

void SORTRI(std::string_view ORDER, std::int32_t N, std::span<std::int32_t> INDEX,
            std::span<double> KEYS, std::int32_t& IERR) {
  insertion_sort("SORTRI", ORDER, N, INDEX, KEYS, IERR);
}

namespace {

constexpr std::int32_t kMaxKeyWords = 100;
constexpr int kBoundaryStack = 100;

// The records of SSMSRT and its steps: record k (1-based) of nkey words.
class KeyRecords {
 public:
  using Buffer = std::array<std::int32_t, kMaxKeyWords>;

  KeyRecords(std::span<std::int32_t> list, std::int32_t nkey) : list_(list), nkey_(nkey) {}

  std::span<std::int32_t> rec(std::int32_t k) const {
    return list_.subspan(static_cast<std::size_t>(k - 1) * width(), width());
  }
  // Ordering of SCOMPX.
  int cmp(std::span<const std::int32_t> a, std::span<const std::int32_t> b) const {
    kalvir::LoopGuard guard("SCOMPX");
    return compare_magnitudes(a, b, nkey_, guard);
  }
  int cmp(std::int32_t i, std::int32_t j) const { return cmp(rec(i), rec(j)); }
  void move(std::int32_t from, std::int32_t to) const {
    std::copy_n(rec(from).begin(), width(), rec(to).begin());
  }
  void load(std::int32_t k, Buffer& held) const { std::copy_n(rec(k).begin(), width(), held.begin()); }
  void store(const Buffer& held, std::int32_t k) const {
    std::copy_n(held.begin(), width(), rec(k).begin());
  }
  std::span<const std::int32_t> view(const Buffer& held) const { return {held.data(), width()}; }

 private:
  std::size_t width() const noexcept { return static_cast<std::size_t>(nkey_); }
  std::span<std::int32_t> list_;
  std::int32_t nkey_;
};

// SERCHD: HIGH moves down past the records greater than the pivot, never
// below the hole.
void SERCHD(const KeyRecords& r, const KeyRecords::Buffer& pivot, std::int32_t hole,
            std::int32_t& high) {
  kalvir::LoopGuard guard("SERCHD");
  while (high > hole && r.cmp(r.rec(high), r.view(pivot)) > 0) {
    guard.tick();
    --high;
  }
}

// SERCHU: LOW moves up past the records smaller than the pivot, never above
// the hole.
void SERCHU(const KeyRecords& r, const KeyRecords::Buffer& pivot, std::int32_t hole,
            std::int32_t& low) {
  kalvir::LoopGuard guard("SERCHU");
  while (low < hole && r.cmp(r.rec(low), r.view(pivot)) < 0) {
    guard.tick();
    ++low;
  }
}

// Takes record HOLE aside and slides it STEP (+1 or -1) at a time toward
// LIMIT past the records that belong on its other side, each shifted one
// place back; returns where it is put down.
std::int32_t slide_record(const KeyRecords& r, std::int32_t hole, std::int32_t limit, int step,
                          kalvir::LoopGuard& guard) {
  KeyRecords::Buffer held{};
  r.load(hole, held);
  const auto beyond = [&](std::int32_t k) {
    if (step > 0 ? k > limit : k < limit) return false;
    const int c = r.cmp(r.rec(k), r.view(held));
    return step > 0 ? c < 0 : c > 0;
  };
  std::int32_t k = hole + step;
  while (beyond(k)) {
    guard.tick();
    r.move(k, k - step);
    k += step;
  }
  r.store(held, k - step);
  return k - step;
}

// SPIVOT: partitions records FIRST..LAST around the record at their first
// descent. Returns false when the range turned out (or was made) sorted;
// otherwise PLACE is the pivot's final position.
bool SPIVOT(const KeyRecords& r, std::int32_t first, std::int32_t last, std::int32_t& place) {
  kalvir::LoopGuard guard("SPIVOT");
  std::int32_t i = first;
  while (i < last && r.cmp(i, i + 1) <= 0) {
    guard.tick();
    ++i;
  }
  if (i >= last) return false;
  if (i == last - 1) {
    // Only the last record is out of place: insert it among the ordered ones.
    slide_record(r, last, first, -1, guard);
    return false;
  }
  KeyRecords::Buffer held{};
  r.load(i, held);
  std::int32_t hole = i;
  std::int32_t low = i + 1;
  std::int32_t high = last;
  while (low < high) {
    guard.tick();
    SERCHD(r, held, hole, high);
    if (high > hole) {
      r.move(high, hole);
      hole = high;
      --high;
    }
    SERCHU(r, held, hole, low);
    if (low < hole) {
      r.move(low, hole);
      hole = low;
      ++low;
    }
  }
  if (low == high) {
    const int c = r.cmp(r.view(held), r.rec(low));
    if ((c > 0 && hole < low) || (c < 0 && hole > low)) {
      r.move(low, hole);
      hole = low;
    }
  }
  r.store(held, hole);
  place = hole;
  return true;
}

// SSBSRT: bidirectional bubble sort of records FIRST..LAST, the moving record
// held aside while the others shift past it.
void SSBSRT(const KeyRecords& r, std::int32_t first, std::int32_t last) {
  kalvir::LoopGuard guard("SSBSRT");
  std::int32_t start = first;
  std::int32_t end = last;
  while (start < end) {
    // Forward: the largest record travels to the end.
    std::int32_t put = 0;
    for (std::int32_t j = start; j < end;) {
      guard.tick();
      if (r.cmp(j, j + 1) <= 0) {
        ++j;
        continue;
      }
      put = slide_record(r, j, end, +1, guard);
      j = put + 1;
    }
    if (put == 0) return;
    end = put - 1;
    if (start >= end) return;
    // Backward: the smallest record travels to the start.
    put = 0;
    for (std::int32_t j = end; j > start;) {
      guard.tick();
      if (r.cmp(j - 1, j) <= 0) {
        --j;
        continue;
      }
      put = slide_record(r, j, start, -1, guard);
      j = put - 1;
    }
    if (put == 0) return;
    start = put + 1;
  }
}

}  // namespace

void SSMSRT(std::int32_t NKEY, std::int32_t N, std::span<std::int32_t> LIST, std::int32_t& IERR,
            std::int32_t& ICHECK) {
  if (N < 2) return;
  IERR = 0;
  if (NKEY < 1) {
    IERR = -1;  // what the key comparison reports for an empty key
    return;
  }
  if (NKEY > kMaxKeyWords) {
    IERR = 1;  // the record buffers hold 100 words
    return;
  }
  require_room("SSMSRT", static_cast<std::int64_t>(NKEY) * N, static_cast<std::int64_t>(LIST.size()));
  const KeyRecords r(LIST, NKEY);
  kalvir::LoopGuard guard("SSMSRT");

  // Segment on top: the records strictly between bound[depth + 1] (below)
  // and bound[depth] (above).
  std::array<std::int32_t, kBoundaryStack + 1> bound{};
  bound[1] = N + 1;
  bound[2] = 0;
  int depth = 1;
  while (depth > 0) {
    guard.tick();
    const std::int32_t lower = bound[static_cast<std::size_t>(depth + 1)];
    const std::int32_t upper = bound[static_cast<std::size_t>(depth)];
    std::int32_t place = 0;
    if (!SPIVOT(r, lower + 1, upper - 1, place)) {
      --depth;
    } else if (place - lower <= 2) {
      bound[static_cast<std::size_t>(depth + 1)] = place;
    } else {
      ++depth;
      bound[static_cast<std::size_t>(depth + 1)] = lower;
      bound[static_cast<std::size_t>(depth)] = place;
    }
    // Settle the small segments on top; a large one is partitioned next
    // unless the stack is full.
    while (depth > 0) {
      guard.tick();
      const std::int32_t lo = bound[static_cast<std::size_t>(depth + 1)];
      const std::int32_t hi = bound[static_cast<std::size_t>(depth)];
      const std::int32_t size = hi - lo - 1;
      if (size >= 7 && depth <= kBoundaryStack - 2) break;
      if (size >= 2) SSBSRT(r, lo + 1, hi - 1);
      --depth;
    }
  }

  if (ICHECK != 0) {
    ICHECK = 0;
    for (std::int32_t k = 1; k < N; ++k) {
      guard.tick();
      if (r.cmp(k, k + 1) == 0) {
        ICHECK = 1;
        break;
      }
    }
  }
}

void SOMSRT(std::int32_t IPOS, std::int32_t NREC, std::span<std::int32_t> LIST) {
  constexpr std::int32_t kWords = 5;
  if (NREC < 2) return;
  if (IPOS < 1) internal_stop("SOMSRT: word position " + std::to_string(IPOS) + " outside the list");
  require_room("SOMSRT", static_cast<std::int64_t>(IPOS) - 1 + static_cast<std::int64_t>(NREC) * kWords,
               static_cast<std::int64_t>(LIST.size()));
  auto rec = [&](std::int32_t k) {
    return LIST.subspan(static_cast<std::size_t>(IPOS - 1 + k * kWords), kWords);
  };
  std::array<std::int32_t, kWords> held{};
  std::copy_n(rec(0).begin(), kWords, held.begin());
  kalvir::LoopGuard guard("SOMSRT");
  std::int32_t k = 1;
  while (k < NREC && compare_keys(rec(k), held, kWords) < 0) {
    guard.tick();
    std::copy_n(rec(k).begin(), kWords, rec(k - 1).begin());
    ++k;
  }
  std::copy_n(held.begin(), kWords, rec(k - 1).begin());
}

void SICOPY(std::span<const std::int32_t> SRC, std::int32_t N, std::int32_t& IERR,
            std::span<std::int32_t> DST) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SICOPY", N, static_cast<std::int64_t>(std::min(SRC.size(), DST.size())));
  std::copy_n(SRC.begin(), N, DST.begin());
}

void SCOPYD(std::span<const double> SRC, std::int32_t N, std::int32_t& IERR, std::span<double> DST) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SCOPYD", N, static_cast<std::int64_t>(std::min(SRC.size(), DST.size())));
  std::copy_n(SRC.begin(), N, DST.begin());
}

void SZCOPY(kalvir::CharRows SRC, std::int32_t N, std::int32_t& IERR, kalvir::CharRowsMut DST) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SZCOPY", N, std::min(SRC.size(), DST.size()));
  kalvir::LoopGuard guard("SZCOPY");
  for (std::int32_t k = 1; k <= N; ++k) {
    guard.tick();
    kalvir::assign_padded(DST.row(k), SRC(k));
  }
}

void SZEROI(std::int32_t N, std::span<std::int32_t> ARR, std::int32_t& IERR) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SZEROI", N, static_cast<std::int64_t>(ARR.size()));
  std::fill_n(ARR.begin(), N, 0);
}

void Szerod(std::int32_t N, std::span<double> ARR, std::int32_t& IERR) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("Szerod", N, static_cast<std::int64_t>(ARR.size()));
  std::fill_n(ARR.begin(), N, 0.0);
}

void SZEROZ(std::int32_t N, kalvir::CharRowsMut ARR, std::int32_t& IERR) {
  IERR = N < 1 ? 1 : 0;
  if (IERR != 0) return;
  require_room("SZEROZ", N, ARR.size());
  for (std::int32_t k = 1; k <= N; ++k) kalvir::assign_padded(ARR.row(k), "");
}

double SRLMAX() { return 1.0e38; }

bool SMINRL(double X) { return std::fabs(X) < 1.0e-37; }

bool SMINDL(double X) { return std::fabs(X) < static_cast<double>(1.0e-37F); }
