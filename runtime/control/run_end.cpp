#include "runtime/control/run_end.h"

#include <hdf5.h>

#include <cstdio>
#include <string>

#include "runtime/casedata/acd_solution.h"
#include "runtime/control/flags.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/output/monitor/progress_monitor.h"
#include "runtime/output/tmd/tmd_file.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"

namespace {

// Units of the run's sequential files, as the start-up driver opens them.
constexpr std::int32_t kScratchUnit = 4;
constexpr std::int32_t kDumpUnit = 2;
constexpr std::int32_t kParamUnit = 3;

// Set while the run is being closed: a fatal message or stop raised by the
// close itself ends the process without closing again.
bool closing = false;

class ClosingScope {
 public:
  ClosingScope() noexcept { closing = true; }
  ~ClosingScope() { closing = false; }
  ClosingScope(const ClosingScope&) = delete;
  ClosingScope& operator=(const ClosingScope&) = delete;
};

}  // namespace

void LFIN(std::int32_t SCRATCH, std::int32_t DUMP, std::int32_t PARAM) {
  // A failed close is reported by SCLFIL; the next one is done all the same.
  std::int32_t ierr = 0;
  SCLFIL("DELETE", SCRATCH, ierr);
  SCLFIL("KEEP", PARAM, ierr);
  SCLFIL("DELETE", DUMP, ierr);
}

void PROGCL() {
  if (closing) return;
  const ClosingScope scope;
  LFIN(kScratchUnit, kDumpUnit, kParamUnit);
  prm_close();
  acds_close();
  // Every TMD file is closed through its own handles first, so that none is
  // left half-written and no handle outlives the library.
  kalvir::tmd::close_all_files();
  // Nothing of the run uses HDF5 after this; its status tells nothing useful.
  static_cast<void>(H5close());
}

void EEXIT(std::int32_t STATUS) {
  // Every unit still open (standard output, trace, CSV, GFF, case print
  // files) is flushed and closed here rather than left to the process end.
  kalvir::platform::close_all_units();
  kalvir::platform::exit_process(STATUS);
}

void SUCCES() {
  PROGCL();
  EEXIT(0);
}

void FAILUR() {
  PROGCL();
  EEXIT(1);
}

void CHKTRM() {
  const std::string name = std::string(kalvir::trim_right(gfl_gettruncatedmodelname())) + ".kill";
  if (kalvir::platform::file_exists(name)) FAILUR();
}

void internal_stop(std::string_view text) {
  kalvir::platform::unit_flush(kalvir::platform::kStdoutUnit);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  FAILUR();
}
