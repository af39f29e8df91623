#include "runtime/modeldata/text_utils.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/fixed_string.h"

namespace {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_blank_or_tab(char c) noexcept { return c == ' ' || c == '\t'; }

// 1-based position of the first PATTERN wholly inside TEXT(from..to), or 0.
std::int32_t find_in(std::string_view text, std::string_view pattern, std::size_t from,
                     std::size_t to) {
  if (from < 1 || from > to || to > text.size()) return 0;
  const std::size_t at = text.substr(from - 1, to - from + 1).find(pattern);
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(from + at);
}

// 1-based position of the first C in TEXT at or after FROM, or 0.
std::size_t find_char(std::string_view text, char c, std::size_t from) {
  if (from < 1 || from > text.size()) return 0;
  const std::size_t at = text.find(c, from - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

}  // namespace

void SLNLEN(std::string_view TEXT, std::int32_t& LENGTH) {
  kalvir::LoopGuard guard("SLNLEN");
  std::size_t n = TEXT.size();
  while (n > 0 && TEXT[n - 1] == ' ') {
    guard.tick();
    --n;
  }
  LENGTH = static_cast<std::int32_t>(n);
}

std::int32_t STRLNA(std::string_view TEXT) {
  std::int32_t length = 0;
  SLNLEN(TEXT, length);
  return length;
}

std::string IToC(std::int32_t I) { return std::to_string(I); }

void ILCHAR(std::span<char> TEXT, std::int32_t I, std::int32_t& LENGTH) {
  const std::string digits = std::to_string(I);
  if (digits.size() > TEXT.size()) {
    kalvir::assign_padded(TEXT, "");
    LENGTH = 0;
    return;
  }
  kalvir::assign_padded(TEXT, digits);
  LENGTH = static_cast<std::int32_t>(digits.size());
}

void SCHNUM(std::span<char> TEXT, std::int32_t I, std::int32_t& LENGTH, std::int32_t& IERR) {
  const std::string digits = I < 0 ? std::string("0") : std::to_string(I);
  IERR = I < 0 ? 1 : 0;
  kalvir::assign_padded(TEXT, digits);
  LENGTH = static_cast<std::int32_t>(std::min(digits.size(), TEXT.size()));
}

std::int32_t LENDGT(std::int32_t I) {
  // In 64 bits, so that the magnitude of the most negative value exists.
  std::int64_t magnitude = I < 0 ? -static_cast<std::int64_t>(I) : I;
  std::int32_t digits = 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    ++digits;
  }
  return digits;
}

void CCHAR(std::span<char> RESULT, std::string_view SOURCE, std::int32_t N) {
  kalvir::LoopGuard guard("CCHAR");
  kalvir::assign_padded(RESULT, "");
  const std::size_t wanted = std::min<std::size_t>(static_cast<std::size_t>(std::max(N, 0)), RESULT.size());
  std::size_t n = 0;
  for (std::size_t i = 0; i < SOURCE.size() && n < wanted; ++i) {
    guard.tick();
    if (!is_blank_or_tab(SOURCE[i])) RESULT[n++] = SOURCE[i];
  }
  // A "#" after the first character starts a comment; one in first place is data.
  const std::string_view copied(RESULT.data(), n);
  const std::size_t hash = copied.find('#');
  if (hash != std::string_view::npos && hash >= 1) {
    std::fill(RESULT.begin() + static_cast<std::ptrdiff_t>(hash), RESULT.end(), ' ');
  }
}

namespace {
// OK := the first N characters are digits; VALUE := their value, or OK := 0
// when the value does not fit in 32 bits.
void digits_value(std::string_view text, std::int32_t n, std::string_view routine,
                  std::int32_t& ok, std::int32_t& value) {
  ok = 0;
  value = 0;
  if (n < 1 || static_cast<std::size_t>(n) > text.size()) return;
  kalvir::LoopGuard guard(routine);
  std::int64_t v = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    guard.tick();
    const char c = text[static_cast<std::size_t>(i)];
    if (!is_digit(c)) return;
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<std::int32_t>::max()) return;
  }
  ok = 1;
  value = static_cast<std::int32_t>(v);
}
}  // namespace

void IINTCH(std::string_view TEXT, std::int32_t N, std::int32_t& IOK) {
  IOK = 0;
  if (N < 1 || static_cast<std::size_t>(N) > TEXT.size()) return;
  kalvir::LoopGuard guard("IINTCH");
  for (std::int32_t i = 0; i < N; ++i) {
    guard.tick();
    if (!is_digit(TEXT[static_cast<std::size_t>(i)])) return;
  }
  IOK = 1;
}

void IINTC2(std::string_view TEXT, std::int32_t N, std::int32_t& IOK, std::int32_t& IVAL) {
  digits_value(TEXT, N, "IINTC2", IOK, IVAL);
}

void LSRDIN(std::string_view TEXT, std::int32_t LAST, std::int32_t& IPOS, std::int32_t& IVAL,
            std::int32_t& IERR) {
  const auto len = static_cast<std::int64_t>(TEXT.size());
  if (IPOS < 1 || IPOS > len || !is_digit(TEXT[static_cast<std::size_t>(IPOS - 1)])) {
    IERR = 1;
    IVAL = 0;
    return;
  }
  kalvir::LoopGuard guard("LSRDIN");
  const std::int64_t last = std::min<std::int64_t>(LAST, len);
  std::int64_t pos = IPOS;
  std::int64_t v = 0;
  while (pos <= last && is_digit(TEXT[static_cast<std::size_t>(pos - 1)])) {
    guard.tick();
    v = v * 10 + (TEXT[static_cast<std::size_t>(pos - 1)] - '0');
    if (v > std::numeric_limits<std::int32_t>::max()) {
      IERR = 1;
      IVAL = 0;
      return;
    }
    ++pos;
  }
  IERR = 0;
  IVAL = static_cast<std::int32_t>(v);
  IPOS = static_cast<std::int32_t>(pos);
}

void GetToken(std::string_view TEXT, std::string_view DELIMS, std::int32_t& IPOS,
              std::span<char> TOKEN, std::int32_t& TOKLEN) {
  const auto len = static_cast<std::int64_t>(TEXT.size());
  const std::int64_t start = std::clamp<std::int64_t>(IPOS, 0, len);
  std::int64_t c = start + 1;
  while (c <= len && DELIMS.find(TEXT[static_cast<std::size_t>(c - 1)]) == std::string_view::npos) ++c;
  const std::int64_t n = std::max<std::int64_t>(c - start - 1, 0);
  kalvir::assign_padded(TOKEN, TEXT.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(n)));
  TOKLEN = static_cast<std::int32_t>(n);
  IPOS = static_cast<std::int32_t>(c);
}

std::string LTrim(std::string_view TEXT) {
  std::size_t first = 0;
  while (first < TEXT.size() && is_blank_or_tab(TEXT[first])) ++first;
  return kalvir::padded(TEXT.substr(first), TEXT.size());
}

void Sdblkx(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT, std::int32_t& LENGTH) {
  kalvir::assign_padded(RESULT, "");
  const std::size_t last = kalvir::trimmed_length(SOURCE);
  std::size_t n = 0;
  for (std::size_t i = 0; i < last; ++i) {
    const char c = SOURCE[i];
    const bool quote = c == '\'';
    if (quote || INQUOTE || !is_blank_or_tab(c)) {
      if (n >= RESULT.size()) internal_stop("Sdblkx 1");
      RESULT[n++] = c;
    }
    if (quote) INQUOTE = !INQUOTE;
  }
  // An open quoted section keeps the line's trailing blanks, which the
  // blank-filled result already holds.
  if (INQUOTE) {
    n += SOURCE.size() - last;
    if (n > RESULT.size()) internal_stop("Sdblkx 2");
  }
  LENGTH = static_cast<std::int32_t>(n);
}

void Sdblnk(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT) {
  std::int32_t length = 0;
  Sdblkx(SOURCE, INQUOTE, RESULT, length);
}

void SDBLKH(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT, std::int32_t& LENGTH) {
  kalvir::assign_padded(RESULT, "");
  LENGTH = 0;
  std::size_t n = 0;
  for (const char c : SOURCE) {
    const bool quote = c == '\'';
    if (!INQUOTE && c == '#') {
      LENGTH = static_cast<std::int32_t>(n);
      return;
    }
    if (quote || INQUOTE || !is_blank_or_tab(c)) {
      if (n >= RESULT.size()) internal_stop("SDBLKH 1");
      RESULT[n++] = c;
    }
    if (quote) INQUOTE = !INQUOTE;
  }
  if (INQUOTE) {
    n = SOURCE.size();
    if (n > RESULT.size()) internal_stop("SDBLKH 2");
  }
  LENGTH = static_cast<std::int32_t>(n);
}

void SQNDEX(std::string_view TEXT, std::string_view PATTERN, std::int32_t& IPOS) {
  kalvir::LoopGuard guard("SQNDEX");
  const std::size_t len = TEXT.size();
  std::size_t start = 1;
  IPOS = 0;
  while (start <= len) {
    guard.tick();
    const std::size_t quote = find_char(TEXT, '\'', start);
    const std::size_t window_end = quote == 0 ? len : quote;
    if (const std::int32_t at = find_in(TEXT, PATTERN, start, window_end); at != 0) {
      IPOS = at;
      return;
    }
    if (quote == 0 || quote + 2 > len) return;
    const std::size_t closing = find_char(TEXT, '\'', quote + 1);
    if (closing == 0 || closing >= len) return;
    start = closing + 1;
  }
}

void SBQNDX(std::string_view TEXT, std::string_view PATTERN, std::int32_t& IPOS) {
  kalvir::LoopGuard guard("SBQNDX");
  const std::size_t last = kalvir::trimmed_length(TEXT);
  std::size_t start = 1;
  IPOS = 0;
  while (start <= last) {
    guard.tick();
    const std::size_t paren = find_char(TEXT.substr(0, last), '(', start);
    const std::size_t quote = find_char(TEXT.substr(0, last), '\'', start);
    std::size_t opener = 0;
    if (paren != 0 && (quote == 0 || paren < quote)) opener = paren;
    if (quote != 0 && (paren == 0 || quote < paren)) opener = quote;
    if (opener == 0) {
      IPOS = find_in(TEXT, PATTERN, start, last);
      return;
    }
    if (const std::int32_t at = find_in(TEXT, PATTERN, start, opener); at != 0) {
      IPOS = at;
      return;
    }
    if (opener >= last) return;
    std::size_t closing = 0;
    if (TEXT[opener - 1] == '(') {
      int depth = 1;
      for (std::size_t i = opener + 1; i <= last; ++i) {
        if (TEXT[i - 1] == '(') ++depth;
        if (TEXT[i - 1] == ')' && --depth == 0) {
          closing = i;
          break;
        }
      }
    } else {
      closing = find_char(TEXT.substr(0, last), '\'', opener + 1);
    }
    if (closing == 0 || closing + 1 >= last) return;
    start = closing + 1;
  }
}

std::string SLTOU(std::string_view TEXT) {
  kalvir::LoopGuard guard("SLTOU");
  std::string out = kalvir::padded(TEXT, 30);
  for (char& c : out) {
    guard.tick();
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string ZDAYTM() {
  const kalvir::platform::ClockReading now = kalvir::platform::clock_now();
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), "%02d:%02d:%02d", now.hour, now.minute, now.second);
  return kalvir::padded(buf.data(), 8);
}

std::string ZDAYDT() {
  static constexpr std::array<std::string_view, 12> kMonths{
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  const kalvir::platform::ClockReading now = kalvir::platform::clock_now();
  const std::string_view month = kMonths[static_cast<std::size_t>(std::clamp(now.month, 1, 12) - 1)];
  std::array<char, 48> buf{};
  std::snprintf(buf.data(), buf.size(), "%02d %-9.*s %04d", now.day, static_cast<int>(month.size()),
                month.data(), now.year);
  return kalvir::padded(buf.data(), 17);
}
