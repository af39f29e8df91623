#include "runtime/output/monitor/progress_monitor.h"

#include <cstdint>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
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
static_assert(kThermalHeader.size() == 315 && kFluidHeader.size() == 451);

struct Monitor {
  bool failed = false;  // the open failed: nothing more goes to unit 9
  bool fluid = false;   // the model has fluid nodes: the wider column set
};
Monitor monitor;

// Unit 9 is the monitor's own; the file is open while the unit is connected.
bool monitor_open() { return !monitor.failed && kalvir::platform::unit_is_open(kMonitorUnit); }

// A progress line: each field goes after a comma, which follows the line's
// text without its trailing blanks (so a blank field leaves two commas side
// by side).
class Line {
 public:
  void field(std::string_view text) {
    if (!first_) {
      text_.resize(kalvir::trimmed_length(text_));
      text_ += ',';
    }
    first_ = false;
    text_ += text;
  }
  void integer(std::int32_t v) { field(kalvir::int_field(v, 10)); }
  // Undefined values are reported as zero.
  void real(double v) { field(kalvir::platform::edit_es(SDUNDF(v) ? 0.0 : v, 22, 15)); }
  std::string_view text() const { return kalvir::trim_right(text_); }

 private:
  std::string text_;
  bool first_ = true;
};

bool multiple_of(std::int32_t count, std::int32_t n) { return count > 0 && count % n == 0; }

}  // namespace

void prm_open(std::string_view FILENAME) {
  register_run_closer(prm_close);
  monitor.fluid = gfl_getnumfluidnodes() > 0;
  std::int32_t ierr = 0;
  SOPSQ(FILENAME, "FORMATTED", "UNKNOWN", kMonitorUnit, ierr);
  monitor.failed = ierr != 0;
  if (monitor.failed) FAILUR();
  kalvir::platform::write_line(kMonitorUnit, monitor.fluid ? kFluidHeader : kThermalHeader);
  EFLUSH(kMonitorUnit);
}

void prm_Update() {
  const std::int32_t n = gcc_getprgfbk();
  if (n < 1) return;
  const std::int32_t loopct = gcc_getloopct();
  const std::string opblok = gcc_getopblok();
  const std::string solver = gcc_getsolver();
  const std::int32_t stepct = gcc_getstepct();
  const double timen = gcc_gettimen();
  const double timend = gcc_gettimend();
  const bool steady = solver.starts_with("SS");

  std::string_view status;
  if (kalvir::same_trimmed(opblok, "VARIABLES1")) {
    if (!steady) return;
    bool due = multiple_of(loopct, n);
    if (!due && monitor.fluid) due = multiple_of(gcc_getsumfll(), n) || multiple_of(gcc_getsumthl(), n);
    if (!due) return;
    status = "   SOL";
  } else if (kalvir::same_trimmed(opblok, "VARIABLES2")) {
    if (steady || timen >= timend)
      status = "   END";
    else if (multiple_of(stepct, n))
      status = "   SOL";
    else
      return;
  } else {
    internal_stop("prm_Update");
  }
  // Lines are due only while the monitor file is open.
  if (!monitor_open()) return;

  Line line;
  line.field(ZDAYTM());
  line.field(status);
  line.field(gcc_getmodule());
  const std::string_view tag = kalvir::trim_right(solver);
  line.field(std::string(6 - std::min<std::size_t>(tag.size(), 6), ' ') + std::string(tag.substr(0, 6)));
  line.real(timen);
  line.real(timend);
  line.real(gcc_getdtimeu());
  line.integer(stepct);
  line.integer(loopct);
  line.integer(gcc_getnloop());
  if (monitor.fluid) {
    line.integer(gcc_getsumthl());
    line.integer(gcc_getnloopt());
    line.integer(gcc_getsumfll());
    line.integer(gcc_getnlooph());
  }
  line.real(gcc_getrelxcc());
  line.real(gcc_getrelxca());
  if (monitor.fluid) {
    line.real(gcc_getfrlxcc());
    line.real(gcc_getfrlxca());
    line.real(gcc_getrelxmc());
    line.real(gcc_getrelxma());
  }
  line.real(gcc_getenbndm());
  line.real(gcc_getinbndm());
  line.real(gcc_getenbala());
  line.real(gcc_getinbala());
  line.real(gcc_getenbalr());
  line.real(gcc_getinbalr());
  kalvir::platform::write_line(kMonitorUnit, line.text());
  EFLUSH(kMonitorUnit);
}

void PRMUPD() { prm_Update(); }

void prm_close() {
  if (!monitor_open()) return;
  kalvir::platform::write_line(kMonitorUnit, ZDAYTM() + ",  EXIT");
  // A close error has been reported by SCLFIL; the run ends all the same.
  std::int32_t ierr = 0;
  SCLFIL("KEEP", kMonitorUnit, ierr);
}
