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
  std::string place;
  bool told = false;  // the stop has written its own text to standard error
};
FailureNote& failure_note() {
  static FailureNote note;
  return note;
}

// TEXT's parts, parted by "@" and within a part by "<NL>", one line each
// after INDENT; empty lines are left out.
void append_parts(std::string& block, std::string_view text, std::string_view indent) {
  while (!text.empty()) {
    const std::size_t at = text.find('@');
    const std::size_t nl = text.find("<NL>");
    const std::size_t end = std::min(at, nl);
    const std::string_view line = kalvir::trim_right(text.substr(0, end));
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string_view::npos) block += std::string(indent) + std::string(line.substr(first)) + '\n';
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + (end == nl ? 4 : 1));
  }
}

// A failure the run went on after, once per routine, text and place.
struct RunFailure {
  std::string routine;
  std::string text;
  std::string place;
  std::int64_t count = 0;
};

// The run's failures so far. A message that comes at every step is one
// entry with its count; beyond kListed different ones, only their number of
// occurrences is kept, so that the list stays small whatever the run does.
struct RunFailures {
  static constexpr std::size_t kListed = 50;
  std::vector<RunFailure> listed;
  std::int64_t unlisted = 0;
  bool empty() const { return listed.empty() && unlisted == 0; }
};
RunFailures& run_failures() {
  static RunFailures failures;
  return failures;
}

std::vector<std::string>& places() {
  static std::vector<std::string> stack;
  return stack;
}

// The list of failures the run went on after, under HEADING.
std::string failure_list(const RunFailures& failures, std::string_view heading) {
  std::string block = "kalvir: " + std::string(heading) + '\n';
  for (const RunFailure& f : failures.listed) {
    block += "  " + f.routine + ", " + std::to_string(f.count) + (f.count == 1 ? " time:\n" : " times:\n");
    append_parts(block, f.text, "    ");
    if (!f.place.empty()) block += "    where: " + f.place + '\n';
  }
  if (failures.unlisted > 0)
    block += "  and " + std::to_string(failures.unlisted) + " more, not listed here: see the printed output\n";
  return block;
}

void write_block(const std::string& block) {
  std::fputs(block.c_str(), stderr);
  std::fflush(stderr);
}

// FAILUR's block: the failure that ended the run, then those it went on
// after before it.
void write_failure_note() {
  // Both taken out whole: a later run in the same process starts without them.
  const FailureNote note = std::exchange(failure_note(), FailureNote{});
  RunFailures failures = std::exchange(run_failures(), RunFailures{});
  // An error the file layer noted both ways, whose caller then gave up, is
  // the failure that ended the run: it is not listed again.
  std::erase_if(failures.listed, [&](const RunFailure& f) {
    return f.count == 1 && f.routine == note.routine && f.text == note.text;
  });
  std::string block;
  if (!note.told) {
    block = "kalvir: run failed";
    if (!note.routine.empty()) block += " in " + note.routine;
    block += '\n';
    append_parts(block, note.text, "    ");
    if (kalvir::trim_right(note.text).empty()) block += "    see the printed output\n";
    if (!note.place.empty()) block += "    where: " + note.place + '\n';
  }
  if (!failures.empty()) block += failure_list(failures, "earlier failures:");
  write_block(block);
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
  note.text = std::string(kalvir::trim_right(text));
  note.place = places().empty() ? std::string() : places().back();
}

void note_run_failure(std::string_view routine, std::string_view text) {
  RunFailures& failures = run_failures();
  const std::string_view r = kalvir::trim_right(routine);
  const std::string_view t = kalvir::trim_right(text);
  const std::string_view place = places().empty() ? std::string_view{} : std::string_view(places().back());
  for (RunFailure& f : failures.listed) {
    if (f.routine == r && f.text == t && f.place == place) {
      ++f.count;
      return;
    }
  }
  if (failures.listed.size() < RunFailures::kListed) {
    failures.listed.push_back({std::string(r), std::string(t), std::string(place), 1});
  } else {
    ++failures.unlisted;
  }
}

void forget_run_failures() { run_failures() = RunFailures{}; }

kalvir::FailurePlace::FailurePlace(std::string place) { places().push_back(std::move(place)); }
kalvir::FailurePlace::~FailurePlace() { places().pop_back(); }

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
  // A run that went on after a failure did not succeed: its results miss
  // what failed.
  if (!run_failures().empty()) {
    kalvir::platform::unit_flush(kalvir::platform::kStdoutUnit);
    failure_note() = FailureNote{};  // what the file layer noted last ended nothing
    write_block(failure_list(std::exchange(run_failures(), RunFailures{}),
                             "run failed: it went on after these failures:"));
    EEXIT(1);
  }
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
