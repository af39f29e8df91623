// The data lines of a GFF neutral file: the real-number notation chosen by
// the control constant FORMAT, the item texts (SETVU for reals, integers in
// 10 columns, texts in double quotes), the joining of items into one line
// (STRSPC) and the write of the line behind its record type number.
//
// Every record writer (gff_nodes, gff_conductors, gff_constants) fills the
// numbered items of a DataLine and writes it; every failure is fatal, since a
// neutral file with a hole in it would be read as a complete result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/format.h"

namespace kalvir::gff {

// Width of one item of a node, conductor or numeric-constant line, and of the
// item of a character-constant line.
inline constexpr std::size_t kItemWidth = 26;
inline constexpr std::size_t kTextConstantWidth = 255;
// Line capacities: node lines carry the user attributes, the others do not.
inline constexpr std::size_t kNodeLineCapacity = 5000;
inline constexpr std::size_t kLineCapacity = 1000;

// Status reported when an edited item does not fit its item width.
int item_overflow_status() noexcept;

// How reals are written: FORMAT "*" (trailing blanks ignored) is general
// editing in 12 columns with 6 significant digits; anything else is the edit
// descriptor "(" + FORMAT + ")", FORMAT taken at its 8 characters. The
// descriptor is parsed once; a faulty one fails at its first edit, so the
// report names the item that could not be written.
class RealNotation {
 public:
  explicit RealNotation(std::string_view format);

  // text := value edited (untrimmed). Returns 0, or a positive status when
  // the descriptor is invalid, does not suit one real or gives more than one
  // record, or the result is wider than kItemWidth.
  int edit(double value, std::string& text) const;

 private:
  bool general_ = false;
  std::optional<platform::Format> format_;
  int error_ = 0;
  mutable std::vector<std::string> records_;
};

// The text item of `text`: its characters without leading and trailing
// blanks inside double quotes, a double quote inside written twice so that a
// reader can take the line apart; a blank text gives a quote, a blank and a
// quote. Returns false when the quoted text (before doubling) is wider than
// `width`.
bool text_item(std::string_view text, std::size_t width, std::string& item);

// A fatal message (severity 4): the run ends.
[[noreturn]] void fatal(std::string_view text, std::int32_t code, std::string_view routine);
// The message of a failed item edit or line write; `subject` names what was
// being written ("data", "view factor data").
[[noreturn]] void write_failure(std::string_view routine, std::int32_t code, int status,
                                std::string_view subject = "data");

// Submodels a data block walks: 1 to the number of submodels below the main
// model inclusive (model directory row 2 of the main model), within the
// submodels the directory and the names describe.
std::int32_t block_submodels();

// Entities first..last (1-based, within their array of `total`) of submodel m
// by model directory row `row`: the entities before m (less those before
// submodel 1) plus 1, up to those before m + 1, or up to `total` for the
// last submodel nsub. Empty (first > last) when the directory says none.
struct EntityRange {
  std::int64_t first = 1;
  std::int64_t last = 0;
};
EntityRange entity_range(int row, std::int32_t m, std::int32_t nsub, std::int64_t total);

// One data line under construction: items numbered from 1 in the order of
// the record's attributes. Items keep their text until set again, so a writer
// sets the time once and the node or conductor items per line.
class DataLine {
 public:
  DataLine(std::int32_t unit, std::int32_t record, std::string_view routine, const RealNotation& notation,
           std::size_t items, std::size_t capacity = kLineCapacity, std::string_view subject = "data");

  // Item k := TIMEN in the real notation (zero included); failure: code.
  void time(std::size_t k, double timen, std::int32_t code);
  // Item k := value right-aligned in 10 columns (10 asterisks when it does
  // not fit); an integer edit cannot fail.
  void integer(std::size_t k, std::int64_t value);
  // Item k := SETVU(value).
  void real(std::size_t k, double value);
  // Item k := text item of text within `width`; failure: code.
  void text(std::size_t k, std::string_view text, std::int32_t code, std::size_t width = kItemWidth);
  // Joins the items (STRSPC) and writes the record type number, a blank and
  // the joined text as one line; a failed write: code.
  void write(std::int32_t code);

 private:
  std::string& slot(std::size_t k);

  std::int32_t unit_;
  std::string prefix_;
  std::string routine_;
  std::string_view subject_;
  const RealNotation& notation_;
  std::size_t capacity_;
  std::vector<std::string> items_;
  std::string line_;
};

}  // namespace kalvir::gff

// ITEM := one real value as a line item: "0.0" for zero of either sign,
// "NULL" for the undefined marker, else the value in NOTATION. An edit that
// fails is fatal (codes 1, 2, 3 for "0.0", "NULL" and the value).
void SETVU(const kalvir::gff::RealNotation& NOTATION, double VALUE, std::string& ITEM);

// LINE := the non-blank items, each without leading and trailing blanks,
// joined by one blank; a blank item leaves LINE alone, except that it makes
// an empty LINE a single blank. An item that would bring the line to
// CAPACITY characters is fatal ("Size of output buffer too small").
void STRSPC(std::span<const std::string> ITEMS, std::size_t CAPACITY, std::string& LINE);
