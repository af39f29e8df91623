#include "runtime/control/status.h"

#include <bit>
#include <cstdint>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/platform/fixed_string.h"

namespace {

std::int32_t status_changed = 0;
kalvir::StatusReaders readers;

constexpr std::int32_t kUndefined = 2147483647;
constexpr std::size_t kZentRoom = 480;

bool low_word_undefined(double x) {
  return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) & 0xFFFFFFFFU) ==
         static_cast<std::uint32_t>(kUndefined);
}

}  // namespace

void STATST(std::string_view ZENT, std::string_view STATUS) {
  const std::string buf = kalvir::remove_blanks(ZENT);
  // The reference is read from a buffer of fixed room, as every ZENT reader is.
  if (buf.size() > kZentRoom) internal_stop("Sdblkx 1");
  const auto len = static_cast<std::int32_t>(buf.size());
  std::int32_t isub = GLOI.MODEL;

  std::int32_t isent = 0;
  std::int32_t pos = 1;
  std::int32_t ictype = 0;
  std::int32_t isnode = 0;
  std::int32_t ierr = 0;
  const auto LSVENT = kalvir::filled_hook(readers.entity, "StatusReaders::entity");
  const auto LSMINT = kalvir::filled_hook(readers.submodel, "StatusReaders::submodel");
  const auto LSNSST = kalvir::filled_hook(readers.node_status, "StatusReaders::node_status");
  const auto LSCSST = kalvir::filled_hook(readers.conductor_status, "StatusReaders::conductor_status");
  LSVENT(buf, isent, pos, ictype, isnode, ierr);
  if (ierr != 0 || (isnode == 0 && ictype == 0)) return;

  if (pos <= len && buf[static_cast<std::size_t>(pos - 1)] == ':') {
    ++pos;
    LSMINT(gar_modeldirectory, 18, FLAGS(flagw::NSUB), 1, GLOI.MODEL, gar_modelnames, buf, len, pos, isub, ierr);
    if (ierr != 0) return;
  }

  std::int32_t changed = 0;
  if (isnode != 0) {
    LSNSST(pos, isub, buf, len, STATUS, changed, ierr);
    // Characters after the node reference are only warned about: the status
    // was set, so the change counts.
    if (changed != 0 && (ierr == 0 || ierr == 1)) stat_setstatst(1);
    return;
  }
  if (kalvir::same_trimmed(STATUS, "OFF")) FLAGS(flagw::CONDOFF) = 1;
  LSCSST("STATST", STATUS, ictype, isub, buf, len, pos, changed, ierr);
  if (ierr == 0 && changed != 0) stat_setstatst(1);
}

void kalvir::set_status_readers(const StatusReaders& r) { readers = r; }

std::int32_t stat_getstatst() { return status_changed; }

void stat_setstatst(std::int32_t FLAG) { status_changed = FLAG; }

void SSNCNT(std::int32_t IA, std::int32_t IB, std::int32_t /*N*/, std::span<const std::int32_t> LIST,
            std::span<double> VALUES) {
  if (IB < 2) return;  // no tie tail
  const auto list_len = static_cast<std::int64_t>(LIST.size());
  const auto nvalues = static_cast<std::int64_t>(VALUES.size());
  if (IA > list_len || IB > IA) ERROR("SSNCNT");
  auto word = [&](std::int64_t p) {
    if (p < 1 || p > IA) ERROR("SSNCNT");
    return LIST[static_cast<std::size_t>(p - 1)];
  };
  auto node = [&](std::int64_t p) {
    const std::int32_t i = word(p);
    if (i < 1 || i > nvalues) ERROR("SSNCNT");
    return static_cast<std::size_t>(i - 1);
  };
  const std::int64_t b = static_cast<std::int64_t>(IA) - IB;
  const std::int32_t groups = word(b + 2);
  if (groups < 0) ERROR("SSNCNT");
  std::int64_t p = b + 3;
  for (std::int32_t g = 0; g < groups; ++g) {
    const std::size_t source = node(p);
    const std::int32_t n = word(p + 1);
    if (n < 0) ERROR("SSNCNT");
    for (std::int32_t j = 1; j <= n; ++j) VALUES[node(p + 1 + j)] = VALUES[source];
    p += n + 2LL;
  }
}

bool MTDTST(std::int32_t K) {
  if (K < 1) return false;
  const std::int64_t method = GLOI.METHOD;
  return method % (2LL * K) >= K;
}

std::int32_t SKUNDF() { return kUndefined; }

bool SUNDCK(std::int32_t I) { return I == SKUNDF(); }

bool SDUNDF(double X) { return low_word_undefined(X); }

bool SLUNDF(double X) {
  return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(X) & 0xFFFFFFFFU) == 2147483647U;
}
