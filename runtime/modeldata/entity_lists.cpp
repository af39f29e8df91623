#include "runtime/modeldata/entity_lists.h"

#include <algorithm>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/entity_text.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/platform/fixed_string.h"

using kalvir::entity::cut;
using kalvir::entity::find_from;
using kalvir::entity::sub;

namespace {

constexpr std::int32_t kFirstNameless = 37;  // ZZB .. ZY: known names without values
constexpr std::int32_t kLastNameless = 41;

bool is_listed(std::span<const std::int32_t> listed, std::int32_t code) {
  return code >= 1 && code <= static_cast<std::int32_t>(listed.size()) &&
         listed[static_cast<std::size_t>(code - 1)] == 1;
}

// Appends code to the list; false when LIST or LISTED has no room for it.
bool append(std::int32_t code, std::span<std::int32_t> list, std::span<std::int32_t> listed, std::int32_t& n) {
  if (code < 1 || code > static_cast<std::int32_t>(listed.size()) || n < 0 ||
      n >= static_cast<std::int32_t>(list.size()))
    return false;
  listed[static_cast<std::size_t>(code - 1)] = 1;
  list[static_cast<std::size_t>(n++)] = code;
  return true;
}

}  // namespace

void ACONI(std::int32_t INC, std::int32_t N, std::int32_t VALUE, std::span<std::int32_t> ARRAY, std::int32_t& IERR) {
  IERR = 0;
  if (N < 1) return;
  // A step below 1 never reaches N: the loop guard's end, without the passes.
  if (INC < 1) ERROR("ACONI ");
  const std::int64_t last = std::min<std::int64_t>(N, static_cast<std::int64_t>(ARRAY.size()));
  for (std::int64_t i = 1; i <= last; i += INC) ARRAY[static_cast<std::size_t>(i - 1)] = VALUE;
}

void LSNTID(std::int32_t MAXCODE, std::int32_t CODE, std::string_view CALLER, std::span<std::int32_t> LIST,
            std::int32_t& CONDSEEN, std::span<std::int32_t> LISTED, std::int32_t& NODESEEN, std::int32_t& N,
            std::int32_t& IERR) {
  if (is_listed(LISTED, CODE)) {
    IERR = 1;
    SETERX(cut(std::string(kalvir::trim_right(CALLER)) + ": Mistake in ZENTS, repeated entity reference", 60), 2, 1,
           "LSNTID");
    return;
  }
  IERR = 0;
  if (CODE == MAXCODE) {
    for (std::int32_t c = MAXCODE - 6; c <= MAXCODE - 1; ++c) {
      if (is_listed(LISTED, c))
        IERR = 3;
      else if (!append(c, LIST, LISTED, N))
        IERR = 5;
    }
    if (CODE >= 1 && CODE <= static_cast<std::int32_t>(LISTED.size())) LISTED[static_cast<std::size_t>(CODE - 1)] = 1;
  } else if (!append(CODE, LIST, LISTED, N)) {
    IERR = 5;
    return;
  }
  if (CODE >= MAXCODE - 6 && CODE <= MAXCODE)
    CONDSEEN = 1;
  else
    NODESEEN = 1;
}

void LSDNTT(std::int32_t NLIST, std::int32_t NCODES, std::int32_t MAXCODE, std::string_view CALLER,
            std::string_view ZENTS, std::int32_t LEN, std::span<std::int32_t> LIST, std::int32_t& CONDSEEN,
            std::span<std::int32_t> LISTED, std::int32_t& NODESEEN, std::int32_t& N, std::int32_t& SEQ,
            std::int32_t& IERR) {
  const auto list = LIST.first(static_cast<std::size_t>(std::clamp<std::int64_t>(NLIST, 0, static_cast<std::int64_t>(LIST.size()))));
  const auto listed =
      LISTED.first(static_cast<std::size_t>(std::clamp<std::int64_t>(NCODES, 0, static_cast<std::int64_t>(LISTED.size()))));
  std::int32_t ierr = 0;
  ACONI(1, static_cast<std::int32_t>(list.size()), 0, list, ierr);
  ACONI(1, static_cast<std::int32_t>(listed.size()), 0, listed, ierr);
  CONDSEEN = 0;
  NODESEEN = 0;
  N = 0;
  SEQ = 0;
  IERR = 0;
  const bool user_attributes = SPRSIZ(3) + SPRSIZ(4) + SPRSIZ(5) > 0;
  const std::string caller(kalvir::trim_right(CALLER));
  const std::int32_t last_code = std::min(MAXCODE, kalvir::kNumEntityCodes);
  const std::string_view text = sub(ZENTS, 1, LEN);
  const auto len = static_cast<std::int32_t>(text.size());

  auto fail = [&](std::int32_t code, const std::string& message) {
    IERR = code;
    SETERX(cut(message, 100), 3, code, "LSDNTT");
  };
  auto decode = [&](std::string_view item) {
    const std::string whole(item);
    if (item.empty()) return fail(6, caller + ": Mistake in ZENTS, invalid entity reference@Entity=");
    std::int32_t direction = 0;
    std::string_view name = item;
    if (const auto at = item.find("-INC"); at != std::string_view::npos) {
      direction = 1;
      name = item.substr(0, at);
    } else if (const auto at2 = item.find("-DEC"); at2 != std::string_view::npos) {
      direction = -1;
      name = item.substr(0, at2);
    }
    std::int32_t code = 0;
    for (std::int32_t c = 1; c <= last_code && code == 0; ++c)
      if (kalvir::trim_right(ENTNAM(c)) == name) code = c;
    if (code == 0 && user_attributes) SPRENT(name, code);
    if (code == 0) return fail(5, caller + ": Mistake in ZENTS, invalid entity reference@Entity=" + whole);
    const bool conductor = code >= MAXCODE - 6 && code <= MAXCODE;
    if ((CONDSEEN == 1 && (code < MAXCODE - 11 || code > MAXCODE)) || (NODESEEN == 1 && conductor))
      return fail(1, caller + ": Mistake in ZENTS, mixed node & conductor entities");
    if (code >= kFirstNameless && code <= kLastNameless)
      return fail(2, "Mistake in ZENTS, invalid entity reference@" + caller + ": Decoding ZENTS@Entity = " + whole);
    if (direction == 0) return LSNTID(MAXCODE, code, CALLER, list, CONDSEEN, listed, NODESEEN, N, IERR);
    if (code == 1 || code == 24 || code == 29 || code == 36 || code < 2 || code > 300)
      return fail(4, caller + ": Mistake in ZENTS, invalid sequence identifier@Entity=" + whole);
    // The entity being made the sequence entity must suit what is listed.
    const bool node_like = code <= kalvir::kNumNodalEntityCodes || code > 100;
    if ((node_like && CONDSEEN == 1) || (conductor && NODESEEN == 1) || ENTRIC(code) == 3) {
      SEQ = 0;
      return fail(3, caller + ": Mistake in ZENTS, mixed node & conductor entities");
    }
    SEQ = direction * code;
  };

  std::int32_t pos = 1;
  for (;;) {
    const std::int32_t comma = find_from(text, ',', pos);
    decode(sub(text, pos, comma != 0 ? comma - 1 : len));
    if (comma == 0 || comma == len) break;
    pos = comma + 1;
  }
}
