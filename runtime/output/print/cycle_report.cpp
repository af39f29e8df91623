#include "runtime/output/print/cycle_report.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/output/print/solution_heading.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
#include "runtime/platform/units.h"

namespace {

constexpr int kTraceUnit = 13;

// The widest a path record of the warning may grow before it is written.
constexpr std::size_t kPathLine = 131;

// Submodel owning thermal node `node` by the thermal-node ranges of the model
// directory; 0 when no submodel holds it.
std::int32_t thermal_owner(std::int32_t node) {
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  if (node < 1 || node > FLAGS(flagw::NNODE) || gar_modeldirectory.cols() < nsub + 1) return 0;
  for (std::int32_t m = 1; m <= nsub; ++m)
    if (gar_modeldirectory(3, m) < node && node <= gar_modeldirectory(3, m + 1)) return m;
  return 0;
}

}  // namespace

void PRTWAR(std::int32_t NODE) {
  using kalvir::print::put;
  const std::int32_t nsub = std::max(FLAGS(flagw::NSUB), 1);
  std::vector<kalvir::Chars<24>> path(static_cast<std::size_t>(nsub));
  std::int32_t npath = 0;
  std::int32_t ierr = 0;
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, thermal_owner(NODE),
         std::span<char>(reinterpret_cast<char*>(path.data()), path.size() * 24), 24, npath, ierr);
  // An invalid submodel has been reported by SCCNAM; the path is left out.
  if (ierr != 0) npath = 0;

  if ((npath + 4) / 5 + 4 > kalvir::print::lines_left()) {
    PRPAGE();
    PRHEAD();
  }
  const bool known = NODE >= 1 && NODE <= FLAGS(flagw::NNODE) && NODE <= gar_thermalnodenums.size();
  put(" TEMPERATURE GREATER THAN 1.0E10 DETECTED");
  put("");
  put(" AT NODE NUMBER " + kalvir::int_field(known ? gar_thermalnodenums(NODE) : 0, 10) + " IN SUBMODEL");
  put("");
  kalvir::print::count_lines(4);

  if (npath == 0) return;
  // Names up to their first blank, joined by ":"; a record that would pass
  // column 131 is written up to its last ":" and the name starts the next.
  // The column after the last name holds a blank instead of a ":", and the
  // last record runs up to that column like the others.
  std::string line;
  for (std::int32_t j = 0; j < npath; ++j) {
    const std::string_view whole = path[static_cast<std::size_t>(j)].view();
    const std::string_view name = whole.substr(0, std::min(whole.find(' '), whole.size()));
    if (line.size() + name.size() + 1 > kPathLine) {
      put(" " + line);
      kalvir::print::count_lines(1);
      line.clear();
    }
    line += name;
    if (j + 1 < npath) line += ':';
  }
  put(" " + line + " ");
  put("");
  put("");
  kalvir::print::count_lines(3);
}

void LPRCYC(double DR, std::int32_t CYCLE, std::int32_t NR, std::int32_t NT, double DT) {
  namespace io = kalvir::platform;
  // Traced reports need the trace file; before the start-up has opened it
  // they go to the print unit like any other.
  const bool traced = GLOI.TRACE == 1 && io::unit_is_open(kTraceUnit);
  const int unit = traced ? kTraceUnit : PRTINF(3);
  if (!traced) {
    if (PRTINF(2) + 5 >= PRTINF(1)) PRPAGE();
    kalvir::print::count_lines(6);
  }
  auto put = [unit](std::string_view record) { io::write_line(unit, record); };

  auto report = [&](std::string_view label, double value, std::int32_t node) {
    if (node <= 0) {
      put(" " + std::string(label) + "Not calculated ");
      return;
    }
    std::int32_t len = 0;
    std::int32_t number = 0;
    std::int32_t ierr = 0;
    std::array<char, 256> text{};
    LNDREF(node, len, number, text, ierr);
    put(" " + std::string(label) + io::edit_es(value, 11, 4));
    put(" " + std::string("    at node ") + std::to_string(number));
    put(" " + std::string("    in submodel ") +
        std::string(text.data(), static_cast<std::size_t>(std::clamp<std::int32_t>(len, 0, 256))));
  };
  put("");
  put(" SOLCYC cycle number: " + std::to_string(CYCLE));
  report("  Max delta T = ", DT, NT);
  report("  Max delta dT/dt = ", DR, NR);
}
