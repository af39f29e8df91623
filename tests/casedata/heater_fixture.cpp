#include "tests/casedata/heater_fixture.h"

#include <algorithm>

#include "runtime/casedata/heaters.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/platform/process.h"

namespace kalvir::test {

std::int32_t HeaterArrays::raw(std::vector<std::int32_t> words) {
  pointers_.push_back(static_cast<std::int32_t>(info_.size() + 1));
  info_.insert(info_.end(), words.begin(), words.end());
  return static_cast<std::int32_t>(pointers_.size());
}

std::int32_t HeaterArrays::real(std::vector<std::int32_t> dims, std::vector<double> values) {
  const auto start = static_cast<std::int32_t>(reals_.size() + 1);
  reals_.insert(reals_.end(), values.begin(), values.end());
  std::vector<std::int32_t> words{2, static_cast<std::int32_t>(values.size()), start,
                                  static_cast<std::int32_t>(dims.size())};
  words.insert(words.end(), dims.begin(), dims.end());
  return raw(words);
}

std::int32_t HeaterArrays::integer(std::vector<std::int32_t> dims, std::vector<std::int32_t> values) {
  const auto start = static_cast<std::int32_t>(ints_.size() + 1);
  ints_.insert(ints_.end(), values.begin(), values.end());
  std::vector<std::int32_t> words{1, static_cast<std::int32_t>(values.size()), start,
                                  static_cast<std::int32_t>(dims.size())};
  words.insert(words.end(), dims.begin(), dims.end());
  return raw(words);
}

std::int32_t HeaterArrays::table(std::int32_t nvars, std::vector<std::int32_t> header, std::vector<double> reals) {
  const auto head = static_cast<std::int32_t>(ints_.size() + 1);
  const auto start = static_cast<std::int32_t>(reals_.size() + 1);
  ints_.insert(ints_.end(), header.begin(), header.end());
  reals_.insert(reals_.end(), reals.begin(), reals.end());
  return raw({4, static_cast<std::int32_t>(header.size()), head, static_cast<std::int32_t>(reals.size()), start,
              nvars});
}

void HeaterArrays::install() const {
  const auto size = [](std::size_t n) { return static_cast<std::int64_t>(std::max<std::size_t>(n, 1)); };
  gar_arrayinfolist.allocate(size(info_.size()));
  gar_arrayinfopointers.allocate(static_cast<std::int64_t>(pointers_.size()));
  gar_arraynames.allocate(static_cast<std::int64_t>(pointers_.size()));
  gar_arrayvaluesint.allocate(size(ints_.size()));
  gar_arrayvaluesreal.allocate(size(reals_.size()));
  std::copy(info_.begin(), info_.end(), gar_arrayinfolist.begin());
  std::copy(pointers_.begin(), pointers_.end(), gar_arrayinfopointers.begin());
  std::copy(ints_.begin(), ints_.end(), gar_arrayvaluesint.begin());
  std::copy(reals_.begin(), reals_.end(), gar_arrayvaluesreal.begin());
  for (std::size_t k = 0; k < pointers_.size(); ++k)
    gar_arraynames.set(static_cast<std::int64_t>(k) + 1, "ARRAY" + std::to_string(k + 1));
  FLAGS(18) = static_cast<std::int32_t>(gar_arrayinfolist.size());
  FLAGS(19) = static_cast<std::int32_t>(pointers_.size());
  FLAGS(20) = static_cast<std::int32_t>(gar_arrayvaluesreal.size());
  FLAGS(21) = static_cast<std::int32_t>(gar_arrayvaluesint.size());
}

std::int32_t add_plane_table(HeaterArrays& arrays) {
  std::vector<double> reals{0, 1, 2, 0, 10, 20, 30};
  for (const double x1 : {0.0, 1.0, 2.0})
    for (const double x2 : {0.0, 10.0, 20.0, 30.0}) reals.push_back(100 * x1 + x2);
  return arrays.table(2, {0, 1, 2, 2, 3, 1, -4, 4, 8}, reals);
}

void define(const HeaterDef& d) {
  htr_Define(d.name, d.measured, d.tOn, d.tOff, d.method, d.power, d.factors, d.option, d.nominal, d.loadArray,
             d.period, d.scale, d.transientMode, d.initialState, d.steadyMode, d.steadyFraction, d.relaxation,
             d.setPoint);
}

int run(const std::function<void()>& body) { return kalvir::platform::run_program(body); }

}  // namespace kalvir::test
