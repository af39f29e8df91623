// Minimal version: see progress_monitor.h.
#include "runtime/output/monitor/progress_monitor.h"

#include <cstdint>

#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/units.h"

namespace {
constexpr int kMonitorUnit = 9;
}

void prm_close() {
  if (!kalvir::platform::unit_is_open(kMonitorUnit)) return;
  kalvir::platform::write_line(kMonitorUnit, ZDAYTM() + ",  EXIT");
  std::int32_t ierr = 0;
  SCLFIL("KEEP", kMonitorUnit, ierr);
}
