#include "runtime/parameters/csv_fields.h"

#include <cerrno>
#include <map>

#include "runtime/control/status.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
#include "runtime/platform/units.h"

namespace kalvir::parameters {
namespace {

namespace io = kalvir::platform;

// The lines under construction, one per unit.
std::map<std::int32_t, std::string>& lines() {
  static std::map<std::int32_t, std::string> open_lines;
  return open_lines;
}

}  // namespace

int end_csv_line(std::int32_t unit) {
  auto& open = lines();
  const auto it = open.find(unit);
  const std::string line = it == open.end() ? std::string() : std::move(it->second);
  if (it != open.end()) open.erase(it);
  if (const int s = io::write_line(unit, line); s != 0) return s;
  return io::unit_flush(unit);
}

std::string& csv_line(std::int32_t unit) { return lines()[unit]; }

void discard_csv_line(std::int32_t unit) { lines().erase(unit); }

std::string real_field(double value) {
  if (SLUNDF(value)) return ",U";
  return "," + io::edit_e(value, 13, 6, 0, 1);
}

std::string int_field(std::int32_t value) {
  if (value == SKUNDF()) return ",U";
  return "," + io::edit_i(value, 10);
}

std::string text_field(std::string_view text) {
  std::string f = ",\"";
  for (const char ch : kalvir::trim_right(text)) {
    if (ch == '"') f += '"';
    f += ch;
  }
  return f + '"';
}

std::string csv_text(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  return text_field(text).substr(1);
}

std::string write_error(std::int32_t status, bool value_writer) {
  std::string text = "Error writing to csv file@I/O error code" + kalvir::int_field(status, 10) + " returned";
  if (value_writer) text += ". Possible causes are network error, disc full, or record being written is too long.";
  return text;
}

}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void WRITEH(std::int32_t UNIT, std::string_view TEXT, std::int32_t& IOSTAT) {
  if (UNIT != kp::kCheckUnit && !kalvir::platform::unit_is_open(UNIT)) {
    IOSTAT = EBADF;
    return;
  }
  IOSTAT = 0;
  kp::lines()[UNIT] += TEXT;
}
