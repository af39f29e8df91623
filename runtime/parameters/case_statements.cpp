#include "runtime/parameters/case_statements.h"

#include <algorithm>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/array_changes.h"
#include "runtime/parameters/case_file.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/conductor_changes.h"
#include "runtime/parameters/constant_changes.h"
#include "runtime/parameters/node_changes.h"
#include "runtime/platform/fixed_string.h"

namespace {

using kalvir::parameters::report;

constexpr std::size_t kMnemonicText = 18;

void statement_failure(std::int32_t code, std::string_view what, std::string_view text) {
  report(std::string(what) + std::string(text), 256, 3, code, "PARAMC");
}

std::size_t find_unquoted(std::string_view text, std::string_view what) {
  std::int32_t pos = 0;
  SQNDEX(text, what, pos);
  return pos == 0 ? std::string_view::npos : static_cast<std::size_t>(pos - 1);
}

// The last SEPARATOR outside quotes.
std::size_t rfind_unquoted(std::string_view text, char separator) {
  std::size_t last = std::string_view::npos;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'') quoted = !quoted;
    if (!quoted && text[i] == separator) last = i;
  }
  return last;
}

// The entity code and matched length of the mnemonic at the start of TEXT.
void mnemonic(std::string_view text, std::int32_t& code, std::int32_t& length) {
  kalvir::Chars<kMnemonicText> name;
  code = 0;
  length = 0;
  ENTFND(text.substr(0, std::min(text.size(), kMnemonicText)), name.span(), code, length);
}

// GET: the submodel named by TEXT from the main model, or 0 for the main
// model itself; false when the path names none.
bool get_submodel(std::string_view text, std::int32_t& current) {
  current = 1;
  if (text == "0") return true;
  const std::string path = std::string(text) + ":";
  std::int32_t sub = 1;
  std::string_view rest;
  // The whole text must be the path.
  if (kalvir::parameters::leading_path(path, path.size(), 1, false, sub, rest) != 0 || !rest.empty()) return false;
  current = sub;
  return true;
}

// ON and OFF: false when the text holds no "(".
bool switch_conductors(std::string_view keyword, std::string_view text, std::int32_t current, std::int32_t& ierr) {
  const std::size_t paren = text.find('(');
  if (paren == std::string_view::npos) return false;
  const std::size_t colon = text.find(':');
  const bool path = colon != std::string_view::npos && colon < paren;
  const std::string_view kind = text.substr(0, path ? colon : paren);
  const std::string_view ref = text.substr(path ? colon + 1 : paren);
  std::int32_t code = 0, length = 0;
  mnemonic(kind, code, length);
  // The whole name must be the mnemonic: GLX is no conductor kind.
  if (length != static_cast<std::int32_t>(kind.size())) code = 0;
  PARCND("CHANGE", code, ref, kalvir::padded(keyword, 7), current, ierr);
  return true;
}

// CHANGE and SCALE once split: hands the statement to the owner of its
// left-hand side.
void change(std::string_view keyword, std::string_view lhs, std::string_view value, std::int32_t current,
            std::int32_t& ierr) {
  const std::size_t colon = lhs.find(':');
  const std::size_t paren = find_unquoted(lhs, "(");
  std::int32_t code = 0, length = 0;
  if (paren != std::string_view::npos) {
    mnemonic(lhs.substr(0, paren), code, length);
    const auto after = static_cast<std::size_t>(length);
    if (code >= 1 && (after == colon || after == paren)) {
      const std::size_t ref = std::min(colon == std::string_view::npos ? paren : colon + 1, paren);
      PARCND(keyword, code, lhs.substr(ref), value, current, ierr);
    } else {
      PARARR(keyword, lhs, value, current, ierr);
    }
    return;
  }
  mnemonic(lhs, code, length);
  if (code != 0) {
    const auto after = static_cast<std::size_t>(length);
    const std::string_view rest = lhs.substr(after);
    std::int32_t digits = 0;
    IINTCH(rest, static_cast<std::int32_t>(rest.size()), digits);
    if (after == colon || digits == 1) {
      PARNOD(keyword, code, after == colon ? rest.substr(1) : rest, value, current, ierr);
      return;
    }
  }
  PARCST(keyword, lhs, value, current, ierr);
}

}  // namespace

void PARAMC(std::int32_t PARUNIT, std::int32_t PRINTUNIT, std::int32_t& NERR, std::int32_t& ENDFLAG,
            std::span<char> LINE, std::int32_t& LENGTH) {
  NERR = 0;
  ENDFLAG = 0;
  std::int32_t current = 1;
  kalvir::Chars<7> keyword_field;
  kalvir::Chars<256> text_field;
  for (;;) {
    std::int32_t ierr = 0;
    std::int32_t length = 0;
    PARRD(PARUNIT, PRINTUNIT, keyword_field.span(), ENDFLAG, text_field.span(), length, ierr);
    const std::string_view keyword = keyword_field.trimmed();
    const std::string_view text =
        text_field.view().substr(0, static_cast<std::size_t>(std::clamp<std::int32_t>(length, 0, 256)));
    if (ENDFLAG != 0) {
      if (ierr != 0) ++NERR;  // a read error fails the case
      return;
    }
    if (keyword == "NewCase") {
      kalvir::assign_padded(LINE, text);
      LENGTH = length;
      return;
    }
    // Each failure of the statement names it and its line on standard error.
    const kalvir::FailurePlace place(
        kalvir::parameters::file_place(PARUNIT, std::string(keyword) + " " + std::string(text)));
    if (keyword == "GET") {
      if (!get_submodel(text, current)) {
        statement_failure(1, "Unrecognised submodel name@", text);
        ierr = 1;
      }
    } else if (keyword == "ON" || keyword == "OFF") {
      if (!switch_conductors(keyword, text, current, ierr)) {
        statement_failure(2, "Invalid conductor reference@", text);
        ierr = 2;
      }
    } else if (keyword == "CHANGE" || keyword == "SCALE") {
      // A CHANGE splits at its first "=" outside quotes, so that a quoted
      // value may hold "="; a scale factor is a plain number after the last "*".
      const std::size_t at = keyword == "CHANGE" ? find_unquoted(text, "=") : rfind_unquoted(text, '*');
      if (at == std::string_view::npos) {
        statement_failure(3, "Invalid statement@", text);
        ierr = 3;
      } else {
        change(kalvir::padded(keyword, 7), text.substr(0, at), text.substr(at + 1), current, ierr);
      }
    }
    if (ierr != 0) ++NERR;
  }
}
