#include "runtime/output/print/table_layout.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/entity_values.h"

namespace {

using kalvir::print::ColumnPiece;
using kalvir::print::Heading;
using kalvir::print::RowLayout;
using kalvir::print::ValueKind;

constexpr std::string_view kHeadingStart = "          NODE  ";
constexpr std::int32_t kHeadingStartLength = 16;

// Fixed start of every user layout: a blank, the node's marker, a blank.
constexpr std::string_view kUserStart = "(1X,A1,1X,";
constexpr std::size_t kLayoutLength = 132;

// How an entity code is shown: its value kind, the node kinds that have it,
// its column width and what stands over it.
struct ColumnClass {
  ValueKind kind = ValueKind::Real;
  std::int32_t text_length = 0;
  std::int32_t extra = 0;
  std::int32_t width = 14;
  bool thermal = true;
  bool fluid = true;
  std::string name;  // mnemonic or attribute name, without trailing blanks
  bool attribute = false;
};

// The built-in text entities: label, fluid name, flow regime, state descriptor.
struct TextEntity {
  std::int32_t code;
  std::int32_t length;
  std::string_view heading;
};
constexpr std::array<TextEntity, 4> kTextEntities{{
    {1, 24, " LABEL"},
    {24, 24, " FLUID TYPE"},
    {29, 4, " FRG"},
    {36, 4, " FST"},
}};

const TextEntity* text_entity(std::int32_t code) {
  for (const TextEntity& t : kTextEntities)
    if (t.code == code) return &t;
  return nullptr;
}

ColumnClass column_class(std::int32_t code, std::int32_t table) {
  ColumnClass c;
  const std::int32_t kind = ENTYP(code);
  c.thermal = kind >= 0;
  c.fluid = kind <= 0;
  const std::int32_t value_class = ENTRIC(code);
  if (code > 100) {
    std::int32_t group = 0;
    std::int32_t index = 0;
    kalvir::Chars<18> name;
    SPRNAM(code, group, index, name.span());
    c.name = std::string(name.trimmed());
    c.attribute = true;
    const auto n = static_cast<std::int32_t>(c.name.size());
    if (value_class == 3) {
      c.kind = ValueKind::Text;
      c.text_length = 24;
      c.width = 28;
    } else {
      c.kind = value_class == 2 ? ValueKind::Integer : ValueKind::Real;
      c.width = std::max(n, 10) + 4;
      c.extra = std::max(n - 10, 0);
    }
    return c;
  }
  c.name = std::string(kalvir::trim_right(ENTNAM(code)));
  if (value_class == 3) {
    const TextEntity* t = text_entity(code);
    // The entity decoding lets no other text entity through.
    if (t == nullptr) internal_stop(table == 1 ? "lstbfm 1" : "lstbfm 2");
    c.kind = ValueKind::Text;
    c.text_length = t->length;
    c.width = t->length + 4;
  }
  return c;
}

// Puts text into heading characters from `first` (1-based), clipped at the
// heading's end.
void put_heading(Heading& head, std::int32_t first, std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const std::int64_t at = first - 1 + static_cast<std::int64_t>(k);
    if (at >= 0 && at < static_cast<std::int64_t>(Heading::size())) head.c[at] = text[k];
  }
}

void add_heading_piece(Heading& head, std::int32_t code, std::int32_t d, const ColumnClass& c) {
  if (c.attribute) {
    // The name stands over its 10-column value; after its 18-character field
    // the heading is blank.
    const auto n = c.name.size();
    const std::string field = n < 10 ? std::string(10 - n, ' ') + c.name : c.name;
    put_heading(head, d + 2, kalvir::padded(field, 18));
    put_heading(head, d + 20, std::string(Heading::size(), ' '));
  } else if (const TextEntity* t = text_entity(code)) {
    put_heading(head, d + 1, t->heading);
  } else {
    put_heading(head, d + 1, "        " + kalvir::padded(c.name, 3));
  }
}

ColumnPiece piece_of(std::int32_t code, const ColumnClass& c, bool has_value) {
  return {code, c.kind, c.text_length, c.extra, c.width, has_value};
}

void warn_overflow(const std::string& name, std::int32_t remaining, std::int32_t width) {
  std::string text =
      "Line length exceeded on continuation table.@Printing table output with PRNDTB.@Entities printed up to "
      "(but not including) ";
  text += name;
  text += ".<NL>Remaining ";
  text += std::to_string(remaining);
  text += " entities are ignored.<NL>";
  if (width > 131)
    text += "Line length (WIDTH) already at maximum 132 characters.<NL>Split entities over two calls to PRNDTB.@";
  else
    text += "Increase line length, integer global control constant WIDTH (maximum 132 characters).@";
  SETERX(text.substr(0, 300), 2, 1, "LSTBFM");
}

// The user layout held in a TFORM or TFORMF value, or nothing when the value
// is "*" or cannot be read (reported).
std::optional<kalvir::platform::Format> user_layout(std::string_view value, std::string_view source) {
  if (kalvir::same_trimmed(value, "*")) return std::nullopt;
  const std::size_t open = value.find('(');
  std::string_view rest = open == std::string_view::npos ? value : value.substr(open + 1);
  rest = kalvir::trim_right(rest).substr(0, kLayoutLength - kUserStart.size());
  std::string layout(kUserStart);
  layout += rest;
  if (auto format = kalvir::platform::Format::parse(layout)) return format;
  SETERX("Invalid row format in " + std::string(source) +
             "@Printing table output with PRNDTB.@The built row layout is used instead.",
         2, 2, "LSTBFM");
  return std::nullopt;
}

}  // namespace

void LSTBFM(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t WIDTH, std::int32_t STATUS,
            RowLayout& THERMAL1, RowLayout& FLUID1, RowLayout& THERMAL2, RowLayout& FLUID2, Heading& HEAD1,
            Heading& HEAD2, std::int32_t& N1, std::int32_t& N2, std::int32_t& CONT) {
  for (RowLayout* l : {&THERMAL1, &FLUID1, &THERMAL2, &FLUID2}) *l = RowLayout{};
  HEAD1 = kHeadingStart;
  HEAD2 = kHeadingStart;
  N1 = 0;
  N2 = 0;
  CONT = 0;

  std::optional<kalvir::platform::Format> tform;
  std::optional<kalvir::platform::Format> tformf;
  if (STATUS <= 2) {
    tform = user_layout(GLOC.TFORM.view(), "TFORM");
    tformf = user_layout(GLOC.TFORMF.view(), "TFORMF");
  }
  // With both user layouts no built layout is made; it is still laid out
  // here, silently, for rows that the user layouts cannot write.
  const bool report = !(tform && tformf);

  const std::int32_t n = std::clamp<std::int32_t>(N, 0, static_cast<std::int32_t>(LIST.size()));
  std::int32_t d = kHeadingStartLength;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t code = LIST[static_cast<std::size_t>(k)];
    ColumnClass c = column_class(code, CONT + 1);
    if (CONT == 0 && d + c.width > WIDTH) {
      CONT = 1;
      d = kHeadingStartLength;
      c = column_class(code, 2);
    }
    if (CONT == 1 && d + c.width > WIDTH) {
      if (report) warn_overflow(c.name, n - k, WIDTH);
      break;
    }
    RowLayout& thermal = CONT == 0 ? THERMAL1 : THERMAL2;
    RowLayout& fluid = CONT == 0 ? FLUID1 : FLUID2;
    thermal.pieces.push_back(piece_of(code, c, c.thermal));
    fluid.pieces.push_back(piece_of(code, c, c.fluid));
    add_heading_piece(CONT == 0 ? HEAD1 : HEAD2, code, d, c);
    (CONT == 0 ? N1 : N2) += 1;
    d += c.width;
  }

  if (tform || tformf) {
    if (tform) {
      THERMAL1.user = std::move(tform);
      THERMAL1.user_source = "TFORM";
    }
    if (tformf) {
      FLUID1.user = std::move(tformf);
      FLUID1.user_source = "TFORMF";
    }
    HEAD1 = "  " + std::string(GLOC.THEAD.view().substr(0, 130));
    N1 = n;
    N2 = 0;
    CONT = 0;
  }
}
