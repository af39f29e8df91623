#include "runtime/control/run_end.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
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

struct FailureNote {
  std::string routine;
  std::string text;
  bool told = false;  // the stop has written its own text to standard error
};
FailureNote& failure_note() {
  static FailureNote note;
  return note;
}

void write_failure_note() {
  // Taken out whole: a later run in the same process starts without it.
  const FailureNote note = std::exchange(failure_note(), FailureNote{});
  if (note.told) return;
  std::string block = "kalvir: run failed";
  if (!note.routine.empty()) block += " in " + note.routine;
  block += '\n';
  std::string_view text = note.text;
  while (!text.empty()) {
    const std::size_t at = text.find('@');
    std::string part(kalvir::trim_right(text.substr(0, at)));
    for (std::size_t nl; (nl = part.find("<NL>")) != std::string::npos;) part.replace(nl, 4, " ");
    if (!part.empty()) block += "    " + part + '\n';
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  if (note.text.empty()) block += "    see the printed output\n";
  std::fputs(block.c_str(), stderr);
  std::fflush(stderr);
}

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

void note_failure(std::string_view routine, std::string_view text) {
  FailureNote& note = failure_note();
  note.routine = std::string(kalvir::trim_right(routine));
  note.text = std::string(text);
}

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
  kalvir::platform::unit_flush(kalvir::platform::kStdoutUnit);
  write_failure_note();
  PROGCL();
  EEXIT(1);
}

void CHKTRM() {
  const std::string name = std::string(kalvir::trim_right(gfl_gettruncatedmodelname())) + ".kill";
  if (kalvir::platform::file_exists(name)) {
    note_failure("CHKTRM", "Kill file " + name + " found@The run was stopped on request");
    FAILUR();
  }
}

void internal_stop(std::string_view text) {
  kalvir::platform::unit_flush(kalvir::platform::kStdoutUnit);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  failure_note().told = true;  // the text above says why
  FAILUR();
}
