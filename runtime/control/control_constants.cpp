#include "runtime/control/control_constants.h"

#include <cstddef>

#include "runtime/control/flags.h"
#include "runtime/control/status.h"

GlorBlock GLOR;
GloiBlock GLOI;
GlocBlock GLOC;
kalvir::Array1<double> LOCR;
kalvir::Array1<std::int32_t> LOCI;
kalvir::CharArray<133> LOCC;

namespace {

constexpr double GlorBlock::* kGlorMembers[] = {
#define KALVIR_X(N, n) &GlorBlock::N,
    KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X
};
static_assert(std::size(kGlorMembers) == GlorBlock::count);

constexpr std::int32_t GloiBlock::* kGloiMembers[] = {
#define KALVIR_X(N, n) &GloiBlock::N,
    KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X
};
static_assert(std::size(kGloiMembers) == GloiBlock::count);

struct GlocField {
  std::size_t offset;
  std::size_t length;
  std::string_view fallback;
};
const GlocField kGlocFields[] = {
#define KALVIR_X(N, n, len, def) {offsetof(GlocBlock, N), len, def},
    KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X
};
static_assert(std::size(kGlocFields) == GlocBlock::count);

constexpr std::string_view kGlorNames[] = {
#define KALVIR_X(N, n) #N,
    KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X
};
constexpr std::string_view kGloiNames[] = {
#define KALVIR_X(N, n) #N,
    KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X
};
constexpr std::string_view kGlocNames[] = {
#define KALVIR_X(N, n, len, def) #N,
    KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X
};

constexpr std::array<std::string_view, 92> kAllNames = [] {
  std::array<std::string_view, 92> a{};
  std::size_t k = 0;
  for (auto n : kLocalIntNames) a[k++] = n;
  for (auto n : kGloiNames) a[k++] = n;
  for (auto n : kGlorNames) a[k++] = n;
  for (auto n : kGlocNames) a[k++] = n;
  return a;
}();

}  // namespace

double& GlorBlock::operator()(int i) noexcept {
  KALVIR_CHECK_INDEX(i >= 1 && i <= count, "GLOR");
  return this->*kGlorMembers[i - 1];
}

std::int32_t& GloiBlock::operator()(int i) noexcept {
  KALVIR_CHECK_INDEX(i >= 1 && i <= count, "GLOI");
  return this->*kGloiMembers[i - 1];
}

std::span<char> GlocBlock::field(int i) noexcept {
  KALVIR_CHECK_INDEX(i >= 1 && i <= count, "GLOC");
  const auto& f = kGlocFields[i - 1];
  return {reinterpret_cast<char*>(this) + f.offset, f.length};
}

std::string_view GlocBlock::field(int i) const noexcept {
  auto s = const_cast<GlocBlock*>(this)->field(i);
  return {s.data(), s.size()};
}

void loc_allocate() {
  const std::int64_t nsub = FLAGS(26);
  LOCR.allocate(nsub * FLAGS(10));
  LOCI.allocate(nsub * FLAGS(11));
  LOCC.allocate(nsub * FLAGS(12));
}

std::span<const std::string_view> control_constant_names() { return kAllNames; }
std::span<const std::string_view> glor_names() { return kGlorNames; }
std::span<const std::string_view> gloi_names() { return kGloiNames; }
std::span<const std::string_view> gloc_names() { return kGlocNames; }

void SCNTRL(std::int32_t NGC, std::int32_t NGI, std::int32_t NGR, std::int32_t NLC,
            std::int32_t NLI, std::int32_t NLR, kalvir::CharArray<18>& NAMES, std::int32_t& IERR) {
  if (NGC != GlocBlock::count || NGI != GloiBlock::count || NGR != GlorBlock::count ||
      NLC != 0 || NLI != static_cast<std::int32_t>(kLocalIntNames.size()) || NLR != 0 ||
      NAMES.size() < static_cast<std::int64_t>(kAllNames.size())) {
    IERR = 1;
    return;
  }
  for (std::size_t i = 0; i < kAllNames.size(); ++i) {
    NAMES.set(static_cast<std::int64_t>(i) + 1, kAllNames[i]);
  }
}

void SLDINC() {
  for (int i = 1; i <= GlocBlock::count; ++i) {
    kalvir::assign_padded(GLOC.field(i), kGlocFields[i - 1].fallback);
  }
}

namespace {

constexpr double kNotSet = 1.0e10;

constexpr NeutralReal kNeutralReals[] = {
    {&GlorBlock::TIMEO, "TIMEO", 0.0},        // a run starts at time zero
    {&GlorBlock::DTMIN, "DTMIN", 0.0},        // no smallest step
    {&GlorBlock::DTMAX, "DTMAX", kNotSet},    // no largest step
    {&GlorBlock::DTPMAX, "DTPMAX", kNotSet},  // no limit on the change per step
    {&GlorBlock::DTROCA, "DTROCA", kNotSet},  // no limit on the rate of change
    {&GlorBlock::ARITH, "ARITH", 0.0},        // no node solved as arithmetic
    {&GlorBlock::DAMPT, "DAMPT", 1.0},        // no damping
    {&GlorBlock::DAMPM, "DAMPM", 1.0},
    {&GlorBlock::RLCOUR, "RLCOUR", 1.0},      // the Courant step itself
    {&GlorBlock::STEFAN, "STEFAN", 5.670374419e-8},  // SI units, as TABS 0 means kelvin
    {&GlorBlock::TABS, "TABS", 0.0},
    {&GlorBlock::PABS, "PABS", 0.0},
    {&GlorBlock::GRAVX, "GRAVX", 0.0},
    {&GlorBlock::GRAVY, "GRAVY", 0.0},
    {&GlorBlock::GRAVZ, "GRAVZ", 0.0},
    {&GlorBlock::MINFLO, "MINFLO", 0.0},
    {&GlorBlock::MINDP, "MINDP", 0.0},
};

constexpr NeutralInt kNeutralInts[] = {
    {&GloiBlock::METHOD, "METHOD", 0},
    // NLOOPH and NLOOPT at 0 take NLOOP's value in the fluid-loop frames.
    {&GloiBlock::NLOOPH, "NLOOPH", 0},
    {&GloiBlock::NLOOPT, "NLOOPT", 0},
    // Counters start from zero: the variables 2 block adds 1 to STEPCT after
    // every step, which from the marker would overflow at once.
    {&GloiBlock::STEPCT, "STEPCT", 0},
    {&GloiBlock::LOOPCT, "LOOPCT", 0},
    {&GloiBlock::SUMTHL, "SUMTHL", 0},
    {&GloiBlock::SUMFLL, "SUMFLL", 0},
    // Print, message and monitor options: the plain settings.
    {&GloiBlock::MLEVEL, "MLEVEL", 0},  // every message printed
    {&GloiBlock::MSHORT, "MSHORT", 0},  // messages in full
    {&GloiBlock::TRACE, "TRACE", 0},    // messages to the print
    {&GloiBlock::PRGFBK, "PRGFBK", 1},  // a monitor line every step
    {&GloiBlock::WIDTH, "WIDTH", 132},
    {&GloiBlock::LENGTH, "LENGTH", 60},  // the page length before the load
    {&GloiBlock::MODEL, "MODEL", 1},     // the main model
};

}  // namespace

std::span<const NeutralReal> neutral_reals() { return kNeutralReals; }
std::span<const NeutralInt> neutral_ints() { return kNeutralInts; }

double defined_or_neutral(double GlorBlock::* slot) {
  const double v = GLOR.*slot;
  if (!SDUNDF(v)) return v;
  for (const NeutralReal& n : kNeutralReals)
    if (n.slot == slot) return n.value;
  return v;
}

std::int32_t defined_or_neutral(std::int32_t GloiBlock::* slot) {
  const std::int32_t v = GLOI.*slot;
  if (!SUNDCK(v)) return v;
  for (const NeutralInt& n : kNeutralInts)
    if (n.slot == slot) return n.value;
  return v;
}

namespace {
constexpr std::string_view kConstantsTable = "See the table of control constants in docs/model_program.md";
}  // namespace

std::string required_constant_text(std::string_view routine, std::string_view name) {
  std::string text(routine);
  text += ": Control constant ";
  text += name;
  text += " not specified@";
  text += kConstantsTable;
  return text;
}

std::string outint_default_text(std::string_view routine) {
  std::string text(routine);
  text += ": Control constant OUTINT not specified@Default is TIMEND - TIMEO. ";
  text += kConstantsTable;
  return text;
}

void settle_optional_constants() {
  for (const NeutralReal& n : kNeutralReals) GLOR.*n.slot = defined_or_neutral(n.slot);
  for (const NeutralInt& n : kNeutralInts) GLOI.*n.slot = defined_or_neutral(n.slot);
}
