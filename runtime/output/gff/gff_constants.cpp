#include "runtime/output/gff/gff_constants.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/packed_store.h"

namespace kalvir::gff {

namespace {

enum Item : std::size_t { kTime = 1, kSubmodel, kName, kValue };
constexpr std::size_t kItems = 4;
constexpr std::int32_t kWriteCode = 5;

// The unpacked value of a character constant before it is trimmed.
constexpr std::size_t kUnpackWidth = 480;

// Where one kind of constant stands in the model directory: its constants of
// submodel m are (row `end_row` of m + 1, or `total` for the last submodel)
// less (row `first_row` of m); constant i of m has its name at row
// `name_row` of m + i and its value at row `value_row` of m + i.
struct ConstantKind {
  std::string_view routine;
  int first_row;
  int end_row;
  int name_row;
  int value_row;
  int total_word;  // FLAGS word of the count of the last submodel's end
  std::size_t value_width;
  void (*value)(DataLine&, std::int64_t /*value index*/, std::int32_t /*m*/);
};

std::int64_t dir(int row, std::int32_t m) { return gar_modeldirectory(row, m); }

// Element k of a constant array; an index the directory leads outside it
// means the loaded model is broken.
template <class A>
auto element(const A& a, std::int64_t k, std::string_view routine) {
  if (k < 1 || k > a.size()) internal_stop(std::string(routine) + ": user constant outside its array");
  return a(k);
}

void integer_value(DataLine& line, std::int64_t k, std::int32_t) {
  line.integer(kValue, element(gar_userconstvaluesint, k, "GIUCTS"));
}

void real_value(DataLine& line, std::int64_t k, std::int32_t) {
  line.real(kValue, element(gar_userconstvaluesreal, k, "GRUCTS"));
}

void character_value(DataLine& line, std::int64_t k, std::int32_t m) {
  const auto nrec = static_cast<std::int32_t>(std::min<std::int64_t>(FLAGS(8), gar_userconstvalueschar.size()));
  const std::int64_t start = 133 * dir(15, m) + element(gar_userconstpointerschar, k, "GCUCTS");
  std::string text(kUnpackWidth, ' ');
  std::int32_t len = 0, ierr = 0;
  DBFZPK(gar_userconstvalueschar, nrec, 133 * nrec, static_cast<std::int32_t>(start), len, text, ierr);
  // An empty value ends where it starts: it is blank, not missing.
  const std::string_view store = gar_userconstvalueschar.stream().substr(0, 133 * static_cast<std::size_t>(nrec));
  const bool empty = start >= 1 && start <= static_cast<std::int64_t>(store.size()) &&
                     store[static_cast<std::size_t>(start - 1)] == '\0';
  if (ierr == 1) write_failure("GCUCTS", 4, item_overflow_status());
  if (ierr != 0 && !empty) {
    fatal("Cannot unpack the value of a character user constant@Writing KALVIR neutral file@Submodel " +
              std::to_string(m) + ", value starting at character " + std::to_string(start),
          6, "GCUCTS");
  }
  line.text(kValue, empty ? std::string_view() : std::string_view(text), 4, kTextConstantWidth);
}

void write_constants(const ConstantKind& kind, std::int32_t unit, std::int32_t record, const RealNotation& notation,
                     double timen) {
  DataLine line(unit, record, kind.routine, notation, kItems);
  line.time(kTime, timen, 1);
  const std::int32_t nsub = block_submodels();
  for (std::int32_t m = 1; m <= nsub; ++m) {
    const std::int64_t end = m < nsub ? dir(kind.end_row, m + 1) : FLAGS(kind.total_word);
    const std::int64_t count = end - dir(kind.first_row, m);
    for (std::int64_t i = 1; i <= count; ++i) {
      const std::int64_t name = dir(kind.name_row, m) + i;
      if (name < 1 || name > gar_userconstnames.size()) {
        internal_stop(std::string(kind.routine) + ": user constant outside the name list");
      }
      line.integer(kSubmodel, m);
      line.text(kName, gar_userconstnames(name), 3, kind.value_width);
      kind.value(line, dir(kind.value_row, m) + i, m);
      line.write(kWriteCode);
    }
  }
}

}  // namespace

}  // namespace kalvir::gff

void GIUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  static constexpr ConstantKind kInteger{"GIUCTS", 9, 9, 12, 9, 7, kItemWidth, integer_value};
  write_constants(kInteger, UNIT, RECORD, NOTATION, TIMEN);
}

void GRUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  static constexpr ConstantKind kReal{"GRUCTS", 8, 8, 11, 8, 6, kItemWidth, real_value};
  write_constants(kReal, UNIT, RECORD, NOTATION, TIMEN);
}

void GCUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  static constexpr ConstantKind kCharacter{"GCUCTS", 13, 11, 13, 10, 16, kTextConstantWidth, character_value};
  write_constants(kCharacter, UNIT, RECORD, NOTATION, TIMEN);
}
