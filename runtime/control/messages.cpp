#include "runtime/control/messages.h"

#include <algorithm>
#include <array>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {

namespace io = kalvir::platform;

kalvir::NodeNaming node_naming;

constexpr int kTraceUnit = 13;

constexpr std::string_view kBlankLabel = "@                          ";
constexpr std::string_view kReferenceLabel = "@     Reference..........: ";

// What distinguishes the two writers' frames.
struct FrameStyle {
  std::size_t width;             // characters of text per line
  std::size_t top_hyphens;       // in the "MESSAGE n" line
  std::size_t bottom_hyphens;    // in the closing rule
  std::array<std::string_view, 4> severity;
  std::array<std::string_view, 4> part_label;
};

constexpr FrameStyle kSeterxStyle{
    45,
    52,
    70,
    {"DIAGNOSTIC", "WARNING", "FAILURE", "FATAL ERROR"},
    {"@     Problem............: ", "@     Current action.....: ", "@     Info...............: ",
     "@     Context............: "}};

constexpr FrameStyle kErrnewStyle{
    53,
    60,
    78,
    {"SYSTEM ERROR", "SYNTAX ERROR", "SEMANTIC ERROR", "WARNING"},
    {"@     Problem............: ", "@     Current action.....: ", "@     Comment............: ",
     "@     Additional info....: "}};

constexpr bool labels_are_27_wide(const FrameStyle& s) {
  return std::all_of(s.part_label.begin(), s.part_label.end(),
                     [](std::string_view l) { return l.size() == 27; });
}
static_assert(kBlankLabel.size() == 27 && kReferenceLabel.size() == 27);
static_assert(labels_are_27_wide(kSeterxStyle) && labels_are_27_wide(kErrnewStyle));

// Running message numbers of SETERX and ERRNEW.
std::int64_t seterx_count = 0;
std::int64_t errnew_count = 0;

class FrameBuilder {
 public:
  explicit FrameBuilder(const FrameStyle& style) : style_(style) {}

  void line(std::string text) { lines_.push_back(std::move(text)); }

  // One segment (the text between "<NL>" marks) as lines of at most W
  // characters, cut after the last blank that leaves a non-empty line.
  void segment(std::string_view seg, std::string_view first_label) {
    std::string_view label = first_label;
    while (!seg.empty()) {
      std::size_t take = seg.size();
      if (seg.size() >= style_.width) {
        const std::size_t blank = seg.substr(0, style_.width).rfind(' ');
        take = (blank != std::string_view::npos && blank > 0) ? blank + 1 : style_.width;
      }
      line(std::string(label) + std::string(seg.substr(0, take)));
      label = kBlankLabel;
      seg.remove_prefix(take);
    }
  }

  // One part: its label goes on the first line of its first segment only.
  void part(std::string_view text, std::string_view label) {
    static constexpr std::string_view kNewLine = "<NL>";
    std::string_view seg_label = label;
    while (true) {
      const std::size_t nl = text.find(kNewLine);
      segment(text.substr(0, nl), seg_label);
      if (nl == std::string_view::npos) break;
      text.remove_prefix(nl + kNewLine.size());
      seg_label = kBlankLabel;
    }
  }

  // The whole frame. severity is 1..4; only part 1 when short_form.
  std::vector<std::string> build(std::int64_t number, int severity, std::string_view text,
                                 std::int32_t code, std::string_view routine, bool short_form) {
    line(std::string(kBlankLabel));
    line("@" + std::string(style_.top_hyphens, '-') + " | MESSAGE " + kalvir::int_field(number, 4) + " |-");
    line(std::string(kBlankLabel));
    line("@@@@  " + kalvir::padded(style_.severity[static_cast<std::size_t>(severity - 1)], 27));
    line(std::string(kBlankLabel));

    const std::string_view body = kalvir::trim_right(text);
    const bool labelled = std::count(body.begin(), body.end(), '@') >= 2;
    std::size_t pos = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      std::string_view part_text;
      if (pos <= body.size()) {
        const std::size_t at = body.find('@', pos);
        const std::size_t end = at == std::string_view::npos ? body.size() : at;
        part_text = body.substr(pos, end - pos);
        pos = at == std::string_view::npos ? body.size() + 1 : at + 1;
      }
      if (k > 0 && short_form) continue;
      part(part_text, (k == 0 || labelled) ? style_.part_label[k] : kBlankLabel);
    }

    line(std::string(kBlankLabel));
    line(std::string(kReferenceLabel) + "(" + std::string(routine) + ", " + kalvir::int_field(code, 3) + ")");
    line(std::string(kBlankLabel));
    line("@" + std::string(style_.bottom_hyphens, '-'));
    line(std::string(kBlankLabel));
    return std::move(lines_);
  }

 private:
  const FrameStyle& style_;
  std::vector<std::string> lines_;
};

}  // namespace

void kalvir::set_node_naming(const NodeNaming& naming) { node_naming = naming; }

void kalvir::messages_reset_for_tests() {
  seterx_count = 0;
  errnew_count = 0;
  forget_run_failures();
}

void SETERX(std::string_view TEXT, std::int32_t ISEV, std::int32_t IREF, std::string_view ROUTINE) {
  ++seterx_count;
  const int severity = (ISEV >= 1 && ISEV <= 4) ? ISEV : 4;
  if (GLOI.MLEVEL < 0 || GLOI.MLEVEL > 3) GLOI.MLEVEL = 0;
  if (severity > GLOI.MLEVEL) {
    // Before the start-up has opened the trace file, traced messages still
    // need somewhere to go.
    const int unit = (GLOI.TRACE == 1 && io::unit_is_open(kTraceUnit)) ? kTraceUnit : io::kStdoutUnit;
    const std::vector<std::string> lines =
        FrameBuilder(kSeterxStyle).build(seterx_count, severity, TEXT, IREF, ROUTINE, GLOI.MSHORT == 1);
    for (const std::string& l : lines) {
      io::write_line(unit, l);
      ++PRTINF(2);
    }
  }
  if (severity == 3) note_run_failure(ROUTINE, TEXT);
  if (severity == 4) {
    note_failure(ROUTINE, TEXT);
    FAILUR();
  }
}

void ERRNEW(std::string_view TEXT, std::int32_t ISEV, std::int32_t IREF, std::string_view ROUTINE) {
  ++errnew_count;
  const int severity = (ISEV >= 1 && ISEV <= 4) ? ISEV : 1;
  const std::vector<std::string> lines =
      FrameBuilder(kErrnewStyle).build(errnew_count, severity, TEXT, IREF, ROUTINE, false);
  for (const std::string& l : lines) io::write_line(io::kStdoutUnit, l);
  // The file and record layer never stops the run itself; when its caller
  // gives up, this is why. Its errors (all but its warnings, label 4) fail
  // the run also when the caller goes on.
  note_failure(ROUTINE, TEXT);
  if (severity != 4) note_run_failure(ROUTINE, TEXT);
}

void MESBLD(std::int32_t NODE, std::span<char> TEXT) {
  if (NODE == 0) return;
  // The addition starts one blank after the text; what does not fit is cut.
  const std::size_t start = kalvir::trimmed_length({TEXT.data(), TEXT.size()}) + 1;
  if (start >= TEXT.size()) return;

  const auto submodel = kalvir::filled_hook(node_naming.submodel, "NodeNaming::submodel");
  const std::string name = kalvir::padded(submodel(NODE, "SUBMODEL"), 24);
  std::string path = kalvir::padded(submodel(NODE, "ALL"), 256);
  if (kalvir::trimmed_length(path) == path.size()) path.replace(path.size() - 3, 3, "...");
  const std::int32_t number = kalvir::filled_hook(node_naming.user_number, "NodeNaming::user_number")(NODE);
  std::string digits = std::to_string(number < 0 ? -static_cast<std::int64_t>(number) : number);
  digits.resize(static_cast<std::size_t>(kalvir::filled_hook(node_naming.digits, "NodeNaming::digits")(number)));

  std::string addition = "Node " + digits;
  if (kalvir::trimmed_length(name) == kalvir::trimmed_length(path)) {
    addition += " in main model";
  } else {
    addition += " in model " + std::string(kalvir::trim_right(name)) + " (" +
                std::string(kalvir::trim_right(path)) + ")";
  }
  kalvir::assign_padded(TEXT.subspan(start), addition);
}

void ERROR(std::string_view NAME) {
  const std::array<std::string, 11> banner{
      "",
      "",
      "",
      " @@@@ Unrecoverable error condition in module " + std::string(NAME) + " @@@@",
      "",
      std::string(12, ' ') + " @@@@ Program will terminate @@@@",
      "",
      "",
      "    @@@@ Check log file for further messages and @@@@",
      "",
      "  @@@@ Consult Kalvir Program Central Support if required @@@@ "};
  for (const std::string& line : banner) io::write_line(io::kStdoutUnit, line);
  if (io::unit_is_open(1)) io::unit_close(1);
  // Standard output stays open: the closing of the run may still report on it.
  io::unit_flush(io::kStdoutUnit);
  note_failure(NAME, "Unrecoverable error condition@See the printed output for further messages");
  FAILUR();
}

void EFLUSH(std::int32_t UNIT) { io::unit_flush(UNIT); }
