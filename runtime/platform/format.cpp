#include "runtime/platform/format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kalvir::platform {
namespace {

// Limits that keep a hostile or mistyped format from exhausting memory or
// time; real layouts stay far below them.
constexpr std::int32_t kMaxCount = 100000;  // widths, digit counts, repeats, nX
constexpr std::size_t kMaxDepth = 64;       // nested groups
constexpr std::size_t kMaxRecordLength = 1u << 20;
constexpr std::size_t kMaxRecords = 1u << 20;
constexpr std::uint64_t kMaxSteps = 1u << 26;

constexpr int status(FormatError e) { return static_cast<int>(e); }

// ---------------------------------------------------------------------------
// Exact decimal conversion. glibc's printf converts the exact binary value and
// rounds ties to even, which is the rounding this formatter promises.

// printf of one double with a precision, on the stack unless the field is
// very wide.
class Printed {
 public:
  Printed(const char* fmt, int precision, double v) {
    int n = std::snprintf(small_.data(), small_.size(), fmt, precision, v);
    if (n < 0) n = 0;
    const auto len = static_cast<std::size_t>(n);
    if (len < small_.size()) {
      text_ = {small_.data(), len};
    } else {
      big_.resize(len + 1);
      std::snprintf(big_.data(), big_.size(), fmt, precision, v);
      text_ = {big_.data(), len};
    }
  }
  Printed(const Printed&) = delete;
  Printed& operator=(const Printed&) = delete;
  std::string_view text() const { return text_; }

 private:
  std::array<char, 160> small_;
  std::string big_;
  std::string_view text_;
};

// A nonnegative value rounded to n significant digits: 0.d1 d2 ... dn x 10^exp.
// A double has at most 767 significant decimal digits, so digits beyond the
// stored ones are zeros.
struct Significant {
  static constexpr int kStored = 780;
  std::array<char, kStored> digits{};
  int stored = 0;  // digits held; 0 for the value zero
  int exp = 0;
  char digit(int i) const { return i < stored ? digits[static_cast<std::size_t>(i)] : '0'; }
};

// a finite, a >= 0, n >= 1.
void round_significant(double a, int n, Significant& s) {
  s.stored = 0;
  s.exp = 0;
  if (a == 0.0) return;
  const int prec = std::min(n, Significant::kStored) - 1;
  std::array<char, Significant::kStored + 16> buf;
  const int len = std::snprintf(buf.data(), buf.size(), "%.*e", prec, a);
  if (len <= 0) return;
  const std::string_view t(buf.data(), static_cast<std::size_t>(len));
  std::size_t i = 0;
  for (; i < t.size() && t[i] != 'e'; ++i) {
    if (t[i] >= '0' && t[i] <= '9') s.digits[static_cast<std::size_t>(s.stored++)] = t[i];
  }
  int sign = 1;
  int x = 0;
  for (++i; i < t.size(); ++i) {
    if (t[i] == '-') sign = -1;
    if (t[i] >= '0' && t[i] <= '9') x = x * 10 + (t[i] - '0');
  }
  s.exp = sign * x + 1;
}

// Digits of round(a x 10^p) without leading zeros (empty for zero), a finite
// and nonnegative.
void rounded_integer(double a, int p, std::string& out) {
  out.clear();
  if (p >= 0) {
    const Printed pr("%.*f", p, a);
    for (char c : pr.text()) {
      if (c == '.' || (out.empty() && c == '0')) continue;
      out.push_back(c);
    }
    return;
  }
  // Rounding to tens or coarser: printf has no negative precision, so round
  // the exact expansion by hand. A double >= 1 has at most 52 fraction digits.
  if (a < 1.0) return;  // below half of 10^-p, which is at least 5
  const Printed pr("%.*f", 60, a);
  const std::string_view t = pr.text();
  const std::size_t point = t.find('.');
  const std::string_view ip = t.substr(0, point);
  const std::string_view fp = t.substr(point + 1);
  const auto q = static_cast<std::size_t>(-p);
  if (ip.size() < q) return;
  const std::string_view kept = ip.substr(0, ip.size() - q);
  const std::string_view dropped = ip.substr(ip.size() - q);
  bool up = false;
  if (dropped[0] > '5') {
    up = true;
  } else if (dropped[0] == '5') {
    const auto nonzero = [](std::string_view s) {
      return s.find_first_not_of('0') != std::string_view::npos;
    };
    up = nonzero(dropped.substr(1)) || nonzero(fp) ||
         (!kept.empty() && ((kept.back() - '0') % 2 == 1));
  }
  out.assign(kept);
  if (up) {
    std::size_t i = out.size();
    while (i > 0 && out[i - 1] == '9') out[--i] = '0';
    if (i == 0) {
      out.insert(out.begin(), '1');
    } else {
      ++out[i - 1];
    }
  }
  const std::size_t first = out.find_first_not_of('0');
  out.erase(0, first == std::string::npos ? out.size() : first);
}

// ---------------------------------------------------------------------------
// Output edits. Each appends exactly w characters (the minimal field for a
// width of 0 where allowed).

enum class Edit { fitted, overflow, invalid };

void stars(std::string& out, int w) { out.append(static_cast<std::size_t>(std::max(w, 0)), '*'); }
void blanks(std::string& out, int n) {
  if (n > 0) out.append(static_cast<std::size_t>(n), ' ');
}

// A field of stars, the answer of an edit whose value cannot be written.
Edit starred(std::string& out, int w, Edit why) {
  stars(out, w);
  return why;
}

// The sign a number shows: '-' when negative, '+' when asked for, else none ('\0').
char sign_char(bool neg, bool plus) { return neg ? '-' : (plus ? '+' : '\0'); }

// Starts a right-justified field of width w for a value that needs `need`
// characters, sign (when not '\0') the first of them: the leading blanks and
// the sign. False, with the field all stars, when the value does not fit.
bool open_field(std::string& out, int w, int need, char sign) {
  if (need > w) {
    stars(out, w);
    return false;
  }
  blanks(out, w - need);
  if (sign != '\0') out.push_back(sign);
  return true;
}

// Infinity and NaN, right-justified.
Edit put_special(std::string& out, double v, int w, bool plus) {
  std::string_view text = "NaN";
  char sign = 0;
  if (std::isinf(v)) {
    if (std::signbit(v)) {
      sign = '-';
    } else if (plus) {
      sign = '+';
    }
    const int room = w - (sign != 0 ? 1 : 0);
    text = (w == 0 || room < 8) ? "Inf" : "Infinity";
  }
  const int need = static_cast<int>(text.size()) + (sign != 0 ? 1 : 0);
  if (w == 0) w = need;
  if (!open_field(out, w, need, sign)) return Edit::overflow;
  out.append(text);
  return Edit::fitted;
}

Edit put_int(std::string& out, std::int64_t v, int w, int m, bool plus) {
  const std::uint64_t mag =
      v < 0 ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
  std::array<char, 24> buf;
  int nd = static_cast<int>(std::to_chars(buf.data(), buf.data() + buf.size(), mag).ptr - buf.data());
  if (m == 0 && mag == 0) nd = 0;  // Iw.0 writes zero as blanks only
  const int digits = std::max(nd, m);
  const bool sign = v < 0 || plus;
  const int need = digits + (sign ? 1 : 0);
  if (w == 0) w = std::max(need, 1);
  if (!open_field(out, w, need, sign_char(v < 0, plus))) return Edit::overflow;
  out.append(static_cast<std::size_t>(digits - nd), '0');
  out.append(buf.data(), static_cast<std::size_t>(nd));
  return Edit::fitted;
}

// Fw.d with scale factor k (the value is multiplied by 10^k).
Edit put_fixed(std::string& out, double v, int w, int d, int k, bool plus) {
  if (!std::isfinite(v)) return put_special(out, v, w, plus);
  if (d < 0 || w < 0) return starred(out, w, Edit::invalid);
  const bool neg = std::signbit(v);
  const double a = std::fabs(v);
  if (w > 0 && a >= 1.0) {
    // A lower bound of the integer digits spares converting huge values that
    // cannot fit anyway.
    int e2 = 0;
    (void)std::frexp(a, &e2);
    const double lower = std::floor((e2 - 1) * 0.30102999) + 1.0 + k;
    if (lower > w) return starred(out, w, Edit::overflow);
  }
  std::string digits;
  rounded_integer(a, d + k, digits);
  const int len = static_cast<int>(digits.size());
  const int before = std::max(0, len - d);
  const bool sign = neg || plus;
  int need = (sign ? 1 : 0) + before + 1 + d;
  bool zero = before == 0 && d == 0;  // a field needs at least one digit
  if (w == 0) {
    w = need + (zero ? 1 : 0);
  } else if (before == 0 && !zero && need < w) {
    zero = true;  // optional zero, written when there is room
  }
  if (zero) ++need;
  if (!open_field(out, w, need, sign_char(neg, plus))) return Edit::overflow;
  if (zero) out.push_back('0');
  out.append(digits, 0, static_cast<std::size_t>(before));
  out.push_back('.');
  const int shown = std::min(len, d);
  out.append(static_cast<std::size_t>(d - shown), '0');
  out.append(digits, static_cast<std::size_t>(len - shown), std::string::npos);
  return Edit::fitted;
}

// Mantissa and exponent of the E, D, ES and EN forms: int_digits digits before
// the point, lead_zeros zeros after it, then the remaining significant digits,
// frac_digits in all after the point.
Edit put_exponent_form(std::string& out, bool neg, bool plus, const Significant& s,
                       int int_digits, int lead_zeros, int frac_digits, int expo, int w,
                       int e, char letter) {
  const int ax = std::abs(expo);
  int ax_digits = 1;
  for (int t = ax; t > 9; t /= 10) ++ax_digits;
  int exp_width = 2;  // digits written
  bool with_letter = true;
  if (e > 0) {
    exp_width = e;
  } else if (ax > 99) {
    exp_width = 3;
    with_letter = false;  // "1.0000-100": the sign takes the letter's place
  }
  if (ax_digits > exp_width) return starred(out, w, Edit::overflow);
  const int exp_len = exp_width + (with_letter ? 2 : 1);
  const bool sign = neg || plus;
  int need = (sign ? 1 : 0) + int_digits + 1 + frac_digits + exp_len;
  bool zero = int_digits == 0 && frac_digits == 0;
  if (int_digits == 0 && !zero && need < w) zero = true;
  if (zero) ++need;
  if (!open_field(out, w, need, sign_char(neg, plus))) return Edit::overflow;
  if (zero) out.push_back('0');
  int next = 0;
  for (; next < int_digits; ++next) out.push_back(s.digit(next));
  out.push_back('.');
  out.append(static_cast<std::size_t>(lead_zeros), '0');
  for (int i = lead_zeros; i < frac_digits; ++i) out.push_back(s.digit(next++));
  if (with_letter) out.push_back(letter);
  out.push_back(expo < 0 ? '-' : '+');
  std::array<char, 8> xb;
  const int xn = static_cast<int>(std::to_chars(xb.data(), xb.data() + xb.size(), ax).ptr - xb.data());
  out.append(static_cast<std::size_t>(exp_width - xn), '0');
  out.append(xb.data(), static_cast<std::size_t>(xn));
  return Edit::fitted;
}

// Ew.d / Dw.d with scale factor k: k digits before the point when k > 0,
// otherwise "0." followed by -k zeros.
Edit put_e(std::string& out, double v, int w, int d, int e, int k, char letter, bool plus) {
  if (!std::isfinite(v)) return put_special(out, v, w, plus);
  if (w <= 0 || d < 0 || k <= -d || k >= d + 2) return starred(out, w, Edit::invalid);
  const int n = k > 0 ? d + 1 : d + k;
  Significant s;
  round_significant(std::fabs(v), n, s);
  const int expo = s.stored == 0 ? 0 : s.exp - k;
  if (k > 0) return put_exponent_form(out, std::signbit(v), plus, s, k, 0, d - k + 1, expo, w, e, letter);
  return put_exponent_form(out, std::signbit(v), plus, s, 0, -k, d, expo, w, e, letter);
}

Edit put_es(std::string& out, double v, int w, int d, int e, bool plus) {
  if (!std::isfinite(v)) return put_special(out, v, w, plus);
  if (w <= 0 || d < 0) return starred(out, w, Edit::invalid);
  Significant s;
  round_significant(std::fabs(v), d + 1, s);
  const int expo = s.stored == 0 ? 0 : s.exp - 1;
  return put_exponent_form(out, std::signbit(v), plus, s, 1, 0, d, expo, w, e, 'E');
}

int floor3(int y) { return y >= 0 ? y / 3 * 3 : -((-y + 2) / 3) * 3; }

Edit put_en(std::string& out, double v, int w, int d, int e, bool plus) {
  if (!std::isfinite(v)) return put_special(out, v, w, plus);
  if (w <= 0 || d < 0) return starred(out, w, Edit::invalid);
  const double a = std::fabs(v);
  Significant s;
  int y = 0;
  if (a != 0.0) {
    // The digits before the point follow from the exponent of the value
    // itself. Forty digits are far more than any double needs to show its
    // exponent without a rounding carry.
    round_significant(a, 40, s);
    y = s.exp - 1;
    round_significant(a, y - floor3(y) + 1 + d, s);
    // A rounding carry makes the value a power of ten, whose digits are a one
    // followed by zeros for any count before the point.
    y = s.exp - 1;
  }
  const int expo = floor3(y);
  return put_exponent_form(out, std::signbit(v), plus, s, y - expo + 1, 0, d, expo, w, e, 'E');
}

// Gw.d: fixed form with d significant digits followed by blanks where the
// exponent would stand, when the rounded value lies in [0.1, 10^d); the E form
// (with the scale factor) otherwise. Zero uses the fixed form with d-1 digits.
Edit put_g(std::string& out, double v, int w, int d, int e, int k, bool plus) {
  if (!std::isfinite(v)) return put_special(out, v, w, plus);
  if (w <= 0 || d < 0) return starred(out, w, Edit::invalid);
  const int tail = e > 0 ? e + 2 : 4;
  const double a = std::fabs(v);
  int decimals = -1;
  if (a == 0.0) {
    decimals = std::max(d - 1, 0);
  } else if (d > 0) {
    Significant s;
    round_significant(a, d, s);
    if (s.exp >= 0 && s.exp <= d) decimals = d - s.exp;
  }
  if (decimals < 0) return put_e(out, v, w, d, e, k, 'E', plus);
  const std::size_t start = out.size();
  if (w - tail < 1 || put_fixed(out, v, w - tail, decimals, 0, plus) != Edit::fitted) {
    out.resize(start);
    return starred(out, w, Edit::overflow);
  }
  blanks(out, tail);
  return Edit::fitted;
}

void put_a(std::string& out, std::string_view text, int w) {
  if (w < 0) {
    out.append(text);
  } else if (static_cast<std::size_t>(w) >= text.size()) {
    blanks(out, w - static_cast<int>(text.size()));
    out.append(text);
  } else {
    out.append(text.substr(0, static_cast<std::size_t>(w)));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Parsing. Blanks are insignificant outside quoted literals and letters are
// case-insensitive. Commas between items may be left out, as most compilers
// allow; an empty item (",," or "(,") is an error.

class FormatParser {
 public:
  FormatParser(std::string_view text, Format& f) : s_(text), f_(f) {}

  int run() {
    if (peek() != '(') return status(FormatError::syntax);
    ++i_;
    std::array<std::size_t, kMaxDepth> open{};
    std::size_t depth = 0;
    std::size_t last_top_group = std::numeric_limits<std::size_t>::max();
    bool expect_item = true;  // just after "(" or ","
    bool after_comma = false;
    for (;;) {
      const char c = peek();
      if (c == '\0') return status(FormatError::unbalanced);
      if (c == ',') {
        if (expect_item) return status(FormatError::syntax);
        ++i_;
        expect_item = after_comma = true;
        continue;
      }
      if (c == ')') {
        if (after_comma) return status(FormatError::syntax);
        ++i_;
        if (depth == 0) break;  // end of the list; the rest is ignored
        const std::size_t o = open[--depth];
        f_.ops_[o].arg = static_cast<std::int32_t>(f_.ops_.size());
        push({.code = Format::Code::group_close, .arg = static_cast<std::int32_t>(o)});
        if (depth == 0) last_top_group = o;
        expect_item = after_comma = false;
        continue;
      }
      after_comma = false;
      int rc = 0;
      if (c == '(') {
        if (depth == kMaxDepth) return status(FormatError::too_large);
        ++i_;
        open[depth++] = f_.ops_.size();
        push({.code = Format::Code::group_open});
        expect_item = true;
        continue;
      }
      rc = item();
      if (rc == kOpenedGroup) {
        if (depth == kMaxDepth) return status(FormatError::too_large);
        open[depth++] = f_.ops_.size() - 1;
        expect_item = true;
        continue;
      }
      if (rc != 0) return rc;
      expect_item = false;
    }
    if (f_.ops_.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      return status(FormatError::too_large);
    // Reversion resumes at the last group closed at the outer level (with its
    // repeat count), or at the start of the list.
    f_.revert_ = last_top_group == std::numeric_limits<std::size_t>::max() ? 0 : last_top_group;
    f_.revert_has_data_ = std::any_of(f_.ops_.begin() + static_cast<std::ptrdiff_t>(f_.revert_),
                                      f_.ops_.end(), [](const Format::Op& op) {
                                        return op.code >= Format::Code::edit_i;
                                      });
    return 0;
  }

 private:
  static constexpr int kOpenedGroup = -1;

  char peek() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
    if (i_ >= s_.size()) return '\0';
    return static_cast<char>(std::toupper(static_cast<unsigned char>(s_[i_])));
  }
  static bool is_digit(char c) { return c >= '0' && c <= '9'; }

  void push(const Format::Op& op) { f_.ops_.push_back(op); }

  // Unsigned number; blanks between its digits are ignored. Returns 0, or
  // missing_width when there is no digit, too_large when beyond kMaxCount.
  int number(std::int32_t& v) {
    if (!is_digit(peek())) return status(FormatError::missing_width);
    std::int64_t n = 0;
    while (is_digit(peek())) {
      n = n * 10 + (s_[i_++] - '0');
      if (n > kMaxCount) return status(FormatError::too_large);
    }
    v = static_cast<std::int32_t>(n);
    return 0;
  }
  int positive(std::int32_t& v) {
    const int rc = number(v);
    if (rc == 0 && v == 0) return status(FormatError::missing_width);
    return rc;
  }
  // ".d"
  int decimals(std::int32_t& d) {
    if (peek() != '.') return status(FormatError::missing_width);
    ++i_;
    return number(d);
  }
  // Optional "Ee" after Ew.d, ESw.d, ENw.d and Gw.d. An E not followed by a
  // digit starts the next descriptor.
  int exponent(std::int32_t& e) {
    if (peek() != 'E') return 0;
    const std::size_t at = i_;
    ++i_;
    if (!is_digit(peek())) {
      i_ = at;
      return 0;
    }
    return positive(e);
  }

  int literal(char quote) {
    ++i_;
    const auto offset = f_.literals_.size();
    for (;;) {
      if (i_ >= s_.size()) return status(FormatError::syntax);
      const char c = s_[i_++];
      if (c == quote) {
        if (i_ < s_.size() && s_[i_] == quote) {
          f_.literals_.push_back(quote);
          ++i_;
          continue;
        }
        break;
      }
      f_.literals_.push_back(c);
    }
    if (f_.literals_.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      return status(FormatError::too_large);
    push({.code = Format::Code::literal,
          .w = static_cast<std::int32_t>(f_.literals_.size() - offset),
          .arg = static_cast<std::int32_t>(offset)});
    return 0;
  }

  // One item that is not a comma, a parenthesis closing a group or an
  // unrepeated group; kOpenedGroup when it opened a repeated group.
  int item() {
    char c = peek();
    if (c == '\'' || c == '"') return literal(s_[i_]);
    if (c == ':') {
      ++i_;
      push({.code = Format::Code::colon});
      return 0;
    }
    if (c == '/') {
      ++i_;
      push({.code = Format::Code::slash});
      return 0;
    }
    if (c == '+' || c == '-') {
      ++i_;
      std::int32_t k = 0;
      if (const int rc = number(k); rc != 0) return status(FormatError::syntax);
      if (peek() != 'P') return status(FormatError::syntax);
      ++i_;
      push({.code = Format::Code::scale, .arg = c == '-' ? -k : k});
      return 0;
    }
    std::int32_t rep = 1;
    bool repeated = false;
    if (is_digit(c)) {
      if (const int rc = number(rep); rc != 0) return rc;
      repeated = true;
      c = peek();
      switch (c) {
        case 'P':
          ++i_;
          push({.code = Format::Code::scale, .arg = rep});
          return 0;
        case 'X':
          ++i_;
          if (rep == 0) return status(FormatError::missing_width);
          push({.code = Format::Code::skip, .arg = rep});
          return 0;
        default:
          break;
      }
      if (rep == 0) return status(FormatError::syntax);
      if (c == '(') {
        ++i_;
        push({.code = Format::Code::group_open, .rep = rep});
        return kOpenedGroup;
      }
      if (c == '/') {
        ++i_;
        push({.code = Format::Code::slash, .rep = rep});
        return 0;
      }
    }
    if (c < 'A' || c > 'Z') return status(c == '\0' ? FormatError::unbalanced : FormatError::syntax);
    ++i_;
    Format::Op op{.code = Format::Code::edit_i, .rep = rep};
    int rc = 0;
    switch (c) {
      case 'I':
        op.code = Format::Code::edit_i;
        rc = number(op.w);
        if (rc == 0 && peek() == '.') {
          ++i_;
          rc = number(op.d);
        }
        break;
      case 'F':
        op.code = Format::Code::edit_f;
        rc = number(op.w);
        if (rc == 0) rc = decimals(op.d);
        break;
      case 'E':
      case 'G':
        op.code = c == 'G' ? Format::Code::edit_g : Format::Code::edit_e;
        if (c == 'E' && peek() == 'S') {
          op.code = Format::Code::edit_es;
          ++i_;
        } else if (c == 'E' && peek() == 'N') {
          op.code = Format::Code::edit_en;
          ++i_;
        }
        rc = positive(op.w);
        if (rc == 0) rc = decimals(op.d);
        if (rc == 0) rc = exponent(op.e);
        break;
      case 'D':
        op.code = Format::Code::edit_d;
        rc = positive(op.w);
        if (rc == 0) rc = decimals(op.d);
        break;
      case 'A':
        op.code = Format::Code::edit_a;
        if (is_digit(peek())) rc = positive(op.w);
        break;
      case 'L':
        op.code = Format::Code::edit_l;
        rc = positive(op.w);
        break;
      default:
        if (!repeated) return control(c);
        // A count before a control descriptor is misplaced; before anything
        // else the letter itself is unknown.
        return status(c == 'T' || c == 'S' || c == 'B' ? FormatError::syntax
                                                       : FormatError::unknown_descriptor);
    }
    if (rc != 0) return rc;
    push(op);
    return 0;
  }

  // Unrepeatable control descriptors; c has been consumed.
  int control(char c) {
    std::int32_t n = 0;
    switch (c) {
      case 'X':  // a bare X is taken as 1X
        push({.code = Format::Code::skip, .arg = 1});
        return 0;
      case 'T': {
        Format::Code code = Format::Code::tab;
        if (peek() == 'L') {
          code = Format::Code::tab_left;
          ++i_;
        } else if (peek() == 'R') {
          code = Format::Code::skip;
          ++i_;
        }
        if (const int rc = positive(n); rc != 0) return rc;
        push({.code = code, .arg = n});
        return 0;
      }
      case 'S':
        if (peek() == 'P') {
          ++i_;
          push({.code = Format::Code::sign_plus});
        } else {
          if (peek() == 'S') ++i_;
          push({.code = Format::Code::sign_default});
        }
        return 0;
      case 'B':
        if (peek() != 'N' && peek() != 'Z') return status(FormatError::unknown_descriptor);
        ++i_;
        push({.code = Format::Code::blank_mode});
        return 0;
      case 'P':
        return status(FormatError::syntax);  // scale factor without its k
      default:
        return status(FormatError::unknown_descriptor);
    }
  }

  std::string_view s_;
  Format& f_;
  std::size_t i_ = 0;
};

std::optional<Format> Format::parse(std::string_view fmt, int& error) {
  Format f;
  error = FormatParser(fmt, f).run();
  if (error != 0) return std::nullopt;
  return f;
}

std::optional<Format> Format::parse(std::string_view fmt) {
  int error = 0;
  return parse(fmt, error);
}

// ---------------------------------------------------------------------------
// Writing. The current record is a string with a column position; T, TL, TR
// and X only move the position, so blanks appear only where later characters
// follow them.

class FormatWriter {
 public:
  FormatWriter(const Format& f, std::span<const FormatItem> items, std::vector<std::string>& records)
      : f_(f), items_(items), records_(records) {}

  int run() {
    const int rc = execute();
    records_.resize(count_);
    return rc;
  }

 private:
  struct Frame {
    std::size_t open;
    std::int32_t left;
  };

  int execute() {
    if (const int rc = begin_record(); rc != 0) return rc;
    const auto& ops = f_.ops_;
    std::array<Frame, kMaxDepth> stack{};
    std::size_t depth = 0;
    std::size_t pc = 0;
    std::uint64_t steps = 0;
    for (;;) {
      if (++steps > kMaxSteps) return status(FormatError::too_large);
      if (pc == ops.size()) {
        if (next_ == items_.size()) return 0;
        if (!f_.revert_has_data_) return status(FormatError::no_data_descriptor);
        if (const int rc = begin_record(); rc != 0) return rc;
        pc = f_.revert_;
        depth = 0;
        continue;
      }
      const Format::Op& op = ops[pc];
      switch (op.code) {
        case Format::Code::group_open:
          stack[depth++] = {pc, op.rep};
          ++pc;
          break;
        case Format::Code::group_close:
          if (--stack[depth - 1].left > 0) {
            pc = stack[depth - 1].open + 1;
          } else {
            --depth;
            ++pc;
          }
          break;
        case Format::Code::slash:
          for (std::int32_t r = 0; r < op.rep; ++r) {
            if (const int rc = begin_record(); rc != 0) return rc;
          }
          ++pc;
          break;
        case Format::Code::colon:
          if (next_ == items_.size()) return 0;
          ++pc;
          break;
        case Format::Code::literal:
          place(std::string_view(f_.literals_).substr(static_cast<std::size_t>(op.arg),
                                                      static_cast<std::size_t>(op.w)));
          ++pc;
          break;
        case Format::Code::skip:
          pos_ += static_cast<std::size_t>(op.arg);
          ++pc;
          break;
        case Format::Code::tab:
          pos_ = static_cast<std::size_t>(op.arg) - 1;
          ++pc;
          break;
        case Format::Code::tab_left:
          pos_ = pos_ > static_cast<std::size_t>(op.arg) ? pos_ - static_cast<std::size_t>(op.arg) : 0;
          ++pc;
          break;
        case Format::Code::scale:
          scale_ = op.arg;
          ++pc;
          break;
        case Format::Code::sign_plus:
          plus_ = true;
          ++pc;
          break;
        case Format::Code::sign_default:
          plus_ = false;
          ++pc;
          break;
        case Format::Code::blank_mode:
          ++pc;
          break;
        default:
          for (std::int32_t r = 0; r < op.rep; ++r) {
            if (next_ == items_.size()) return 0;  // output ends at a data descriptor without item
            if (const int rc = edit(op, items_[next_++]); rc != 0) return rc;
          }
          ++pc;
          break;
      }
      if (pos_ > kMaxRecordLength || rec_->size() > kMaxRecordLength)
        return status(FormatError::too_large);
    }
  }

  int begin_record() {
    if (count_ == kMaxRecords) return status(FormatError::too_large);
    if (count_ < records_.size()) {
      rec_ = &records_[count_];
      rec_->clear();
    } else {
      rec_ = &records_.emplace_back();
    }
    ++count_;
    pos_ = 0;
    return 0;
  }

  // Writes text at the current position, over whatever stands there.
  void place(std::string_view text) {
    std::string& r = *rec_;
    if (pos_ > r.size()) r.append(pos_ - r.size(), ' ');
    if (pos_ == r.size()) {
      r.append(text);
    } else {
      if (pos_ + text.size() > r.size()) r.resize(pos_ + text.size());
      text.copy(r.data() + pos_, text.size());
    }
    pos_ += text.size();
  }

  // Runs one edit straight into the record when it goes at its end, which is
  // the usual case, else through a scratch string.
  template <class Fn>
  Edit emit(Fn&& fn) {
    std::string& r = *rec_;
    if (pos_ == r.size()) {
      const Edit result = fn(r);
      pos_ = r.size();
      return result;
    }
    scratch_.clear();
    const Edit result = fn(scratch_);
    place(scratch_);
    return result;
  }

  int edit(const Format::Op& op, const FormatItem& item) {
    const auto* i = std::get_if<std::int64_t>(&item);
    const auto* x = std::get_if<double>(&item);
    const auto* t = std::get_if<std::string_view>(&item);
    const int w = op.w;
    const int d = op.d;
    Edit result = Edit::fitted;
    switch (op.code) {
      case Format::Code::edit_i:
        if (i == nullptr) return status(FormatError::type_mismatch);
        result = emit([&](std::string& o) { return put_int(o, *i, w, d, plus_); });
        break;
      case Format::Code::edit_f:
        if (x == nullptr) return status(FormatError::type_mismatch);
        result = emit([&](std::string& o) { return put_fixed(o, *x, w, d, scale_, plus_); });
        break;
      case Format::Code::edit_e:
      case Format::Code::edit_d: {
        if (x == nullptr) return status(FormatError::type_mismatch);
        const char letter = op.code == Format::Code::edit_d ? 'D' : 'E';
        result = emit([&](std::string& o) { return put_e(o, *x, w, d, op.e, scale_, letter, plus_); });
        break;
      }
      case Format::Code::edit_es:
        if (x == nullptr) return status(FormatError::type_mismatch);
        result = emit([&](std::string& o) { return put_es(o, *x, w, d, op.e, plus_); });
        break;
      case Format::Code::edit_en:
        if (x == nullptr) return status(FormatError::type_mismatch);
        result = emit([&](std::string& o) { return put_en(o, *x, w, d, op.e, plus_); });
        break;
      case Format::Code::edit_g:
        // General editing of an integer or a text is Iw or Aw editing.
        if (i != nullptr) {
          result = emit([&](std::string& o) { return put_int(o, *i, w, -1, plus_); });
        } else if (t != nullptr) {
          emit([&](std::string& o) {
            put_a(o, *t, w);
            return Edit::fitted;
          });
        } else {
          result = emit([&](std::string& o) { return put_g(o, *x, w, d, op.e, scale_, plus_); });
        }
        break;
      case Format::Code::edit_a:
        if (t == nullptr) return status(FormatError::type_mismatch);
        emit([&](std::string& o) {
          put_a(o, *t, w);
          return Edit::fitted;
        });
        break;
      case Format::Code::edit_l:
        if (i == nullptr) return status(FormatError::type_mismatch);
        emit([&](std::string& o) {
          blanks(o, w - 1);
          o.push_back(*i != 0 ? 'T' : 'F');
          return Edit::fitted;
        });
        break;
      default:
        break;
    }
    return result == Edit::invalid ? status(FormatError::scale_range) : 0;
  }

  const Format& f_;
  std::span<const FormatItem> items_;
  std::vector<std::string>& records_;
  std::size_t count_ = 0;
  std::string* rec_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;
  int scale_ = 0;
  bool plus_ = false;
  std::string scratch_;
};

int Format::write(std::span<const FormatItem> items, std::vector<std::string>& records) const {
  return FormatWriter(*this, items, records).run();
}

int format_records(std::string_view fmt, std::span<const FormatItem> items,
                   std::vector<std::string>& records) {
  int error = 0;
  const std::optional<Format> f = Format::parse(fmt, error);
  if (!f) {
    records.clear();
    return error;
  }
  return f->write(items, records);
}

std::string format_line(std::string_view fmt, std::initializer_list<FormatItem> items) {
  std::vector<std::string> records;
  if (format_records(fmt, std::span<const FormatItem>(items.begin(), items.size()), records) != 0)
    return {};
  std::string line;
  for (std::size_t r = 0; r < records.size(); ++r) {
    if (r > 0) line.push_back('\n');
    line += records[r];
  }
  return line;
}

// ---------------------------------------------------------------------------
// Single edits.

namespace {
constexpr int kMaxEditWidth = kMaxCount;
bool sane(int w, int d) { return w >= 0 && w <= kMaxEditWidth && d <= kMaxEditWidth; }
}  // namespace

std::string edit_i(std::int64_t v, int w, int m) {
  std::string out;
  if (!sane(w, m)) return out;
  put_int(out, v, w, std::max(m, -1), false);
  return out;
}

std::string edit_f(double v, int w, int d, int scale) {
  std::string out;
  if (!sane(w, d) || std::abs(scale) > kMaxEditWidth) return out;
  put_fixed(out, v, w, d, scale, false);
  return out;
}

std::string edit_e(double v, int w, int d, int e, int scale) {
  std::string out;
  if (!sane(w, d) || e < 0 || e > kMaxEditWidth) return out;
  put_e(out, v, w, d, e, scale, 'E', false);
  return out;
}

std::string edit_es(double v, int w, int d, int e) {
  std::string out;
  if (!sane(w, d) || e < 0 || e > kMaxEditWidth) return out;
  put_es(out, v, w, d, e, false);
  return out;
}

std::string edit_en(double v, int w, int d, int e) {
  std::string out;
  if (!sane(w, d) || e < 0 || e > kMaxEditWidth) return out;
  put_en(out, v, w, d, e, false);
  return out;
}

std::string edit_g(double v, int w, int d, int e, int scale) {
  std::string out;
  if (!sane(w, d) || e < 0 || e > kMaxEditWidth) return out;
  put_g(out, v, w, d, e, scale, false);
  return out;
}

// ---------------------------------------------------------------------------
// Formatted input.

namespace {

// The field after its leading blanks, with every other blank turned into a
// zero or dropped, letters upper-cased.
std::string normalise_field(std::string_view field, bool blank_zero) {
  std::string s;
  std::size_t i = field.find_first_not_of(' ');
  if (i == std::string_view::npos) return s;
  s.reserve(field.size() - i);
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c == ' ') {
      if (blank_zero) s.push_back('0');
    } else {
      s.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  return s;
}

bool digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int read_int_field(std::string_view field, std::int64_t& value, bool blank_zero) {
  const std::string s = normalise_field(field, blank_zero);
  if (s.empty()) {
    value = 0;
    return 0;
  }
  std::size_t i = 0;
  const bool neg = s[0] == '-';
  if (s[0] == '+' || s[0] == '-') ++i;
  if (i == s.size()) return EINVAL;
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (neg ? 1 : 0);
  std::uint64_t mag = 0;
  for (; i < s.size(); ++i) {
    if (!digit(s[i])) return EINVAL;
    const auto dv = static_cast<std::uint64_t>(s[i] - '0');
    if (mag > (limit - dv) / 10) return ERANGE;
    mag = mag * 10 + dv;
  }
  value = neg ? static_cast<std::int64_t>(~mag + 1) : static_cast<std::int64_t>(mag);
  return 0;
}

int read_real_field(std::string_view field, int d, double& value, bool blank_zero) {
  const std::string s = normalise_field(field, blank_zero);
  if (s.empty()) {
    value = 0.0;
    return 0;
  }
  std::size_t i = 0;
  const bool neg = s[0] == '-';
  if (s[0] == '+' || s[0] == '-') ++i;
  std::string digits;  // significant digits, leading zeros dropped
  digits.reserve(s.size());
  bool any = false;
  bool point = false;
  long long after_point = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.') {
      if (point) return EINVAL;
      point = true;
    } else if (digit(c)) {
      any = true;
      if (!(digits.empty() && c == '0')) digits.push_back(c);
      if (point) ++after_point;
    } else {
      break;
    }
  }
  if (!any) return EINVAL;
  long long expo = 0;
  if (i < s.size()) {
    if (s[i] == 'E' || s[i] == 'D' || s[i] == 'Q') ++i;
    else if (s[i] != '+' && s[i] != '-') return EINVAL;
    bool eneg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
    if (i == s.size()) return EINVAL;
    for (; i < s.size(); ++i) {
      if (!digit(s[i])) return EINVAL;
      expo = std::min(expo * 10 + (s[i] - '0'), 1'000'000'000LL);
    }
    if (eneg) expo = -expo;
  }
  if (digits.empty()) {
    value = neg ? -0.0 : 0.0;
    return 0;
  }
  // digits x 10^scale, where the implied decimals apply only without a point.
  // Digits after the point that were leading zeros still count in after_point.
  const long long scale = expo - (point ? after_point : std::max(d, 0));
  const long long magnitude = scale + static_cast<long long>(digits.size());  // value < 10^magnitude
  if (magnitude > 400) return ERANGE;
  if (magnitude < -400) {
    value = neg ? -0.0 : 0.0;
    return 0;
  }
  digits += 'e';
  digits += std::to_string(scale);
  double v = 0.0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v,
                                         std::chars_format::scientific);
  if (ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return ERANGE;
    v = 0.0;
  } else if (ec != std::errc() || end != digits.data() + digits.size()) {
    return EINVAL;
  }
  value = neg ? -v : v;
  return 0;
}

}  // namespace kalvir::platform
