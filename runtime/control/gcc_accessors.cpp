#include "runtime/control/gcc_accessors.h"

#include <algorithm>
#include <utility>

#define KALVIR_X(N, n)                         \
  double gcc_get##n() { return GLOR.N; }       \
  void gcc_set##n(double value) { GLOR.N = value; }
KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X

#define KALVIR_X(N, n)                               \
  std::int32_t gcc_get##n() { return GLOI.N; }       \
  void gcc_set##n(std::int32_t value) { GLOI.N = value; }
KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X

#define KALVIR_X(N, n, len, def)                     \
  std::string gcc_get##n() { return GLOC.N.str(); }  \
  void gcc_set##n(std::string_view value) { GLOC.N = value; }
KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X

namespace {

// Storage-order positions of the constants in alphabetical order of their
// names (a blank sorts below any letter, which plain character order gives).
template <std::size_t N>
std::array<int, N> alphabetical_order(std::span<const std::string_view> names) {
  std::array<int, N> order{};
  for (std::size_t i = 0; i < N; ++i) order[i] = static_cast<int>(i) + 1;
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return names[a - 1] < names[b - 1]; });
  return order;
}

template <std::size_t N>
std::array<std::string, N> name_table(std::span<const std::string_view> names,
                                      const std::array<int, N>& order) {
  std::array<std::string, N> t;
  for (std::size_t i = 0; i < N; ++i) t[i] = kalvir::padded(names[order[i] - 1], 6);
  return t;
}

const std::array<int, 49> kRealOrder = alphabetical_order<49>(glor_names());
const std::array<int, 25> kIntOrder = alphabetical_order<25>(gloi_names());
const std::array<int, 16> kCharOrder = alphabetical_order<16>(gloc_names());

}  // namespace

const std::array<std::string, 49> gcc_ctrl_const_names_real = name_table(glor_names(), kRealOrder);
const std::array<std::string, 25> gcc_ctrl_const_names_int = name_table(gloi_names(), kIntOrder);
const std::array<std::string, 16> gcc_ctrl_const_names_char = name_table(gloc_names(), kCharOrder);

void gcc_getvaluesreal(std::span<double> values) {
  for (std::size_t i = 0; i < kRealOrder.size(); ++i) values[i] = GLOR(kRealOrder[i]);
}

void gcc_getvaluesint(std::span<std::int32_t> values) {
  for (std::size_t i = 0; i < kIntOrder.size(); ++i) values[i] = GLOI(kIntOrder[i]);
}

void gcc_getvalueschar(kalvir::CharArray<132>& values) {
  for (std::size_t i = 0; i < kCharOrder.size(); ++i) {
    values.set(static_cast<std::int64_t>(i) + 1, std::as_const(GLOC).field(kCharOrder[i]));
  }
}
