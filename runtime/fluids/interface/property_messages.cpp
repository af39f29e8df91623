#include "runtime/fluids/interface/property_messages.h"

#include <set>
#include <string>
#include <tuple>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

namespace kalvir::fluids {

void report(std::string_view message, std::size_t length, std::int32_t node, std::int32_t severity,
            std::int32_t code, std::string_view routine) {
  std::string text = padded(message, length);
  MESBLD(node, text);
  SETERX(text, severity, code, padded(routine, 6));
}

namespace {
// (routine, code, node) of every report_once that has reported in this run.
std::set<std::tuple<std::string, std::int32_t, std::int32_t>> reported_once;
}  // namespace

bool report_once(std::string_view message, std::size_t length, std::int32_t node,
                 std::int32_t severity, std::int32_t code, std::string_view routine) {
  if (!reported_once.emplace(std::string(routine), code, node).second) return false;
  report(message, length, node, severity, code, routine);
  return true;
}

void forget_reported_once() { reported_once.clear(); }

void stop_on_zero(std::string_view what, std::int32_t node, std::int32_t code,
                  std::string_view routine) {
  report(std::string("Fluid property cannot be calculated@").append(what), 500, node, 4, code,
         routine);
  FAILUR();  // severity 4 has ended the run already
}

void temperature_not_found(std::string_view why, double P, double H, std::int32_t node,
                           std::int32_t code, std::string_view routine) {
  const auto sci12 = [](double v) { return platform::edit_e(v, 12, 4, 0, 1); };
  report("Temperature from enthalpy not found@" + std::string(why) + " Pressure = " + sci12(P) +
             ", enthalpy = " + sci12(H),
         500, node, 4, code, routine);
  FAILUR();  // severity 4 has ended the run already
}

}  // namespace kalvir::fluids
