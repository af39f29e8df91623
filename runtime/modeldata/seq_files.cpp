#include "runtime/modeldata/seq_files.h"

#include <array>
#include <cerrno>
#include <optional>
#include <string>

#include "runtime/control/file_names.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {

namespace io = kalvir::platform;

// Keyword arguments are compared as the run-time system compares them:
// trailing blanks and letter case do not count.
bool keyword_is(std::string_view given, std::string_view keyword) {
  return kalvir::same_trimmed(SLTOU(given), keyword);
}

std::optional<io::Form> form_of(std::string_view form) {
  if (keyword_is(form, "FORMATTED")) return io::Form::Formatted;
  if (keyword_is(form, "UNFORMATTED")) return io::Form::Unformatted;
  return std::nullopt;
}

std::optional<io::OpenStatus> open_status_of(std::string_view status) {
  if (keyword_is(status, "OLD")) return io::OpenStatus::Old;
  if (keyword_is(status, "UNKNOWN")) return io::OpenStatus::Unknown;
  return std::nullopt;
}

std::optional<io::CloseStatus> close_status_of(std::string_view status) {
  if (keyword_is(status, "KEEP")) return io::CloseStatus::Keep;
  if (keyword_is(status, "DELETE")) return io::CloseStatus::Delete;
  return std::nullopt;
}

// The system-error message of an open or close failure; the message field
// holds 220 characters.
void report_file_error(std::string_view headline, std::string_view name, std::int32_t unit,
                       std::int32_t code, std::string_view routine) {
  const std::string_view shown = name.substr(0, name.find(' '));
  std::string text = std::string(headline) + "@File name = \"" + std::string(shown) + "\",  Unit no.=" +
                     kalvir::int_field(unit, 3) + ",  I/O error =" + kalvir::int_field(code, 4) +
                     std::string(13, ' ') + "(" + io::io_status_text(code) + ")";
  if (text.size() > 220) text.resize(220);
  ERRNEW(text, 1, 1, routine);
}

// The run's sequential files end with the run, however it ends.
void close_run_files() {
  LFIN(kalvir::unit::kScratch, kalvir::unit::kDump, kalvir::unit::kParameters);
}

}  // namespace

void SOPSQ(std::string_view FILENAME, std::string_view FORM, std::string_view STATUS,
           std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  if (kalvir::is_blank(FILENAME)) {
    IERR = 1;
    return;
  }
  std::array<char, 255> field{};
  SFLDEP(FILENAME, field);
  const std::string_view name(field.data(), field.size());

  const std::optional<io::Form> form = form_of(FORM);
  const std::optional<io::OpenStatus> status = open_status_of(STATUS);
  IERR = (form && status) ? io::unit_open(UNIT, kalvir::trim_right(name), *form, *status) : EINVAL;
  if (IERR != 0) {
    report_file_error("Error opening file", name, UNIT, IERR, "SOPSQ");
    return;
  }
  register_run_closer(close_run_files);
  IERR = io::unit_rewind(UNIT);
}

void SCLFIL(std::string_view STATUS, std::int32_t UNIT, std::int32_t& IERR) {
  // The name is asked for first: a unit that failed to close may have lost it.
  std::array<char, 256> field{};
  SFLDEP(io::unit_name(UNIT), field);
  const std::optional<io::CloseStatus> status = close_status_of(STATUS);
  IERR = status ? io::unit_close(UNIT, *status) : EINVAL;
  if (IERR == 0) return;
  std::string_view name(field.data(), field.size());
  if (const std::size_t bracket = name.find(']'); bracket != std::string_view::npos) {
    name = name.substr(bracket + 1);
  }
  report_file_error("File closing error has occurred", name, UNIT, IERR, "SCLFIL");
}

void LFIN(std::int32_t SCRATCH, std::int32_t DUMP, std::int32_t PARAM) {
  // A failed close is reported by SCLFIL; the next one is done all the same.
  std::int32_t ierr = 0;
  SCLFIL("DELETE", SCRATCH, ierr);
  SCLFIL("KEEP", PARAM, ierr);
  SCLFIL("DELETE", DUMP, ierr);
}
