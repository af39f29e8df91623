#include "runtime/control/global_arrays.h"

#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/run_end.h"

#define KALVIR_X(name, type, ...) kalvir::gar::type name;
KALVIR_GAR_TABLE(KALVIR_X)
#undef KALVIR_X

namespace {

std::uint64_t allocations = 0;

template <class A, class... Extents>
void allocate_one(A& array, const char* name, Extents... extents) {
  if (array.allocated()) {
    internal_stop(std::string("Attempting to allocate already allocated variable '") + name + "'");
  }
  if (((static_cast<long long>(extents) < 0) || ...)) {
    internal_stop(std::string("Corrupt model size: negative extent for '") + name + "'");
  }
  allocate_or_stop([&] { array.allocate(static_cast<long long>(extents)...); });
}

}  // namespace

GarSizes gar_sizes_from_flags() {
  return GarSizes{
      gfl_getlenarrayinfolist(),   gfl_getlendynamiccore(),        18,
      gfl_getlenpcsfluid(),        gfl_getlenpcsthermal(),         gfl_getlenpcsthermalold(),
      gfl_getnumallarrays(),       gfl_getnumallcontrolconstants(), gfl_getnumalluserconstants(),
      gfl_getnumchararrayelements(), gfl_getnumcharuserconstants(), gfl_getnumcharuserelements(),
      gfl_getnumfluidicconds(),    gfl_getnumfluidnodes(),         gfl_getnumintegerarrayelements(),
      gfl_getnumintegeruserconstants(), gfl_getnumlinearconds(),   gfl_getnummassflowlinks(),
      gfl_getnumnodealiases(),     gfl_getnumradiativeconds(),     gfl_getnumrealarrayelements(),
      gfl_getnumrealuserconstants(), gfl_getnumsubmodels(),        gfl_getnumthermalnodes(),
      SPRSIZ(3),                   SPRSIZ(4),                      SPRSIZ(5),
      gfl_getnumvfacconds()};
}

std::uint64_t gar_allocation_count() noexcept { return allocations; }

void gar_Allocate(const GarSizes& s) {
  ++allocations;
#define KALVIR_X(name, type, ...) allocate_one(name, #name, __VA_ARGS__);
  KALVIR_GAR_TABLE(KALVIR_X)
#undef KALVIR_X
}

void gar_release_all_for_tests() {
#define KALVIR_X(name, type, ...) name.release();
  KALVIR_GAR_TABLE(KALVIR_X)
#undef KALVIR_X
}

DynamicCoreMark::DynamicCoreMark() noexcept : real_(FLAGS(29)), int_(FLAGS(36)) {}

DynamicCoreMark::~DynamicCoreMark() {
  FLAGS(29) = real_;
  FLAGS(36) = int_;
}

std::int32_t DynamicCoreMark::take_real(std::int32_t words) noexcept {
  const std::int32_t first = FLAGS(29);
  FLAGS(29) = first + words;
  return first;
}

std::int32_t DynamicCoreMark::take_int(std::int32_t words) noexcept {
  const std::int32_t first = FLAGS(36);
  FLAGS(36) = first + words;
  return first;
}
