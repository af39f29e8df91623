#include "runtime/parameters/constant_changes.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/packed_store.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/modeldata/user_constants.h"
#include "runtime/parameters/case_values.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {
namespace {

constexpr std::size_t kNameLength = 18;

// The control-constant tables of the blocks, expanded here so that the
// changeable names and the blocks cannot drift apart.
struct BlockName {
  std::string_view name;
  std::size_t length;
};

constexpr std::array<BlockName, GlorBlock::count> kGlorNames{{
#define KALVIR_X(N, n) {#N, 0},
    KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X
}};
constexpr std::array<BlockName, GloiBlock::count> kGloiNames{{
#define KALVIR_X(N, n) {#N, 0},
    KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X
}};
constexpr std::array<BlockName, GlocBlock::count> kGlocNames{{
#define KALVIR_X(N, n, len, def) {#N, len},
    KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X
}};

// The last two real constants, the energy-balance bounds, are the solution's
// own and stay out of reach of a case.
constexpr int kFixedReals = 2;
static_assert(kGlorNames[GlorBlock::count - 2].name == "ENBNDM" && kGlorNames[GlorBlock::count - 1].name == "INBNDM");

constexpr std::size_t kChangeable =
    GlorBlock::count - kFixedReals + GloiBlock::count + GlocBlock::count + kLocalIntNames.size();

constexpr std::array<ControlConstant, kChangeable> kTable = [] {
  std::array<ControlConstant, kChangeable> t{};
  std::size_t k = 0;
  for (int i = 0; i < GlorBlock::count - kFixedReals; ++i)
    t[k++] = {kGlorNames[static_cast<std::size_t>(i)].name, ConstantKind::kReal, i + 1, 0};
  for (int i = 0; i < GloiBlock::count; ++i)
    t[k++] = {kGloiNames[static_cast<std::size_t>(i)].name, ConstantKind::kInteger, i + 1, 0};
  for (int i = 0; i < GlocBlock::count; ++i)
    t[k++] = {kGlocNames[static_cast<std::size_t>(i)].name, ConstantKind::kCharacter, i + 1,
              kGlocNames[static_cast<std::size_t>(i)].length};
  for (std::size_t i = 0; i < kLocalIntNames.size(); ++i)
    t[k++] = {kLocalIntNames[i], ConstantKind::kLocalInteger, static_cast<int>(i) + 1, 0};
  return t;
}();
static_assert(kTable.size() == 90);

std::string trimmed(std::string_view s) { return std::string(kalvir::trim_right(s)); }

void undefined_warning(std::string_view name, std::string_view routine) {
  report(trimmed(name) +
             " is undefined - possibly defined with Mortran@Value may be overwritten by Mortran expression during "
             "solution.",
         300, 2, 1, routine);
}

}  // namespace

std::span<const ControlConstant> changeable_control_constants() { return kTable; }

const ControlConstant* control_constant(std::string_view name18) {
  const std::string_view name = kalvir::trim_right(name18);
  for (const ControlConstant& c : kTable)
    if (c.name == name) return &c;
  return nullptr;
}

std::int32_t* local_integer(const ControlConstant& c, std::int32_t isub) {
  const std::int64_t word = (std::int64_t{isub} - 1) * FLAGS(11) + c.index;
  if (isub < 1 || isub > FLAGS(flagw::NSUB) || c.index > FLAGS(11) || word < 1 || word > LOCI.size()) return nullptr;
  return &LOCI(word);
}

bool constant_name(std::string_view item, std::int32_t isub, std::int32_t& sub, std::string& name18) {
  const std::string_view text = kalvir::trim_right(item);
  std::int32_t colon = 0;
  SQNDEX(text, ":", colon);
  sub = isub;
  std::string_view name = text;
  if (colon != 0 && leading_path(text, text.size(), isub, false, sub, name) != 0) return false;
  name18 = kalvir::padded(name.substr(0, std::min(name.size(), kNameLength)), kNameLength);
  return true;
}

std::optional<UserConstant> find_user_constant(std::int32_t sub, std::string_view name18) {
  // The kinds of the store, in the order of kalvir::UserConstantKind.
  constexpr std::array kKinds{ConstantKind::kReal, ConstantKind::kInteger, ConstantKind::kCharacter};
  const auto place = kalvir::user_constant_place(sub, name18);
  if (!place) return std::nullopt;
  return UserConstant{kKinds[static_cast<std::size_t>(place->kind)], place->position};
}

std::int32_t read_user_text(std::int64_t start, kalvir::Chars<256>& text, std::int32_t& len) {
  const kalvir::PackedRowsMut store(gar_userconstvalueschar);
  const auto rows = static_cast<std::int32_t>(gar_userconstvalueschar.size());
  const std::int64_t end = std::int64_t{133} * rows;
  len = 0;
  text = "";
  if (start < 1 || start > end) return -1;
  // An empty value is its terminator alone.
  if (gar_userconstvalueschar.stream()[static_cast<std::size_t>(start - 1)] == '\0') return 0;
  std::int32_t status = -1;
  DBFZPK(store, rows, static_cast<std::int32_t>(end), static_cast<std::int32_t>(start), len, text.span(), status);
  return status;
}

}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARCCR(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, double& TARGET,
            std::int32_t& IERR) {
  IERR = 0;
  const bool change = kp::is_change(KEYWORD);
  double v = 0.0;
  kp::read_real(KEYWORD, VALUE, v, IERR);
  if (IERR != 0) return;
  if (!change) {
    if (SLUNDF(TARGET)) {
      IERR = 2;
      kp::report(kp::trimmed(NAME18) + " is undefined - cannot scale.", 300, 3, 2, "PARCCR");
      return;
    }
    TARGET *= v;
    return;
  }
  if (SLUNDF(TARGET)) kp::undefined_warning(NAME18, "PARCCR");
  TARGET = v;
}

void PARCCI(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, std::int32_t& TARGET,
            std::int32_t& IERR) {
  IERR = 0;
  std::int32_t v = 0;
  PARIGT(VALUE, v, IERR);
  if (IERR != 0) return;
  if (!kp::is_change(KEYWORD)) {
    IERR = 2;
    kp::report("Cannot SCALE integer constants", 300, 3, 2, "PARCCI");
    return;
  }
  if (TARGET == SKUNDF()) kp::undefined_warning(NAME18, "PARCCI");
  TARGET = v;
}

void PARCCZ(std::string_view KEYWORD, std::string_view /*NAME18*/, std::string_view VALUE, std::span<char> TARGET,
            std::int32_t& IERR) {
  IERR = 0;
  kalvir::Chars<256> v;
  PARZVL(VALUE, v.span(), IERR);
  if (IERR != 0) return;
  if (!kp::is_change(KEYWORD)) {
    IERR = 1;
    kp::report("Cannot SCALE character constants", 300, 3, 1, "PARCCZ");
    return;
  }
  kalvir::assign_padded(TARGET, v.view());
}

void PARCCT(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR) {
  IERR = 0;
  if (const kp::ControlConstant* c = kp::control_constant(NAME18)) {
    switch (c->kind) {
      case kp::ConstantKind::kReal: PARCCR(KEYWORD, NAME18, VALUE, GLOR(c->index), IERR); return;
      case kp::ConstantKind::kInteger: PARCCI(KEYWORD, NAME18, VALUE, GLOI(c->index), IERR); return;
      case kp::ConstantKind::kCharacter: PARCCZ(KEYWORD, NAME18, VALUE, GLOC.field(c->index), IERR); return;
      case kp::ConstantKind::kLocalInteger:
        if (std::int32_t* word = kp::local_integer(*c, ISUB)) {
          PARCCI(KEYWORD, NAME18, VALUE, *word, IERR);
          return;
        }
        break;
    }
  }
  IERR = 1;
  kp::report("Unrecognised entity reference@" + kalvir::padded(NAME18, kp::kNameLength), 300, 3, 1, "PARCCT");
}

void PARCST(std::string_view KEYWORD, std::string_view NAME, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR) {
  IERR = 0;
  std::int32_t sub = 0;
  std::string name18;
  if (!kp::constant_name(NAME, ISUB, sub, name18)) {
    IERR = 1;
    kp::report("Unrecognised submodel name@" + std::string(kalvir::trim_right(NAME)), 300, 3, 1, "PARCST");
    return;
  }
  if (const auto c = kp::find_user_constant(sub, name18)) {
    switch (c->kind) {
      case kp::ConstantKind::kReal: PARCCR(KEYWORD, name18, VALUE, gar_userconstvaluesreal(c->position), IERR); return;
      case kp::ConstantKind::kInteger: PARCCI(KEYWORD, name18, VALUE, gar_userconstvaluesint(c->position), IERR); return;
      default: break;
    }
    // Read the stored text, change it with its stored length and write it
    // back over the old one: the terminator stays where it is.
    kalvir::Chars<256> text;
    std::int32_t len = 0;
    if (kp::read_user_text(c->position, text, len) != 0) {
      IERR = 2;
      kp::report("Error retrieving user constant from store@Contact Central Support", 300, 3, 2, "PARCST");
      return;
    }
    PARCCZ(KEYWORD, name18, VALUE, text.span().subspan(0, static_cast<std::size_t>(len)), IERR);
    if (IERR != 0) return;
    std::int32_t col = static_cast<std::int32_t>((c->position - 1) % 133) + 1;
    std::int32_t row = static_cast<std::int32_t>((c->position - 1) / 133) + 1;
    const kalvir::PackedRowsMut store(gar_userconstvalueschar);
    SMOVVA(text.view().substr(0, static_cast<std::size_t>(len)), len, col, row, store);
    return;
  }
  PARCCT(KEYWORD, name18, VALUE, sub, IERR);
}
