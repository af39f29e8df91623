#include "runtime/parameters/csv_file.h"

#include <cerrno>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_file.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/csv_columns.h"
#include "runtime/parameters/csv_conductors.h"
#include "runtime/parameters/csv_fields.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
#include "runtime/platform/units.h"

namespace kalvir::parameters {
namespace {

namespace io = kalvir::platform;


enum class ItemKind { kNode, kConstant, kArray, kConductor };

// One CSV item and the writer it goes to. The header and the rows classify
// with this one function, so they cannot choose different writers.
struct CsvItem {
  ItemKind kind = ItemKind::kConstant;
  std::int32_t code = 0;
  std::string entity;         // matched name, 18 characters
  std::string_view reference;  // node or conductor reference
  std::string_view name_part;  // conductor item up to its first "("
};

CsvItem classify(std::string_view item) {
  CsvItem c;
  std::int32_t p = 0;
  SQNDEX(item, "(", p);
  const std::size_t colon = item.find(':');
  const auto c_pos = colon == std::string_view::npos ? std::int64_t{0} : static_cast<std::int64_t>(colon) + 1;
  kalvir::Chars<18> name;
  std::int32_t length = 0;
  if (p == 0) {
    ENTFND(item, name.span(), c.code, length);
    c.entity = std::string(name.view());
    if (c.code == 0) return c;
    if (c_pos == length + 1) {
      c.kind = ItemKind::kNode;
      c.reference = item.substr(static_cast<std::size_t>(c_pos));
      return c;
    }
    const std::string_view rest = item.substr(static_cast<std::size_t>(length));
    std::int32_t digits = 0;
    IINTCH(rest, static_cast<std::int32_t>(rest.size()), digits);
    if (digits == 1) {
      c.kind = ItemKind::kNode;
      c.reference = rest;
    }
    return c;
  }
  const std::string_view head = item.substr(0, std::min<std::size_t>(static_cast<std::size_t>(p - 1), 18));
  ENTFND(head, name.span(), c.code, length);
  c.entity = std::string(name.view());
  if (c.code < 1 || (c_pos != length + 1 && p != length + 1)) {
    c.kind = ItemKind::kArray;
    return c;
  }
  c.kind = ItemKind::kConductor;
  const std::int64_t from = c_pos == 0 ? p : std::min<std::int64_t>(c_pos + 1, p);
  c.reference = item.substr(static_cast<std::size_t>(from - 1));
  c.name_part = item.substr(0, static_cast<std::size_t>(p - 1));
  return c;
}

// What the header of a file gave each item: the columns that file's rows
// write, whatever a case changes later. A node item keeps the nodes it
// labelled and a conductor item the conductors, so a label that a case
// changes cannot move a value under another node's heading; constants and
// ARRAY elements resolve to the same places in every row.
struct PlannedItem {
  ItemKind kind = ItemKind::kConstant;
  std::int32_t code = 0;
  std::string item;                    // as written in the list
  std::vector<std::int32_t> targets;  // nodes or conductors, in label order
  std::int32_t columns = 0;            // labels the header wrote
  bool failed = false;                 // the header stopped at this item
};

std::map<std::int32_t, std::vector<PlannedItem>>& plans() {
  static std::map<std::int32_t, std::vector<PlannedItem>> by_unit;
  return by_unit;
}

// A header due on a unit: the list and submodel PARHDC is to resolve.
struct DueHeader {
  std::string list;
  std::int32_t isub = 1;
};
std::map<std::int32_t, DueHeader>& due_headers() {
  static std::map<std::int32_t, DueHeader> by_unit;
  return by_unit;
}

// The fields in TEXT: each starts with a "," outside double quotes.
std::int32_t count_fields(std::string_view text) {
  std::int32_t n = 0;
  bool quoted = false;
  for (const char ch : text) {
    if (ch == '"') quoted = !quoted;
    if (ch == ',' && !quoted) ++n;
  }
  return n;
}

// Makes the fields after FROM in LINE exactly COLUMNS: a writer that failed
// or wrote fewer leaves empty fields, one that wrote more is cut back.
void fit_fields(std::string& line, std::size_t from, std::int32_t columns) {
  std::int32_t n = 0;
  bool quoted = false;
  for (std::size_t i = from; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] != ',' || quoted) continue;
    if (n == columns) {
      line.resize(i);
      return;
    }
    ++n;
  }
  line.append(static_cast<std::size_t>(columns - n), ',');
}

// The items of a bracketed entity list, blank ones skipped; false when the
// list is not enclosed in brackets.
bool split_list(std::string_view list, std::vector<std::string_view>& items) {
  items.clear();
  const std::string_view text = kalvir::trim_right(list);
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  const std::size_t n = text.size();
  std::size_t start = 1;
  while (start < n) {
    std::int32_t comma = 0;
    const std::string_view rest = text.substr(start, n - start);
    SBQNDX(rest, ",", comma);
    const std::size_t end = comma == 0 ? n - 1 : start + static_cast<std::size_t>(comma) - 1;
    const std::string_view item = text.substr(start, end - start);
    if (!kalvir::trim_right(item).empty()) items.push_back(item);
    start = end + 1;
  }
  return true;
}

void write_failure(std::int32_t status, std::string_view routine, std::int32_t& ierr) {
  ierr = 2;
  report(write_error(status, false), 300, 3, 2, routine);
}

// The header's columns: each item resolved and its labels added to the line
// on UNIT, up to the first item that fails (reported, IERR 3).
std::vector<PlannedItem> plan_columns(const std::vector<std::string_view>& items, std::int32_t isub,
                                      std::int32_t unit, std::int32_t& ierr_out) {
  std::vector<PlannedItem> plan;
  for (const std::string_view item : items) {
    const CsvItem c = classify(item);
    PlannedItem p{c.kind, c.code, std::string(item), {}, 0, false};
    const std::size_t before = csv_line(unit).size();
    std::int32_t ierr = 0;
    switch (c.kind) {
      case ItemKind::kNode: node_labels(c.entity, c.reference, isub, unit, ierr, &p.targets); break;
      case ItemKind::kConstant: PRHCST(item, isub, unit, ierr); break;
      case ItemKind::kArray: PRHARR(item, isub, unit, ierr); break;
      case ItemKind::kConductor: conductor_labels(c.code, c.reference, c.name_part, isub, unit, ierr, p.targets); break;
    }
    p.columns = count_fields(std::string_view(csv_line(unit)).substr(before));
    p.failed = ierr != 0;
    plan.push_back(std::move(p));
    if (ierr != 0) {
      ierr_out = 3;
      report("Error processing CSV_ENTITIES at @" + std::string(item), 300, 3, 3, "PARHDC");
      break;
    }
  }
  return plan;
}

}  // namespace

void forget_csv_columns(std::int32_t unit) {
  plans().erase(unit);
  due_headers().erase(unit);
}

void defer_csv_header(std::string_view csvlist, std::int32_t isub, std::int32_t unit) {
  plans().erase(unit);
  due_headers()[unit] = DueHeader{std::string(csvlist), isub};
}

std::int32_t write_deferred_csv_header(std::int32_t unit) {
  const auto due = due_headers().find(unit);
  if (due == due_headers().end()) return 0;
  const DueHeader header = std::move(due->second);
  due_headers().erase(due);
  std::int32_t status = 0;
  // A failing item is the CSV option's, whichever case the header waited for.
  const kalvir::FailurePlace place(options_place("CSV_ENTITIES"));
  PARHDC(header.list, header.isub, unit, status);
  return status == 2 ? status : 0;
}

}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARHDC(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  namespace io = kalvir::platform;
  kp::discard_csv_line(UNIT);
  kp::forget_csv_columns(UNIT);
  const auto part = [](const auto& field) { return std::string(kalvir::trim_right(field.view())); };
  // The first failing write is the one reported: a header that was not
  // written whole is never reported as written.
  std::int32_t status = io::write_line(
      UNIT, "KALVIR 2020;  MODEL " + part(JOBINF.model) + ";  TIME " + part(JOBINF.date) + "  " + part(JOBINF.time));
  if (status == 0) status = io::write_line(UNIT, "");
  if (status != 0) return kp::write_failure(status, "PARHDC", IERR);

  std::vector<std::string_view> items;
  if (!kp::split_list(CSVLIST, items)) {
    IERR = 1;
    kp::report("Entity list must be enclosed in brackets", 300, 3, 1, "PARHDC");
    io::unit_flush(UNIT);
    return;
  }
  WRITEH(UNIT, "Parameter case number,Parameter case name,Time", status);
  if (status != 0) return kp::write_failure(status, "PARHDC", IERR);
  kp::plans()[UNIT] = kp::plan_columns(items, ISUB, UNIT, IERR);
  if (const int s = kp::end_csv_line(UNIT); s != 0) kp::write_failure(s, "PARHDC", IERR);
}

void kalvir::parameters::check_csv_columns(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t& IERR) {
  IERR = 0;
  std::vector<std::string_view> items;
  if (!kp::split_list(CSVLIST, items)) {
    IERR = 1;
    kp::report("Entity list must be enclosed in brackets", 300, 3, 1, "PARHDC");
    return;
  }
  kp::discard_csv_line(kCheckUnit);
  kp::plan_columns(items, ISUB, kCheckUnit, IERR);
  kp::discard_csv_line(kCheckUnit);
}

void PARCSV(std::string_view CSVLIST, std::int32_t NCASE, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  kp::discard_csv_line(UNIT);
  // PARHDC has reported a header line that could not be written.
  if (kp::write_deferred_csv_header(UNIT) != 0) {
    IERR = 2;
    return;
  }
  std::vector<std::string_view> items;
  if (!kp::split_list(CSVLIST, items)) {
    IERR = 1;
    const std::string_view list = kalvir::trim_right(CSVLIST);
    kp::report("Entity list must be enclosed in brackets@" + std::string(list), 300, 3, 1, "PARCSV");
    return;
  }
  if (NCASE < 0 || NCASE > 9999) {
    kp::report("No more than 9999 GFF files allowed", 300, 4, 2, "PARCSV");
    IERR = 2;
    return;
  }
  const std::string fixed = std::to_string(NCASE) + "," + kp::csv_text(kalvir::trim_right(GLOC.PARNAM.view())) +
                            "," + kalvir::platform::edit_e(GLOR.TIMEN, 11, 4, 0, 1);
  std::int32_t status = 0;
  WRITEH(UNIT, fixed, status);
  if (status != 0) return kp::write_failure(status, "PARCSV", IERR);
  const auto planned = kp::plans().find(UNIT);
  if (planned == kp::plans().end()) {
    // A file whose header this run did not write: each item is resolved
    // anew, and one that fails ends the row (its writer has reported why).
    for (const std::string_view item : items) {
      const kp::CsvItem c = kp::classify(item);
      std::int32_t ierr = 0;
      switch (c.kind) {
        case kp::ItemKind::kNode: PRCNOD(c.code, c.reference, item, ISUB, UNIT, ierr); break;
        case kp::ItemKind::kConstant: PRCCST(item, ISUB, UNIT, ierr); break;
        case kp::ItemKind::kArray: PRCARR(item, ISUB, UNIT, ierr); break;
        case kp::ItemKind::kConductor: PRCCND(c.code, c.reference, item, ISUB, UNIT, ierr); break;
      }
      if (ierr != 0) break;
    }
  } else {
    // The header's columns, in its order: an item whose value cannot be had
    // leaves its fields empty, so the values after it stay under their
    // headings.
    for (const kp::PlannedItem& p : planned->second) {
      const std::size_t before = kp::csv_line(UNIT).size();
      std::int32_t ierr = 0;
      if (!p.failed) {
        switch (p.kind) {
          case kp::ItemKind::kNode: kp::node_fields(p.code, p.targets, p.item, UNIT, ierr); break;
          case kp::ItemKind::kConstant: PRCCST(p.item, ISUB, UNIT, ierr); break;
          case kp::ItemKind::kArray: PRCARR(p.item, ISUB, UNIT, ierr); break;
          case kp::ItemKind::kConductor: kp::conductor_fields(p.code, p.targets, p.item, UNIT, ierr); break;
        }
      }
      kp::fit_fields(kp::csv_line(UNIT), before, p.columns);
    }
  }
  // The row is written whole or not at all; a row that cannot be written
  // ends the run through the caller.
  if (const int s = kp::end_csv_line(UNIT); s != 0) kp::write_failure(s, "PARCSV", IERR);
}
