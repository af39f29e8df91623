#include "runtime/modeldata/mdb_records.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace io = kalvir::platform;

namespace {

// One buffer for every record of the load: the MDB file is read by one
// reader at a time and its records are decoded at once.
std::vector<std::byte>& record_buffer() {
  static std::vector<std::byte> buf;
  return buf;
}

// Reads the next record and checks that it holds at least `need` bytes. A
// record too short for what the reader asks is an input error like any other.
int fetch(std::int32_t unit, std::size_t need) {
  auto& buf = record_buffer();
  if (const int rc = io::read_record(unit, buf); rc != 0) return rc;
  return buf.size() < need ? EIO : 0;
}

std::uint32_t le32(const std::byte* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The common part of the record readers' message: file, unit and I/O status.
std::string where_text(std::string_view name, std::int32_t unit, int status) {
  return "File name = \"" + std::string(name) + "\",  Unit no.=" + kalvir::int_field(unit, 3) +
         ",  I/O error =" + kalvir::int_field(status, 4) + std::string(13, ' ') + "(" +
         kalvir::platform::io_status_text(status) + ")";
}

[[noreturn]] void input_error(std::string_view routine, std::int32_t unit, int status) {
  const std::string text = "File input error has occurred@" +
                           where_text(kalvir::mdb::message_file_name(unit, true), unit, status);
  ERRNEW(kalvir::padded(text, 200), 1, 1, routine);
  ERROR(routine);
}

[[noreturn]] void real_input_error(std::int32_t unit, int status) {
  const std::string text =
      "File input error has occurred@Reading double precision data from the model data file@"
      "Try pre-processing again@" +
      where_text(kalvir::mdb::message_file_name(unit, false), unit, status);
  ERRNEW(kalvir::padded(text, 300), 1, 1, "Dbqrdd");
  ERROR("Dbqrdd");
}

// A list header: number, kind, length, unused.
struct ListHeader {
  std::int32_t number = 0;
  std::int32_t kind = 0;
  std::int32_t length = 0;
};

int read_header(std::int32_t unit, ListHeader& h) {
  std::int32_t w[4] = {};
  const int rc = kalvir::mdb::read_ints(unit, 4, w);
  h = {w[0], w[1], w[2]};
  return rc;
}

// SCOMII and Scomdd: a plain list or a list continued in numbered blocks.
// Counts are taken in 64 bits so that no length in the file can wrap them.
template <class T, class DataReader>
void read_numeric_list(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
                       std::span<T> target, std::int32_t words_per_value, std::string_view guard_name,
                       DataReader read_data, std::int32_t& NREAD, std::int32_t& IERR) {
  NREAD = 0;
  IERR = 0;
  const std::int64_t capacity = std::min<std::int64_t>(MAXN, static_cast<std::int64_t>(target.size()));
  std::int64_t expected = LISTNO;
  std::int64_t nblocks = 1;
  std::int64_t blocks_read = 0;
  std::int64_t nread = 0;
  kalvir::LoopGuard guard(guard_name.empty() ? "SCOMII" : guard_name);
  while (blocks_read < nblocks && IERR == 0) {
    if (!guard_name.empty()) guard.tick();
    ListHeader h;
    if (read_header(IUNIT, h) != 0 || h.number != expected || h.kind < 0) {
      IERR = 1;
    } else if (h.kind == kalvir::mdb::kContinued) {
      std::int32_t nb = 0;
      if (kalvir::mdb::read_ints(IUNIT, 1, {&nb, 1}) != 0) {
        IERR = 1;
      } else {
        nblocks = nb;
        expected = 1;
      }
    } else {
      const std::int64_t n = h.length / words_per_value;
      if (N0 < 0 || N0 + nread + n > capacity) {
        IERR = 2;
      } else if (n < 1) {
        // An empty list still has its (empty) data record. A negative length
        // counts as empty: it must not move the fill position backwards.
        std::int32_t ignored = 0;
        DBQRSK(1, IUNIT, ignored);
      } else {
        std::int32_t st = 0;
        read_data(static_cast<std::int32_t>(n), IUNIT,
                  target.subspan(static_cast<std::size_t>(N0 + nread), static_cast<std::size_t>(n)), st);
        nread += n;
      }
      ++blocks_read;
      expected = static_cast<std::int64_t>(h.number) + 1;
    }
  }
  NREAD = static_cast<std::int32_t>(nread);
}

}  // namespace

namespace kalvir::mdb {

int read_ints(std::int32_t unit, std::size_t n, std::span<std::int32_t> out) {
  if (out.size() < n) return EINVAL;
  if (const int rc = fetch(unit, 4 * n); rc != 0) return rc;
  const std::byte* p = record_buffer().data();
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int32_t>(le32(p + 4 * i));
  return 0;
}

int read_reals(std::int32_t unit, std::size_t n, std::span<double> out) {
  if (out.size() < n) return EINVAL;
  if (const int rc = fetch(unit, 8 * n); rc != 0) return rc;
  const std::byte* p = record_buffer().data();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t bits = static_cast<std::uint64_t>(le32(p + 8 * i)) |
                               (static_cast<std::uint64_t>(le32(p + 8 * i + 4)) << 32);
    std::memcpy(&out[i], &bits, sizeof bits);
  }
  return 0;
}

int read_chars(std::int32_t unit, std::size_t n, std::span<char> out) {
  if (out.size() < n) return EINVAL;
  if (const int rc = fetch(unit, n); rc != 0) return rc;
  if (n > 0) std::memcpy(out.data(), record_buffer().data(), n);
  return 0;
}

std::string message_file_name(std::int32_t unit, bool keep_after_bracket) {
  std::string name = kalvir::padded(io::unit_name(unit), 256);
  std::string_view v = name;
  if (keep_after_bracket) {
    if (const auto b = v.find(']'); b != std::string_view::npos) v.remove_prefix(b + 1);
  }
  return std::string(v.substr(0, v.find(' ')));
}

}  // namespace kalvir::mdb

void DBQRII(std::int32_t N, std::int32_t IUNIT, std::span<std::int32_t> IARR, std::int32_t& IERR) {
  const std::size_t n = N > 0 ? static_cast<std::size_t>(N) : 0;
  IERR = kalvir::mdb::read_ints(IUNIT, n, IARR);
  if (IERR != 0) input_error("DBQRII", IUNIT, IERR);
}

void Dbqrdd(std::int32_t N, std::int32_t IUNIT, std::span<double> DARR, std::int32_t& IERR) {
  const std::size_t n = N > 0 ? static_cast<std::size_t>(N) : 0;
  IERR = kalvir::mdb::read_reals(IUNIT, n, DARR);
  if (IERR != 0) real_input_error(IUNIT, IERR);
}

void DBQRZZ(std::int32_t N, std::int32_t IUNIT, std::span<char> STRINGS, std::size_t ELEMLEN,
            std::int32_t& IERR) {
  const std::size_t n = N > 0 ? static_cast<std::size_t>(N) * ELEMLEN : 0;
  IERR = kalvir::mdb::read_chars(IUNIT, n, STRINGS);
  if (IERR != 0) input_error("DBQRZZ", IUNIT, IERR);
}

void DBQRSK(std::int32_t N, std::int32_t IUNIT, std::int32_t& IERR) {
  IERR = 0;
  kalvir::LoopGuard guard("DBQRSK");
  for (std::int32_t i = 1; i <= N; ++i) {
    guard.tick();
    IERR = io::skip_record(IUNIT);
    if (IERR != 0) input_error("DBQRSK", IUNIT, IERR);
  }
}

void DBQRMK(std::int32_t IUNIT, std::int32_t& FOUND, std::int32_t& IERR) {
  std::int32_t w[4] = {};
  IERR = kalvir::mdb::read_ints(IUNIT, 4, w);
  if (IERR != 0) input_error("DBQRMK", IUNIT, IERR);
  const bool marker = std::equal(std::begin(w), std::end(w), std::begin(kalvir::mdb::kMarker));
  FOUND = marker ? 1 : 0;
  IERR = marker ? 0 : w[0];
}

void SCOMII(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::span<std::int32_t> IARR, std::int32_t& NREAD, std::int32_t& IERR) {
  read_numeric_list<std::int32_t>(N0, MAXN, LISTNO, IUNIT, IARR, 1, "SCOMII", DBQRII, NREAD, IERR);
}

void Scomdd(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::span<double> DARR, std::int32_t& NREAD, std::int32_t& IERR) {
  read_numeric_list<double>(N0, MAXN, LISTNO, IUNIT, DARR, 2, "", Dbqrdd, NREAD, IERR);
}

void SCOMZZ(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::int32_t LEN, std::span<char> STRINGS, std::size_t ELEMLEN, std::int32_t& NREAD,
            std::int32_t& IERR) {
  NREAD = 0;
  IERR = 0;
  ListHeader h;
  if (read_header(IUNIT, h) != 0 || h.number != LISTNO || h.kind > 0 || LEN < 1 || ELEMLEN == 0) {
    IERR = 1;
    return;
  }
  const std::int64_t n = std::max<std::int64_t>(0, (static_cast<std::int64_t>(h.length) + LEN - 1) / LEN);
  const std::int64_t capacity =
      std::min<std::int64_t>(MAXN, static_cast<std::int64_t>(STRINGS.size() / ELEMLEN));
  if (N0 < 0 || N0 + n > capacity) {
    IERR = 2;
    return;
  }
  NREAD = static_cast<std::int32_t>(n);
  if (n < 1) {
    DBQRSK(1, IUNIT, IERR);
  } else {
    DBQRZZ(NREAD, IUNIT, STRINGS.subspan(static_cast<std::size_t>(N0) * ELEMLEN), ELEMLEN, IERR);
  }
}

void SCOMSK(const kalvir::Array2<std::int32_t>& TABLE, std::int32_t FIRST, std::int32_t LAST,
            std::int32_t IUNIT, std::int32_t& IERR) {
  IERR = 0;
  kalvir::LoopGuard guard("SCOMSK");
  for (std::int32_t k = std::max(FIRST, 1); k <= std::min<std::int64_t>(LAST, TABLE.cols()); ++k) {
    guard.tick();
    if (TABLE(2, k) != 0) DBQRSK(2, IUNIT, IERR);
  }
}

void SPRZER() {
  const auto fill = [](auto& array, std::int64_t count, const auto& value) {
    for (std::int64_t i = 1; i <= std::min(count, array.size()); ++i) array(i) = value;
  };
  const auto fill_chars = [](kalvir::CharArray<24>& array, std::int64_t count) {
    for (std::int64_t i = 1; i <= std::min(count, array.size()); ++i) array.set(i, "");
  };
  const std::int64_t nn = FLAGS(flagw::NNODE);
  const std::int64_t nf = FLAGS(flagw::NF);
  fill(gar_thermalnodeuserentityvalsreal, SPRSIZ(5) * nn, 0.0);
  fill(gar_thermalnodeuserentityvalsint, SPRSIZ(4) * nn, 0);
  fill_chars(gar_thermalnodeuserentityvalschar, SPRSIZ(3) * nn);
  fill(gar_fluidnodeuserentityvalsreal, SPRSIZ(5) * nf, 0.0);
  fill(gar_fluidnodeuserentityvalsint, SPRSIZ(4) * nf, 0);
  fill_chars(gar_fluidnodeuserentityvalschar, SPRSIZ(3) * nf);
}

void SETZZZ(std::string_view VALUE, std::int32_t N, std::span<char> STRINGS, std::size_t ELEMLEN,
            std::int32_t& IERR) {
  IERR = 0;
  if (N < 1) {
    IERR = 1;
    return;
  }
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(N), STRINGS.size() / ELEMLEN);
  for (std::size_t i = 0; i < n; ++i) kalvir::assign_padded(STRINGS.subspan(i * ELEMLEN, ELEMLEN), VALUE);
}

namespace {

// The checks of DBCOPI and DBCOPZ; true when the move may go ahead.
bool move_in_range(std::int64_t N, std::int64_t available, std::int32_t COUNT, std::int32_t FROM,
                   std::int32_t TO, std::int32_t& IERR) {
  IERR = 0;
  if (N < 1 || COUNT < 1 || FROM < 1 || TO < 1) {
    IERR = -1;
    return false;
  }
  if (N > available || std::int64_t{FROM} + COUNT - 1 > N || std::int64_t{TO} + COUNT - 1 > N) {
    IERR = 1;
    return false;
  }
  return FROM != TO;
}

}  // namespace

void DBCOPI(std::int32_t N, std::int32_t COUNT, std::int32_t FROM, std::int32_t TO,
            std::span<std::int32_t> IARR, std::int32_t& IERR) {
  if (!move_in_range(N, static_cast<std::int64_t>(IARR.size()), COUNT, FROM, TO, IERR)) return;
  const auto move = [&](std::int32_t i) {
    IARR[static_cast<std::size_t>(TO + i - 1)] = IARR[static_cast<std::size_t>(FROM + i - 1)];
    IARR[static_cast<std::size_t>(FROM + i - 1)] = 0;
  };
  if (TO < FROM) {
    for (std::int32_t i = 0; i < COUNT; ++i) move(i);
  } else {
    for (std::int32_t i = COUNT - 1; i >= 0; --i) move(i);
  }
}

void DBCOPZ(std::int32_t N, std::int32_t COUNT, std::int32_t FROM, std::int32_t TO,
            std::span<char> STRINGS, std::int32_t& IERR, std::size_t ELEMLEN) {
  if (ELEMLEN == 0) {
    IERR = -1;
    return;
  }
  if (!move_in_range(N, static_cast<std::int64_t>(STRINGS.size() / ELEMLEN), COUNT, FROM, TO, IERR)) return;
  kalvir::LoopGuard guard("DBCOPZ");
  const auto move = [&](std::int32_t i) {
    guard.tick();
    char* to = STRINGS.data() + static_cast<std::size_t>(TO + i - 1) * ELEMLEN;
    char* from = STRINGS.data() + static_cast<std::size_t>(FROM + i - 1) * ELEMLEN;
    std::memcpy(to, from, ELEMLEN);
    std::memset(from, ' ', ELEMLEN);
  };
  if (TO < FROM) {
    for (std::int32_t i = 0; i < COUNT; ++i) move(i);
  } else {
    for (std::int32_t i = COUNT - 1; i >= 0; --i) move(i);
  }
}
