// The twenty fluid-property functions. Each one checks the fluid slot, picks
// the state from the vapour quality and hands the call to the adapter of
// that slot, property and state; the table below says which adapter that is,
// or which state word the "undefined" message names.

#include "runtime/fluids/interface/properties.h"

#include <array>
#include <string>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/adapters.h"
#include "runtime/fluids/interface/unsound_ranges.h"
#include "runtime/platform/fixed_string.h"

namespace {

enum class Form : std::uint8_t {
  general,     // state from X: liquid, two-phase, vapour; AIRW takes no state
  saturation,  // state from X: saturated liquid or vapour; anything between is invalid
  no_quality,  // no state: the slot alone decides
};

// What a (slot, state) asks for: the adapter of code `code`, or, when code is
// 0, the "undefined" message with the state word `word`.
struct Cell {
  std::int8_t code = 0;
  std::string_view word;
};

constexpr Cell use(int code) { return {static_cast<std::int8_t>(code), {}}; }
constexpr Cell undefined(std::string_view word) { return {0, word}; }
constexpr Cell kLiquid = undefined("liquid");
constexpr Cell kTwoPhase = undefined("two-phase");
constexpr Cell kVapour = undefined("vapour");
constexpr Cell kBlank = undefined("");
constexpr Cell kNever{};  // the state that a form never reaches

// Cells by state: liquid, two-phase, vapour. A form without a state uses the
// first; the general forms use only the first cell of AIRW.
using Column = std::array<Cell, 3>;

struct PropertyFunction {
  std::string_view name;
  std::string_view words;  // the property in the messages
  Form form;
  Column fluids;  // the two-phase fluids: slots 1, 2 and 5 to 10
  Column air;     // slot 3
  Column airw;    // slot 4
  std::int32_t code_unrecognised;
  std::int32_t code_undefined;
  std::size_t word_width;  // the state word is blank-padded to this
};

constexpr std::int32_t kGeneralCodes[] = {1, 2};
constexpr std::int32_t kSaturationCodes[] = {11, 12};

// clang-format off
constexpr PropertyFunction general(std::string_view name, std::string_view words, Column fluids,
                                   Column air, Cell airw) {
  return {name, words, Form::general, fluids, air, {airw, kNever, kNever},
          kGeneralCodes[0], kGeneralCodes[1], 9};
}
// A general form that the gases answer only as a vapour.
constexpr PropertyFunction general(std::string_view name, std::string_view words, int liquid,
                                   Cell two_phase, int vapour) {
  return general(name, words, {use(liquid), two_phase, use(vapour)},
                 {kLiquid, kTwoPhase, use(vapour)}, use(vapour));
}
constexpr PropertyFunction saturation(std::string_view name, std::string_view words, Column fluids,
                                      Column air, Column airw) {
  return {name, words, Form::saturation, fluids, air, airw,
          kSaturationCodes[0], kSaturationCodes[1], 6};
}
constexpr PropertyFunction by_slot(std::string_view name, std::string_view words, Cell fluids,
                                   Cell air, Cell airw, const std::int32_t (&codes)[2],
                                   std::size_t width) {
  return {name, words, Form::no_quality, {fluids, kNever, kNever}, {air, kNever, kNever},
          {airw, kNever, kNever}, codes[0], codes[1], width};
}

enum Function : std::uint8_t {
  F_XRHO, F_XCP, F_XCOND, F_XVISC, F_XENTH, F_XTEMP, F_XJT, F_XKT, F_XPRES, F_XSIG,
  F_XRHOS, F_XCPS, F_XCONDS, F_XVISCS, F_XENTHS, F_XJTS, F_XKTS, F_XTEMPS, F_XPRESS, F_XSIGS,
};
// clang-format on

constexpr Column kNoneSaturated{kLiquid, kNever, kVapour};

constexpr std::array<PropertyFunction, 20> kFunctions{{
    general("XRHO", "density", 1, use(3), 5),
    general("XCP", "specific heat", 6, use(8), 10),
    general("XCOND", "conductivity", 11, use(13), 15),
    general("XVISC", "viscosity", 16, use(18), 20),
    general("XENTH", "enthalpy", 26, use(28), 30),
    general("XTEMP", "temperature", 31, kTwoPhase, 35),
    general("XJT", "Joule-Thompson coefficient", 41, kTwoPhase, 45),
    general("XKT", "isothermal compressibility", 46, kTwoPhase, 50),
    general("XPRES", "pressure", {kLiquid, kTwoPhase, kVapour}, {kLiquid, kTwoPhase, kVapour},
            kBlank),
    by_slot("XSIG", "surface tension", kLiquid, kLiquid, kBlank, kGeneralCodes, 9),
    saturation("XRHOS", "saturation density", {use(2), kNever, use(4)}, kNoneSaturated,
               kNoneSaturated),
    saturation("XCPS", "saturation specific heat", {use(7), kNever, use(9)},
               {kLiquid, kNever, use(9)}, {kLiquid, kNever, use(9)}),
    saturation("XCONDS", "saturation conductivity", {use(12), kNever, use(14)}, kNoneSaturated,
               kNoneSaturated),
    saturation("XVISCS", "saturation viscosity", {use(17), kNever, use(19)}, kNoneSaturated,
               kNoneSaturated),
    saturation("XENTHS", "saturation enthalpy", {use(27), kNever, use(29)},
               {use(27), kNever, use(29)}, {use(27), kNever, use(29)}),
    saturation("XJTS", "saturation Joule-Thompson coefficient", {kLiquid, kNever, use(44)},
               kNoneSaturated, kNoneSaturated),
    saturation("XKTS", "saturation isothermal compressibility", kNoneSaturated, kNoneSaturated,
               kNoneSaturated),
    by_slot("XTEMPS", "", use(32), use(32), use(32), kSaturationCodes, 6),
    by_slot("XPRESS", "saturation pressure", use(37), kBlank, kBlank, kSaturationCodes, 6),
    by_slot("XSIGS", "saturation surface tension", use(22), kLiquid, kLiquid, kSaturationCodes, 6),
}};

constexpr std::int32_t kAir = 3;
constexpr std::int32_t kAirw = 4;

// The fatal message of a property function: the text at the start of 3000
// blanks, the node named, severity 4. Returns 0 should the writer return.
double fail(const PropertyFunction& f, std::string_view message, std::int32_t code,
            std::int32_t NODE) {
  std::string text = kalvir::padded(message, 3000);
  MESBLD(NODE, text);
  SETERX(text, 4, code, kalvir::padded(f.name, 6));
  return 0.0;
}

std::string fluid_name(std::int32_t IFL) { return std::string(FTYPEC(IFL)); }

double call(Function which, double P, double T, double H, double X, std::int32_t IFL,
            std::int32_t NODE) {
  const PropertyFunction& f = kFunctions[which];
  if (IFL < 1 || IFL > kalvir::fluids::kFluidSlots) {
    return fail(f, "Unrecognised fluid type.@Fluid specified: " + fluid_name(IFL),
                f.code_unrecognised, NODE);
  }
  const Column& column = IFL == kAir ? f.air : IFL == kAirw ? f.airw : f.fluids;
  std::size_t state = 0;
  switch (f.form) {
    case Form::general:
      // A quality that is not a number fails both tests and counts as two-phase.
      if (IFL != kAirw) state = X <= 0.0 ? 0 : X >= 1.0 ? 2 : 1;
      break;
    case Form::saturation:
      if (X <= 0.0) {
        state = 0;
      } else if (X >= 1.0) {
        state = 2;
      } else {
        return fail(f,
                    "Invalid input for fluid property.@Vapour quality between 0.0D0 and 1.0D0 "
                    "specified for " +
                        std::string(f.words) + " of " + fluid_name(IFL),
                    IFL, NODE);
      }
      break;
    case Form::no_quality:
      break;
  }
  const Cell& cell = column[state];
  if (cell.code > 0) {
    const QpAdapter a = kalvir::fluids::adapter(IFL, cell.code);
    if (a == nullptr) {
      internal_stop("Fluid property function without its adapter: " + std::string(f.name));
    }
    const double value = a(P, T, H, X, IFL, NODE);
    kalvir::fluids::warn_if_unsound(IFL, cell.code, P, T, value, NODE);
    return value;
  }
  return fail(f,
              "Fluid property undefined.@Property required: " + std::string(f.words) + " of " +
                  kalvir::padded(cell.word, f.word_width) + " " + fluid_name(IFL),
              f.code_undefined, NODE);
}

}  // namespace

double XRHO(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XRHO, P, T, 0.0, X, IFL, NODE);
}
double XCP(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XCP, P, T, 0.0, X, IFL, NODE);
}
double XCOND(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XCOND, P, T, 0.0, X, IFL, NODE);
}
double XVISC(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XVISC, P, T, 0.0, X, IFL, NODE);
}
double XENTH(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XENTH, P, T, 0.0, X, IFL, NODE);
}
double XTEMP(double P, double H, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XTEMP, P, 0.0, H, X, IFL, NODE);
}
double XJT(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XJT, P, T, 0.0, X, IFL, NODE);
}
double XKT(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XKT, P, T, 0.0, X, IFL, NODE);
}
double XPRES(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XPRES, P, T, 0.0, X, IFL, NODE);
}
double XSIG(double P, double T, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XSIG, P, T, 0.0, 0.0, IFL, NODE);
}
double XRHOS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XRHOS, P, T, 0.0, X, IFL, NODE);
}
double XCPS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XCPS, P, T, 0.0, X, IFL, NODE);
}
double XCONDS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XCONDS, P, T, 0.0, X, IFL, NODE);
}
double XVISCS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XVISCS, P, T, 0.0, X, IFL, NODE);
}
double XENTHS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XENTHS, P, T, 0.0, X, IFL, NODE);
}
double XJTS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XJTS, P, T, 0.0, X, IFL, NODE);
}
double XKTS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XKTS, P, T, 0.0, X, IFL, NODE);
}
double XTEMPS(double P, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XTEMPS, P, 0.0, 0.0, 0.0, IFL, NODE);
}
double XPRESS(double T, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XPRESS, 0.0, T, 0.0, 0.0, IFL, NODE);
}
double XSIGS(double P, double T, std::int32_t IFL, std::int32_t NODE) {
  return call(F_XSIGS, P, T, 0.0, 0.0, IFL, NODE);
}
