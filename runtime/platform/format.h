// Formatted output and input with classic edit descriptors.
//
// Row layouts, result-file lines and CSV fields are described by format lists
// such as "(1X,A24,1P,4E13.5)"; users may also give their own. A format list is
// parsed once into a flat list of operations (Format) and then applied to any
// number of item lists, so printing a large table does not re-parse the text.
//
// Output follows the classic rules: a field that does not fit is filled with
// asterisks, numbers are rounded to nearest from their exact binary value
// (exact ties go to the even digit), a value that rounds to zero keeps its
// minus sign, and the optional zero before the decimal point is written only
// when the field has room for it.
//
// Nothing here throws or aborts: an invalid format, an item that does not
// suit its descriptor or an impossible field gives a positive status code.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kalvir::platform {

using FormatItem = std::variant<std::int64_t, double, std::string_view>;

// Status codes of the format routines (0 is success).
enum class FormatError : int {
  none = 0,
  syntax = 1,              // misplaced comma, bad number, unterminated literal, ...
  unbalanced = 2,          // parentheses do not match
  unknown_descriptor = 3,  // letter that is not an edit descriptor
  missing_width = 4,       // width, ".d" or exponent digits missing or zero
  type_mismatch = 5,       // item kind does not suit the data descriptor
  no_data_descriptor = 6,  // items left but the (reverted) format takes none
  scale_range = 7,         // kP out of range for Ew.d / Dw.d
  too_large = 8,           // counts, widths or output beyond the sane limits
};

class Format {
 public:
  // Parses a whole format list, parentheses included; text after the closing
  // parenthesis is ignored. On failure error receives the FormatError code.
  static std::optional<Format> parse(std::string_view fmt, int& error);
  static std::optional<Format> parse(std::string_view fmt);

  // Applies the format to items. records receives one string per record (its
  // previous strings are reused to save allocations, surplus ones dropped).
  // Returns 0, or a FormatError code with the records written so far.
  int write(std::span<const FormatItem> items, std::vector<std::string>& records) const;

 private:
  enum class Code : std::uint8_t {
    group_open,   // rep = repeat count, arg = index of the matching close
    group_close,  // arg = index of the matching open
    slash,        // rep = number of records ended
    colon,
    literal,      // arg = offset in literals_, w = length
    skip,         // nX / TRn: arg = n
    tab,          // Tn: arg = n (1-based column)
    tab_left,     // TLn: arg = n
    scale,        // kP: arg = k
    sign_plus,    // SP
    sign_default, // S, SS
    blank_mode,   // BN, BZ: output ignores them
    edit_i,
    edit_f,
    edit_e,
    edit_d,
    edit_es,
    edit_en,
    edit_g,
    edit_a,       // w = -1 when no width was given
    edit_l,
  };

  struct Op {
    Code code;
    std::int32_t rep = 1;
    std::int32_t w = -1;
    std::int32_t d = -1;  // digits after the point, or m of Iw.m
    std::int32_t e = 0;   // exponent digits of Ee (0: classic exponent)
    std::int32_t arg = 0;
  };

  friend class FormatParser;
  friend class FormatWriter;

  std::vector<Op> ops_;
  std::string literals_;       // text of every quoted literal, back to back
  std::size_t revert_ = 0;     // where format reversion resumes
  bool revert_has_data_ = false;
};

// Applies fmt to items (see Format::write); records is replaced.
int format_records(std::string_view fmt, std::span<const FormatItem> items,
                   std::vector<std::string>& records);

// Records joined with '\n'; an empty string when the format or an item is
// invalid.
std::string format_line(std::string_view fmt, std::initializer_list<FormatItem> items);

// Single edits. A width of 0 for edit_i and edit_f asks for the minimal width.
// Invalid digit counts or scale factors give w asterisks.
std::string edit_i(std::int64_t v, int w, int m = -1);
std::string edit_f(double v, int w, int d, int scale = 0);
std::string edit_e(double v, int w, int d, int e = 0, int scale = 0);
std::string edit_es(double v, int w, int d, int e = 0);
std::string edit_en(double v, int w, int d, int e = 0);
std::string edit_g(double v, int w, int d, int e = 0, int scale = 0);

// Formatted input of one field (Iw, Fw.d). Leading blanks are ignored; other
// blanks count as zeros when blank_zero is set, else they are skipped. An
// all-blank field reads as 0. A real without a decimal point has d implied
// decimals; its exponent is written with E, D or Q, or as a sign directly
// after the digits. Returns 0, EINVAL for a malformed field or ERANGE for a
// value out of range; value is left unchanged on failure.
int read_int_field(std::string_view field, std::int64_t& value, bool blank_zero);
int read_real_field(std::string_view field, int d, double& value, bool blank_zero);

}  // namespace kalvir::platform
