// Minimal version: see progress_monitor.h.
#include "runtime/output/monitor/progress_monitor.h"

#include <cstdint>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/units.h"

namespace {
constexpr int kMonitorUnit = 9;

constexpr std::string_view kThermalHeader =
    "RealTime,Status,MODULE,SOLVER,                 TIMEN,                TIMEND,                DTIMEU,"
    "    STEPCT,    LOOPCT,     NLOOP,                RELXCC,                RELXCA,                ENBNDM,"
    "                INBNDM,                ENBALA,                INBALA,                ENBALR,"
    "                INBALR";
constexpr std::string_view kFluidHeader =
    "RealTime,Status,MODULE,SOLVER,                 TIMEN,                TIMEND,                DTIMEU,"
    "    STEPCT,    LOOPCT,     NLOOP,    SUMTHL,    NLOOPT,    SUMFLL,    NLOOPH,                RELXCC,"
    "                RELXCA,                FRLXCC,                FRLXCA,                RELXMC,"
    "                RELXMA,                ENBNDM,                INBNDM,                ENBALA,"
    "                INBALA,                ENBALR,                INBALR";
}  // namespace

void prm_open(std::string_view FILENAME) {
  std::int32_t ierr = 0;
  SOPSQ(FILENAME, "FORMATTED", "UNKNOWN", kMonitorUnit, ierr);
  if (ierr != 0) FAILUR();
  kalvir::platform::write_line(kMonitorUnit, gfl_getnumfluidnodes() > 0 ? kFluidHeader : kThermalHeader);
  EFLUSH(kMonitorUnit);
}

void PRMUPD() {
  const std::string_view block = GLOC.OPBLOK.trimmed();
  if (block != "VARIABLES1" && block != "VARIABLES2") internal_stop("prm_Update");
}

void prm_close() {
  if (!kalvir::platform::unit_is_open(kMonitorUnit)) return;
  kalvir::platform::write_line(kMonitorUnit, ZDAYTM() + ",  EXIT");
  std::int32_t ierr = 0;
  SCLFIL("KEEP", kMonitorUnit, ierr);
}
