#include "runtime/modeldata/user_constants.h"

#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir {
namespace {

constexpr std::size_t kNameLength = 18;
constexpr std::int64_t kCharElement = 133;

// Finds NAME18 among the n names that follow the first `before` user-constant
// names; the 1-based position within them, or 0.
std::int32_t find_name(std::int32_t before, std::int32_t n, std::string_view name18) {
  if (n < 1 || before < 0 || std::int64_t{before} + n > gar_userconstnames.size()) return 0;
  const CharRows names(gar_userconstnames.data() + static_cast<std::size_t>(before) * kNameLength, kNameLength, n);
  std::int32_t ierr = 0, found = 0, pos = 0;
  SOFNDZ(names, n, name18, ierr, found, pos);
  return ierr == 0 && found == 1 ? pos : 0;
}

[[noreturn]] void unknown_constant(std::string_view kind, std::string_view name, std::int32_t sub) {
  std::string text = "No ";
  text.append(kind).append(" user constant ").append(trim_right(name)).append(" in submodel ");
  if (sub >= 1 && sub <= gar_modelnames.size())
    text.append(trim_right(gar_modelnames(sub)));
  else
    text.append(std::to_string(sub));
  text.append("@Reading a user constant by name.@The name is compared exactly as the model data spells it.");
  SETERX(text, 4, 1, "USRCON");
  FAILUR();  // a fatal message does not come back; should it, the run still ends
}

// The place of NAME in SUB when it is a constant of KIND; else the fatal
// message.
std::int64_t position_of(UserConstantKind kind, std::string_view kind_name, std::string_view name, std::int32_t sub) {
  const auto place = user_constant_place(sub, name);
  if (!place || place->kind != kind) unknown_constant(kind_name, name, sub);
  return place->position;
}

}  // namespace

std::optional<UserConstantPlace> user_constant_place(std::int32_t sub, std::string_view name) {
  if (sub < 1 || sub > FLAGS(flagw::NSUB)) return std::nullopt;
  const std::string_view trimmed = trim_right(name);
  if (trimmed.size() > kNameLength) return std::nullopt;
  const std::string name18 = padded(trimmed, kNameLength);
  const auto dir = [sub](int row, std::int32_t col) { return gar_modeldirectory(row, col); };
  if (const std::int32_t j = find_name(dir(11, sub), dir(8, sub + 1) - dir(8, sub), name18); j > 0)
    return UserConstantPlace{UserConstantKind::kReal, dir(8, sub) + j};
  if (const std::int32_t j = find_name(dir(12, sub), dir(9, sub + 1) - dir(9, sub), name18); j > 0)
    return UserConstantPlace{UserConstantKind::kInteger, dir(9, sub) + j};
  if (const std::int32_t j = find_name(dir(13, sub), dir(11, sub + 1) - dir(13, sub), name18); j > 0)
    return UserConstantPlace{UserConstantKind::kCharacter,
                             kCharElement * dir(15, sub) + gar_userconstpointerschar(dir(10, sub) + j)};
  return std::nullopt;
}

double& user_real_constant(std::string_view name, std::int32_t sub) {
  return gar_userconstvaluesreal(position_of(UserConstantKind::kReal, "real", name, sub));
}

std::int32_t& user_integer_constant(std::string_view name, std::int32_t sub) {
  return gar_userconstvaluesint(position_of(UserConstantKind::kInteger, "integer", name, sub));
}

}  // namespace kalvir
