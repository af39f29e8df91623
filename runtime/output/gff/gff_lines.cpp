#include "runtime/output/gff/gff_lines.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace kalvir::gff {

namespace {

// FORMAT as the control constant holds it.
constexpr std::size_t kFormatWidth = 8;

// General editing of "*": 12 columns, 6 significant digits.
constexpr int kGeneralWidth = 12, kGeneralDigits = 6;

std::string_view trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

int item_overflow_status() noexcept { return EOVERFLOW; }

RealNotation::RealNotation(std::string_view format) {
  const std::string field = padded(format, kFormatWidth);
  if (trim_right(field) == "*") {
    general_ = true;
    return;
  }
  format_ = platform::Format::parse("(" + field + ")", error_);
  if (!format_ && error_ == 0) error_ = static_cast<int>(platform::FormatError::syntax);
}

int RealNotation::edit(double value, std::string& text) const {
  if (general_) {
    text = platform::edit_g(value, kGeneralWidth, kGeneralDigits);
    return 0;
  }
  if (!format_) return error_;
  const std::array<platform::FormatItem, 1> item{value};
  if (const int st = format_->write(item, records_); st != 0) return st;
  // One real gives one item: a descriptor that ends records or writes more
  // than fits an item cannot be read back as one value.
  if (records_.size() != 1 || records_[0].size() > kItemWidth) return item_overflow_status();
  text = records_[0];
  return 0;
}

bool text_item(std::string_view text, std::size_t width, std::string& item) {
  const std::string_view t = trim(text);
  item.clear();
  if (t.empty()) {
    item = "\" \"";
    return true;
  }
  if (t.size() + 2 > width) return false;
  item.push_back('"');
  for (const char c : t) {
    item.push_back(c);
    if (c == '"') item.push_back('"');
  }
  item.push_back('"');
  return true;
}

void fatal(std::string_view text, std::int32_t code, std::string_view routine) {
  SETERX(text, 4, code, routine);
  // SETERX does not return for severity 4.
  internal_stop(routine);
}

void write_failure(std::string_view routine, std::int32_t code, int status, std::string_view subject) {
  fatal("Error writing " + std::string(subject) + " for KALVIR neutral file : IO status = " + int_field(status, 6),
        code, routine);
}

std::int32_t block_submodels() {
  const std::int32_t nsub = usable_nsub(gar_modeldirectory, FLAGS(flagw::NSUB), gar_modelnames);
  if (nsub < 1) return 0;
  return std::clamp(gar_modeldirectory(2, 1), 0, nsub);
}

EntityRange entity_range(int row, std::int32_t m, std::int32_t nsub, std::int64_t total) {
  const std::int64_t before_first = gar_modeldirectory(row, 1);
  EntityRange r;
  r.first = std::max<std::int64_t>(1, gar_modeldirectory(row, m) - before_first + 1);
  r.last = m < nsub ? gar_modeldirectory(row, m + 1) - before_first : total;
  r.last = std::min(r.last, total);
  return r;
}

DataLine::DataLine(std::int32_t unit, std::int32_t record, std::string_view routine, const RealNotation& notation,
                   std::size_t items, std::size_t capacity, std::string_view subject)
    : unit_(unit),
      prefix_(int_field(record, 1) + " "),
      routine_(routine),
      subject_(subject),
      notation_(notation),
      capacity_(capacity),
      items_(items) {}

std::string& DataLine::slot(std::size_t k) { return items_.at(k - 1); }

void DataLine::time(std::size_t k, double timen, std::int32_t code) {
  if (const int st = notation_.edit(timen, slot(k)); st != 0) write_failure(routine_, code, st, subject_);
}

void DataLine::integer(std::size_t k, std::int64_t value) { slot(k) = int_field(value, 10); }

void DataLine::real(std::size_t k, double value) { SETVU(notation_, value, slot(k)); }

void DataLine::text(std::size_t k, std::string_view text, std::int32_t code, std::size_t width) {
  if (!text_item(text, width, slot(k))) write_failure(routine_, code, item_overflow_status(), subject_);
}

void DataLine::write(std::int32_t code) {
  STRSPC(items_, capacity_, line_);
  line_.insert(0, prefix_);
  if (const int st = platform::write_line(unit_, line_); st != 0) write_failure(routine_, code, st, subject_);
}

}  // namespace kalvir::gff

void SETVU(const kalvir::gff::RealNotation& NOTATION, double VALUE, std::string& ITEM) {
  if (VALUE == 0.0) {
    ITEM = "0.0";
  } else if (SLUNDF(VALUE)) {
    ITEM = "NULL";
  } else if (const int st = NOTATION.edit(VALUE, ITEM); st != 0) {
    kalvir::gff::write_failure("SETVU", 3, st);
  }
}

void STRSPC(std::span<const std::string> ITEMS, std::size_t CAPACITY, std::string& LINE) {
  LINE.clear();
  for (const std::string& item : ITEMS) {
    const std::string_view t = kalvir::gff::trim(item);
    if (t.empty()) {
      if (LINE.empty()) LINE.push_back(' ');
      continue;
    }
    if (LINE.size() + t.size() >= CAPACITY) {
      kalvir::gff::fatal(" Size of output buffer too small.   Current length = " +
                             kalvir::int_field(static_cast<std::int64_t>(CAPACITY), 6),
                         1, "STRSPC");
    }
    if (!LINE.empty()) LINE.push_back(' ');
    LINE.append(t);
  }
}
