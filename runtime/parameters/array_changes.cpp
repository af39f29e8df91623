#include "runtime/parameters/array_changes.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {
namespace {

constexpr std::size_t kElementLength = 133;
constexpr std::int32_t kMaxString = 256;

}  // namespace

std::int32_t string_length(PackedRows store, std::int32_t nrows, std::int64_t pos) {
  const std::int64_t end = std::min<std::int64_t>(nrows, store.rows()) * store.width();
  for (std::int32_t n = 0; n <= kMaxString; ++n) {
    const std::int64_t p = pos + n;
    if (p < 1 || p > end) return -1;
    if (store.data()[p - 1] == '\0') return n;
  }
  return -1;
}

std::int32_t find_array(std::string_view lhs, std::int32_t isub, std::int32_t& array, std::string_view& ref) {
  array = 0;
  std::int32_t sub = isub;
  ref = lhs;
  std::int32_t colon = 0;
  SQNDEX(lhs, ":", colon);
  if (colon != 0) {
    const std::size_t paren = lhs.find('(');
    if (leading_path(lhs, paren == std::string_view::npos ? lhs.size() : paren, isub, false, sub, ref) != 0) return 1;
  }
  const std::size_t paren = ref.find('(');
  if (paren == std::string_view::npos) return 2;
  const std::string_view name = ref.substr(0, std::min<std::size_t>(paren, 18));
  if (sub >= 1 && sub <= FLAGS(flagw::NSUB)) {
    const std::int32_t before = gar_modeldirectory(14, sub);
    const std::int32_t count = gar_modeldirectory(14, sub + 1) - before;
    if (count >= 1 && before >= 0 && std::int64_t{before} + count <= gar_arraynames.size()) {
      const kalvir::CharRows names(gar_arraynames.data() + static_cast<std::size_t>(before) * 18, 18, count);
      std::int32_t st = 0, found = 0, pos = 0;
      SRFNDZ(names, count, name, st, found, pos);
      if (st == 0 && found == 1 && paren <= 18) array = before + pos;
    }
  }
  return array == 0 ? 3 : 0;
}

namespace {

// Writes VALUE over the string at POS (cut or padded to its length); the
// position after its terminator, or 0 when it cannot be read.
std::int64_t replace_string(PackedRowsMut store, std::int32_t nrows, std::int64_t pos, std::string_view value) {
  const std::int32_t len = string_length(store, nrows, pos);
  if (len < 0) return 0;
  std::int32_t col = static_cast<std::int32_t>((pos - 1) % store.width()) + 1;
  std::int32_t row = static_cast<std::int32_t>((pos - 1) / store.width()) + 1;
  if (len > 0) SMOVVA(value, len, col, row, store);
  return pos + len + 1;
}

std::int64_t skip_string(PackedRowsMut store, std::int32_t nrows, std::int64_t pos) {
  const std::int32_t len = string_length(store, nrows, pos);
  return len < 0 ? 0 : pos + len + 1;
}

void unpack_failure(std::string_view routine, std::int32_t code, std::int32_t& ierr) {
  ierr = code;
  report("Unable to unpack character array from data base@Contact Central Support", 100, 3, code, routine);
}

void array_failure(std::int32_t code, std::string_view text, std::int32_t& ierr) {
  ierr = code;
  report(text, 300, 3, code, "PARARR");
}

// The items of a value text, split at the commas (outside quotes for texts).
std::vector<std::string_view> split_items(std::string_view text, bool quotes) {
  std::vector<std::string_view> items;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (quotes && text[i] == '\'') quoted = !quoted;
    if (text[i] == ',' && !quoted) {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  items.push_back(text.substr(start));
  return items;
}

}  // namespace
}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARRAR(std::string_view KEYWORD, const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, double VALUE,
            std::span<double> ELEMENTS) {
  const bool change = kp::is_change(KEYWORD);
  kp::each_in_ranges(DIMS, RANGES, [&](std::int32_t, std::int32_t, std::int32_t, std::int64_t l) {
    if (l < 1 || l > static_cast<std::int64_t>(ELEMENTS.size())) return;
    double& x = ELEMENTS[static_cast<std::size_t>(l - 1)];
    x = change ? VALUE : x * VALUE;
  });
}

void PARIAR(const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, std::int32_t VALUE,
            std::span<std::int32_t> ELEMENTS) {
  kp::each_in_ranges(DIMS, RANGES, [&](std::int32_t, std::int32_t, std::int32_t, std::int64_t l) {
    if (l >= 1 && l <= static_cast<std::int64_t>(ELEMENTS.size())) ELEMENTS[static_cast<std::size_t>(l - 1)] = VALUE;
  });
}

void PARZA1(std::int32_t FIRST, std::int32_t NVAL, std::span<const std::string_view> VALUES, std::int32_t START,
            std::int32_t NROWS, kalvir::PackedRowsMut STORE, std::int32_t& IERR) {
  IERR = 0;
  std::int64_t pos = START;
  for (std::int32_t l = 1; l < FIRST; ++l) {
    pos = kp::skip_string(STORE, NROWS, pos);
    if (pos == 0) return kp::unpack_failure("PARZA1", 1, IERR);
  }
  for (std::int32_t v = 0; v < NVAL && v < static_cast<std::int32_t>(VALUES.size()); ++v) {
    pos = kp::replace_string(STORE, NROWS, pos, VALUES[static_cast<std::size_t>(v)]);
    if (pos == 0) return kp::unpack_failure("PARZA1", 2, IERR);
  }
}

void PARZA2(const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, std::string_view VALUE, std::int32_t START,
            std::int32_t NROWS, kalvir::PackedRowsMut STORE, std::int32_t& IERR) {
  IERR = 0;
  std::int64_t pos = START;
  for (std::int32_t k = 1; k <= DIMS[2]; ++k)
    for (std::int32_t j = 1; j <= DIMS[1]; ++j)
      for (std::int32_t i = 1; i <= DIMS[0]; ++i) {
        const auto in = [&](int d, std::int32_t x) { return x >= RANGES[d][0] && x <= RANGES[d][1]; };
        pos = in(0, i) && in(1, j) && in(2, k) ? kp::replace_string(STORE, NROWS, pos, VALUE)
                                               : kp::skip_string(STORE, NROWS, pos);
        if (pos == 0) return kp::unpack_failure("PARZA2", 1, IERR);
      }
}

void PARAIN(std::int32_t IARRAY, std::string_view INDICES, std::int32_t& START, std::int32_t& KIND,
            std::int32_t& NDIM, kp::ArrayDims& DIMS, kp::IndexRanges& RANGES, std::int32_t& RANGED,
            std::int32_t& IERR) {
  IERR = 0;
  RANGED = 0;
  DIMS = {1, 1, 1};
  RANGES = {{{1, 1}, {1, 1}, {1, 1}}};
  const auto fail = [&](std::int32_t code, std::string_view text) {
    IERR = code;
    kp::report(text, 300, 3, code, "PARAIN");
  };
  std::int32_t head = 0, nval = 0, nelem = 0, status = 0;
  std::array<std::int32_t, 3> idim{1, 1, 1};
  NDIM = 0;
  APARS(IARRAY, head, START, NDIM, idim, nval, nelem, KIND, status);
  if (status != 0) return fail(6, "Cannot find array name in data base@ContactCentral Support");
  if (KIND < 1 || KIND > 3) return fail(7, "Only Real, Integer and Character arrays supported");
  NDIM = std::clamp(NDIM, 0, 3);
  for (std::int32_t d = 0; d < NDIM; ++d) DIMS[static_cast<std::size_t>(d)] = std::max(idim[static_cast<std::size_t>(d)], 0);

  const std::size_t close = INDICES.find(')');
  if (close == std::string_view::npos || INDICES.empty() || INDICES.front() != '(')
    return fail(1, "Invalid array reference syntax@" + std::string(INDICES));
  const std::string_view inside = INDICES.substr(1, close - 1);
  std::int32_t d = 0;
  for (std::string_view item : kp::split_items(inside, false)) {
    ++d;
    if (d > NDIM) {
      fail(4, "Too many indices for this array");
      continue;
    }
    auto& r = RANGES[static_cast<std::size_t>(d - 1)];
    const std::int32_t n = DIMS[static_cast<std::size_t>(d - 1)];
    if (item == "*") {
      r = {1, n};
      RANGED = 1;
      continue;
    }
    std::int32_t ok = 0, value = 0;
    IINTC2(item, static_cast<std::int32_t>(item.size()), ok, value);
    if (ok != 1) {
      fail(3, "Array index not an integer");
    } else if (value < 1 || value > n) {
      fail(2, "Array reference out of bounds");
    } else {
      r = {value, value};
    }
  }
  for (++d; d <= 3; ++d)
    if (d <= NDIM) fail(5, "Too few indices for this array");
}

void PARARR(std::string_view KEYWORD, std::string_view LHS, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR) {
  IERR = 0;
  const std::string_view lhs = kalvir::trim_right(LHS);
  const bool change = kp::is_change(KEYWORD);
  std::int32_t array = 0;
  std::string_view ref;
  switch (kp::find_array(lhs, ISUB, array, ref)) {
    case 1: return kp::array_failure(1, "Unrecognised submodel name@" + std::string(lhs), IERR);
    case 2: return kp::array_failure(2, "Invalid entity reference syntax@" + std::string(ref), IERR);
    case 3: return kp::array_failure(3, "Unrecognised entity name@" + std::string(lhs), IERR);
    default: break;
  }
  const std::size_t paren = ref.find('(');

  std::int32_t start = 0, kind = 0, ndim = 0, ranged = 0;
  kp::ArrayDims dims{};
  kp::IndexRanges ranges{};
  PARAIN(array, ref.substr(paren), start, kind, ndim, dims, ranges, ranged, IERR);
  if (IERR != 0) return;
  constexpr std::int32_t kInteger = 1, kReal = 2;
  if (!change && kind == kInteger) return kp::array_failure(4, "Cannot scale integer values", IERR);
  if (!change && kind != kReal) return kp::array_failure(4, "Cannot scale character values", IERR);

  const std::vector<std::string_view> items = kp::split_items(kalvir::trim_right(VALUE), kind != kReal && kind != kInteger);
  std::vector<double> reals;
  std::vector<std::int32_t> ints;
  std::vector<kalvir::Chars<133>> texts;
  for (std::string_view item : items) {
    if (kind == kReal) {
      double v = 0.0;
      kp::read_real(KEYWORD, item, v, IERR);
      reals.push_back(v);
    } else if (kind == kInteger) {
      std::int32_t v = 0;
      PARIGT(item, v, IERR);
      ints.push_back(v);
    } else {
      kalvir::Chars<133> v;
      PARZVL(item, v.span(), IERR);
      texts.push_back(v);
    }
    if (IERR != 0) return;
  }
  const auto nvalues = static_cast<std::int32_t>(items.size());
  if (!change && nvalues > 1) return kp::array_failure(4, "Can only supply list of values with CHANGE", IERR);

  const std::int64_t size = std::int64_t{dims[0]} * dims[1] * dims[2];
  std::vector<std::string_view> values;
  for (const auto& t : texts) values.push_back(t.view());
  const kalvir::PackedRowsMut store(gar_arrayvalueschar);
  const auto rows = static_cast<std::int32_t>(gar_arrayvalueschar.size());
  const auto elements = [&](auto& store_array) {
    using T = std::remove_reference_t<decltype(store_array(1))>;
    if (start < 1 || std::int64_t{start} - 1 + size > store_array.size()) return std::span<T>{};
    return store_array.span().subspan(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(size));
  };

  if (ranged == 0) {
    const std::int64_t first = kp::linear_index(dims, ranges[0][0], ranges[1][0], ranges[2][0]);
    if (first + nvalues - 1 > size)
      return kp::array_failure(kind == kInteger ? 5 : 7, "Too many values specified - will run off end of array",
                               IERR);
    if (kind == kReal) {
      const auto e = elements(gar_arrayvaluesreal);
      for (std::int32_t v = 0; v < nvalues && !e.empty(); ++v) {
        double& x = e[static_cast<std::size_t>(first - 1 + v)];
        x = change ? reals[static_cast<std::size_t>(v)] : x * reals[static_cast<std::size_t>(v)];
      }
    } else if (kind == kInteger) {
      const auto e = elements(gar_arrayvaluesint);
      for (std::int32_t v = 0; v < nvalues && !e.empty(); ++v)
        e[static_cast<std::size_t>(first - 1 + v)] = ints[static_cast<std::size_t>(v)];
    } else {
      PARZA1(static_cast<std::int32_t>(first), nvalues, values, start, rows, store, IERR);
    }
    return;
  }
  if (nvalues > 1)
    return kp::array_failure(kind == kInteger ? 4 : 6,
                             "Cannot specify array reference range (m, *) with more than one value", IERR);
  if (kind == kReal) {
    PARRAR(KEYWORD, dims, ranges, reals[0], elements(gar_arrayvaluesreal));
  } else if (kind == kInteger) {
    PARIAR(dims, ranges, ints[0], elements(gar_arrayvaluesint));
  } else {
    PARZA2(dims, ranges, values[0], start, rows, store, IERR);
  }
}
