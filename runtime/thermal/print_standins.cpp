// STAND-INS until the print package provides PRTWAR and LPRCYC (see the header).
// Both are weak definitions, so that the print package's own ones replace
// them at link time without a clash.
#include "runtime/thermal/print_standins.h"

#include <array>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
#include "runtime/platform/units.h"

namespace {

// "Node <n> in model <path>" of an internal node index.
std::string node_identity(std::int32_t node) {
  std::int32_t len = 0, user = 0, ierr = 0;
  std::array<char, 256> path{};
  path.fill(' ');
  LNDREF(node, len, user, path, ierr);
  std::string text = "Node " + std::to_string(user) + " in model ";
  text += kalvir::trim_right(std::string_view(path.data(), path.size()));
  return text;
}

int report_unit() { return GLOI.TRACE == 1 && kalvir::platform::unit_is_open(13) ? 13 : 6; }

}  // namespace

[[gnu::weak]] void PRTWAR(std::int32_t NODE) {
  const int unit = 6;
  kalvir::platform::write_line(unit, "");
  kalvir::platform::write_line(unit, " " + std::string(kalvir::trim_right(GLOC.MODULE.view())) + " THERMAL SOLUTION");
  kalvir::platform::write_line(unit, " TEMPERATURE GREATER THAN 1.0E10 DETECTED");
  kalvir::platform::write_line(unit, " " + node_identity(NODE));
  kalvir::platform::write_line(unit, "");
}

[[gnu::weak]] void LPRCYC(double DR, std::int32_t CYCLE, std::int32_t NR, std::int32_t NT, double DT) {
  const int unit = report_unit();
  auto line = [](std::string_view label, double value, std::int32_t node) {
    std::string text = " ";
    text += label;
    if (node < 1) return text + "Not calculated";
    text += kalvir::platform::edit_es(value, 11, 4);
    text += "  ";
    text += node_identity(node);
    return text;
  };
  kalvir::platform::write_line(unit, "");
  kalvir::platform::write_line(unit, " SOLCYC cycle number: " + std::to_string(CYCLE));
  kalvir::platform::write_line(unit, line("Max delta T = ", DT, NT));
  kalvir::platform::write_line(unit, line("Max delta dT/dt = ", DR, NR));
  kalvir::platform::write_line(unit, "");
}
