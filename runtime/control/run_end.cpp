#include "runtime/control/run_end.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"

namespace {

// Set while the run is being closed: a fatal message or stop raised by the
// close itself ends the process once the remaining closers have run, without
// closing anything twice.
bool closing = false;

std::vector<RunCloser>& closers() {
  static std::vector<RunCloser> list;
  return list;
}

class ClosingScope {
 public:
  ClosingScope() noexcept { closing = true; }
  ~ClosingScope() { closing = false; }
  ClosingScope(const ClosingScope&) = delete;
  ClosingScope& operator=(const ClosingScope&) = delete;
};

// Each closer leaves the list before it runs, so that none runs twice.
void run_closers() {
  std::vector<RunCloser>& list = closers();
  while (!list.empty()) {
    const RunCloser closer = list.back();
    list.pop_back();
    closer();
  }
}

}  // namespace

void register_run_closer(RunCloser closer) {
  std::vector<RunCloser>& list = closers();
  if (std::find(list.begin(), list.end(), closer) == list.end()) list.push_back(closer);
}

void PROGCL() {
  // A stop raised by a closer closes what the others opened before the run
  // ends, and nothing twice.
  if (closing) {
    run_closers();
    return;
  }
  const ClosingScope scope;
  run_closers();
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
