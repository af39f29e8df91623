#include "runtime/parameters/case_file.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/file_names.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {

using kalvir::parameters::report;

constexpr std::size_t kRecordLength = 256;
constexpr std::string_view kRecord = "$PARAMETERS";
constexpr std::string_view kRecordWithOptions = "$PARAMETERS,";

// An option with exactly two values, each its own setting of one word.
struct ChoiceOption {
  std::string_view name;
  std::string_view value0, value1;
  std::int32_t code;
  std::string_view message;
};

constexpr std::array<ChoiceOption, 3> kChoices{{
    {"OUTPUT_FROM", "=OUTPUTS", "=VARIABLES2", 1,
     "$PARAMETERS record: Unrecognised OUTPUT_FROM option value@Should be either OUTPUTS or VARIABLES2 (without "
     "quotes)"},
    {"OUTPUT", "=SINGLE", "=MULTIPLE", 2,
     "$PARAMETERS record: Unrecognised OUTPUT option value@Should be either SINGLE or MULTIPLE (without quotes)"},
    {"CSV_OUTPUT", "=SINGLE", "=MULTIPLE", 4,
     "$PARAMETERS record: Unrecognised CSV_OUTPUT option value@Should be either SINGLE or MULTIPLE (without "
     "quotes)"},
}};

// An entity option: the name (12 characters), then OPEN and the text up to
// a last non-blank CLOSE.
struct EntityOption {
  std::string_view name;
  char open, close;
  bool keep_brackets;
  std::int32_t code;
};

constexpr std::array<EntityOption, 3> kEntities{{
    {"GFF_ENTITIES", '\'', '\'', false, 3},
    {"CSV_ENTITIES", '(', ')', true, 5},
    {"TMD_ENTITIES", '\'', '\'', false, 6},
}};

void entity_failure(const EntityOption& e, std::string_view option) {
  const std::string text(option);
  switch (e.code) {
    case 3: report("$PARAMETERS record: Unrecognised GFF_ENTITIES option format@" + text, 350, 3, 3, "PAROPT"); break;
    case 5: report("$PARAMETERS record: Unrecognised CSV_ENTITIES option format@" + text, 350, 3, 5, "PAROPT"); break;
    default:
      report("Invalid TMD_ENTITIES format@Parsing parameter-case options@Input is:<NL>  " + text +
                 "<NL>Correct format is:<NL>  TMD_ENTITIES = '...'@$PARAMETERS line in parameter-case file",
             350, 3, 6, "PAROPT");
  }
}

// The text of an entity option, or false when its form is wrong.
bool entity_text(const EntityOption& e, std::string_view option, std::string_view& text) {
  const std::size_t n = option.size();  // up to the last non-blank
  if (n < 14 || option[12] != '=' || option[13] != e.open || option[n - 1] != e.close) return false;
  text = e.keep_brackets ? option.substr(13) : option.substr(14, n - 1 > 14 ? n - 15 : 0);
  if (!e.keep_brackets && n == 14) text = {};  // the opening quote is the closing one
  return true;
}

// The keyword forms: the longest prefix of `word` present at the line's
// position, at least `shortest` characters, followed by a blank.
struct KeywordForm {
  std::string_view word;
  std::size_t shortest;
  std::string_view keyword;
};

constexpr std::array<KeywordForm, 5> kKeywords{{
    {"GET", 1, "GET"},
    {"CHANGE", 1, "CHANGE"},
    {"SCALE", 1, "SCALE"},
    {"ON", 2, "ON"},
    {"OFF", 2, "OFF"},
}};

}  // namespace

std::string kalvir::parameters::file_place(std::int32_t unit, std::string_view text) {
  return kalvir::platform::unit_name(unit) + " line " + std::to_string(kalvir::platform::lines_read(unit)) + ": " +
         std::string(kalvir::trim_right(text));
}

std::string kalvir::parameters::options_place(std::string_view option) {
  return kalvir::platform::unit_name(kalvir::unit::kParameters) + ", $PARAMETERS record: " + std::string(option);
}

void PAROPT(std::string_view LINE, std::int32_t& CHECK, std::int32_t& PARMONLY, std::int32_t& OUTMULT,
            std::int32_t& CSVENT, std::int32_t& CSVMULT, std::int32_t& GFFENT, std::int32_t& TMDENT,
            std::int32_t& OUTFROM, std::span<char> CSVLIST, std::span<char> GFFSTR, std::span<char> TMDSTR,
            std::int32_t& IERR) {
  CHECK = 0;
  PARMONLY = 0;
  const std::string_view line = kalvir::trim_right(LINE);
  if (line == kRecord) return;
  if (!line.starts_with(kRecordWithOptions)) {
    IERR = 8;
    report("$PARAMETERS record: Unrecognised statement@" + std::string(line), 350, 3, 8, "PAROPT");
    return;
  }
  const std::array<std::int32_t*, 3> choice_words{&OUTFROM, &OUTMULT, &CSVMULT};
  const std::array<std::int32_t*, 3> entity_flags{&GFFENT, &CSVENT, &TMDENT};
  const std::array<std::span<char>, 3> entity_texts{GFFSTR, CSVLIST, TMDSTR};

  std::string_view rest = line.substr(kRecordWithOptions.size());
  for (bool last = false; !last;) {
    std::int32_t comma = 0;
    SBQNDX(rest, ",", comma);
    last = comma == 0;
    const std::string_view option = kalvir::trim_right(last ? rest : rest.substr(0, static_cast<std::size_t>(comma - 1)));
    if (!last) rest = rest.substr(static_cast<std::size_t>(comma));

    if (option == "PARMONLY") {
      PARMONLY = 1;
      continue;
    }
    if (option == "CHECK") {
      CHECK = 1;
      continue;
    }
    // OUTPUT_FROM is tested before OUTPUT, which it begins with.
    bool known = false;
    for (std::size_t k = 0; k < kChoices.size() && !known; ++k) {
      const ChoiceOption& c = kChoices[k];
      if (!option.starts_with(c.name)) continue;
      known = true;
      const std::string_view value = option.substr(c.name.size());
      if (value == c.value0 || value == c.value1) {
        *choice_words[k] = value == c.value0 ? 0 : 1;
      } else {
        IERR = c.code;
        report(c.message, 350, 3, c.code, "PAROPT");
      }
    }
    for (std::size_t k = 0; k < kEntities.size() && !known; ++k) {
      const EntityOption& e = kEntities[k];
      if (!option.starts_with(e.name)) continue;
      known = true;
      std::string_view text;
      if (entity_text(e, option, text)) {
        *entity_flags[k] = 1;
        kalvir::assign_padded(entity_texts[k], text);
      } else {
        IERR = e.code;
        entity_failure(e, option);
      }
    }
    if (!known) {
      IERR = 7;
      report("$PARAMETERS record: Unrecognised option@" + std::string(option), 350, 3, 7, "PAROPT");
    }
  }
}

void PARRD(std::int32_t PARUNIT, std::int32_t PRINTUNIT, std::span<char> KEYWORD, std::int32_t& IOSTAT,
           std::span<char> TEXT, std::int32_t& LENGTH, std::int32_t& IERR) {
  kalvir::assign_padded(KEYWORD, "");
  std::string record;
  for (;;) {
    IOSTAT = kalvir::platform::read_line(PARUNIT, record);
    if (IOSTAT < 0) return;
    if (IOSTAT > 0) {
      IERR = 1;
      const kalvir::FailurePlace place(kalvir::parameters::file_place(PARUNIT, "(the line after it cannot be read)"));
      report("Error reading from Parameter case file", 150, 3, 1, "PARRD");
      return;
    }
    record.resize(kRecordLength, ' ');
    const std::size_t first = record.find_first_not_of(' ');
    if (first == std::string::npos || record[first] == '#') continue;

    bool inquote = false;
    if (record[first] == '!') {
      kalvir::assign_padded(KEYWORD, "NewCase");
      SDBLKH(record, inquote, TEXT, LENGTH);
      return;
    }
    const std::string_view at = std::string_view(record).substr(first);
    for (const KeywordForm& k : kKeywords) {
      std::size_t n = 0;
      while (n < k.word.size() && n < at.size() && at[n] == k.word[n]) ++n;
      if (n < k.shortest || n >= at.size() || at[n] != ' ') continue;
      kalvir::assign_padded(KEYWORD, k.keyword);
      SDBLKH(at.substr(n + 1), inquote, TEXT, LENGTH);
      const std::size_t length = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(LENGTH, 0)), 0, TEXT.size());
      std::string echo(1, ' ');
      echo.append(kalvir::padded(k.keyword, 7)).append(1, ' ').append(TEXT.data(), length);
      kalvir::platform::write_line(PRINTUNIT, echo);
      return;
    }
    IERR = 2;
    const kalvir::FailurePlace place(kalvir::parameters::file_place(PARUNIT, record));
    report("Unrecognised Parameter Case command@" + record, 150, 3, 2, "PARRD");
    return;
  }
}
