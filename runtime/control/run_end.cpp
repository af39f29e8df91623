#include "runtime/control/run_end.h"

#include <cstdio>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"

namespace {
// Set while the run is being closed, so that a stop raised by the close does
// not close again.
bool closing = false;
}  // namespace

void LFIN(std::int32_t SCRATCH, std::int32_t DUMP, std::int32_t PARAM) {
  using kalvir::platform::CloseStatus;
  kalvir::platform::unit_close(SCRATCH, CloseStatus::Delete);
  kalvir::platform::unit_close(PARAM, CloseStatus::Keep);
  kalvir::platform::unit_close(DUMP, CloseStatus::Delete);
}

void PROGCL() {
  if (closing) return;
  closing = true;
  LFIN(4, 2, 3);
  closing = false;
}

void EEXIT(std::int32_t STATUS) { kalvir::platform::exit_process(STATUS); }

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
