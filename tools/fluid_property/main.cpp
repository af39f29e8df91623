// Evaluates one fluid-property function for a fluid and state and prints the
// value, with any message the function writes, so that a person can check a
// property by hand:
//
//   kalvir_fluid_property [--tabs V] [--pabs V] FUNCTION FLUID ARG...
//
// FUNCTION is one of the twenty property functions (XRHO, XCPS, XTEMPS, ...),
// FLUID a built-in fluid name (AMMONIA, WATER, AIR, ...). The arguments are
// those of the function in model units: P T X for most, P H X for XTEMP,
// T for XPRESS, P for XTEMPS, P T for XSIG and XSIGS. TABS defaults to 273.15
// (temperatures in degrees Celsius) and PABS to 0 (pressures in pascals).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/format.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"

namespace {

using Call = double (*)(const std::vector<double>& a, std::int32_t ifl);

struct Function {
  std::string_view name;
  int nargs;
  Call call;
};

constexpr std::int32_t kNode = 0;  // no node to name in messages

#define KALVIR_PTX(F) {#F, 3, [](const std::vector<double>& a, std::int32_t f) { return F(a[0], a[1], a[2], f, kNode); }}
const Function kFunctions[] = {
    KALVIR_PTX(XCOND), KALVIR_PTX(XCONDS), KALVIR_PTX(XCP),    KALVIR_PTX(XCPS),
    KALVIR_PTX(XENTH), KALVIR_PTX(XENTHS), KALVIR_PTX(XJT),    KALVIR_PTX(XJTS),
    KALVIR_PTX(XKT),   KALVIR_PTX(XKTS),   KALVIR_PTX(XPRES),  KALVIR_PTX(XRHO),
    KALVIR_PTX(XRHOS), KALVIR_PTX(XTEMP),  KALVIR_PTX(XVISC),  KALVIR_PTX(XVISCS),
    {"XPRESS", 1, [](const std::vector<double>& a, std::int32_t f) { return XPRESS(a[0], f, kNode); }},
    {"XTEMPS", 1, [](const std::vector<double>& a, std::int32_t f) { return XTEMPS(a[0], f, kNode); }},
    {"XSIG", 2, [](const std::vector<double>& a, std::int32_t f) { return XSIG(a[0], a[1], f, kNode); }},
    {"XSIGS", 2, [](const std::vector<double>& a, std::int32_t f) { return XSIGS(a[0], a[1], f, kNode); }},
};
#undef KALVIR_PTX

int usage() {
  std::fprintf(stderr,
               "usage: kalvir_fluid_property [--tabs V] [--pabs V] FUNCTION FLUID ARG...\n"
               "functions and their arguments:");
  for (const auto& f : kFunctions) std::fprintf(stderr, " %.*s(%d)", int(f.name.size()), f.name.data(), f.nargs);
  std::fprintf(stderr, "\n");
  return 1;
}

bool parse_number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  double tabs = 273.15;
  double pabs = 0.0;
  while (args.size() >= 2 && (args[0] == "--tabs" || args[0] == "--pabs")) {
    double v = 0.0;
    if (!parse_number(std::string(args[1]).c_str(), v)) return usage();
    (args[0] == "--tabs" ? tabs : pabs) = v;
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) return usage();

  const Function* function = nullptr;
  for (const auto& f : kFunctions) {
    if (f.name == args[0]) function = &f;
  }
  if (function == nullptr) return usage();
  const std::int32_t ifl = FTYPEI(args[1]);
  if (ifl == 0) {
    std::fprintf(stderr, "unknown fluid: %.*s\n", int(args[1].size()), args[1].data());
    return 1;
  }
  if (args.size() != static_cast<std::size_t>(2 + function->nargs)) return usage();
  std::vector<double> values;
  for (std::size_t i = 2; i < args.size(); ++i) {
    double v = 0.0;
    if (!parse_number(std::string(args[i]).c_str(), v)) return usage();
    values.push_back(v);
  }

  GLOR.TABS = tabs;
  GLOR.PABS = pabs;
  GLOI.MLEVEL = 0;
  return kalvir::platform::run_program([&] {
    const double value = function->call(values, ifl);
    kalvir::platform::write_line(
        kalvir::platform::kStdoutUnit,
        std::string(function->name) + " " + std::string(args[1]) + " = " +
            kalvir::platform::edit_es(value, 24, 15));
  });
}
