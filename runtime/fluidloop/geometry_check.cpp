#include "runtime/fluidloop/geometry_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/fluidloop/support.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

// A node quantity that must be greater than zero, with its message code.
struct NodeQuantity {
  std::string_view words;
  double (*value)(std::int32_t n);
  std::int32_t code;
};

constexpr std::array kNodeQuantities{
    NodeQuantity{"flow area", [](std::int32_t n) { return gar_fluidnodeflowareas(n); }, 1},
    NodeQuantity{"length", [](std::int32_t n) { return gar_fluidnodelengths(n); }, 2},
    NodeQuantity{"hydraulic diameter", [](std::int32_t n) { return gar_fluidnodehydraulicdiameters(n); }, 3},
    NodeQuantity{"volume", [](std::int32_t n) { return gar_fluidnodevolumes(n); }, 4},
};
constexpr std::int32_t kFittingCode = 5;
// Node quantities that may take either sign but must be numbers: the
// compliance and the volume change rate move the volume in every step.
constexpr std::array kNodeRates{
    NodeQuantity{"compliance", [](std::int32_t n) { return gar_fluidnodecompliances(n); }, 6},
    NodeQuantity{"volume change rate", [](std::int32_t n) { return gar_fluidnodevolumechangerates(n); }, 7},
};

// Stops the run with TEXT, MESBLD naming internal node NODE at its end.
[[noreturn]] void stop(std::string text, std::int32_t node, std::int32_t code) {
  text = padded(text, 170);
  MESBLD(node, text);
  SETERX(text, 4, code, "FGEOCK");
  internal_stop("FGEOCK " + std::to_string(code));
}

std::string value_text(double v) {
  const std::string field = platform::edit_e(v, 13, 5, 0, 1);
  return field.substr(std::min(field.find_first_not_of(' '), field.size()));
}

}  // namespace

void FGEOCK(std::string_view ROUTINE) {
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  for (std::int32_t n = 1; n <= nf; ++n) {
    for (const NodeQuantity& q : kNodeQuantities) {
      const double v = q.value(n);
      if (std::isfinite(v) && v > 0.0) continue;
      std::string text(ROUTINE);
      text += ": Fluid node ";
      text += q.words;
      text += std::isfinite(v) ? " not greater than zero@Value " : " not a finite number@Value ";
      text += value_text(v);
      text += " at";
      stop(text, internal_index(n), q.code);
    }
    for (const NodeQuantity& q : kNodeRates) {
      const double v = q.value(n);
      if (std::isfinite(v)) continue;
      std::string text(ROUTINE);
      text += ": Fluid node ";
      text += q.words;
      text += " not a finite number@Value ";
      text += value_text(v);
      text += " at";
      stop(text, internal_index(n), q.code);
    }
  }
  for (std::int32_t l = 1; l <= nm; ++l) {
    const double k = gar_massflowlinkfittinglosses(l);
    if (std::isfinite(k) && k >= 0.0) continue;
    std::string text(ROUTINE);
    text += std::isfinite(k) ? ": Negative fitting factor of mass-flow link " : ": Fitting factor of mass-flow link ";
    text += std::to_string(l);
    text += std::isfinite(k) ? "@Value " : " not a finite number@Value ";
    text += value_text(k);
    text += ", link from";
    stop(text, internal_index(link_first(l)), kFittingCode);
  }
}
