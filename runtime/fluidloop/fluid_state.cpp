#include "runtime/fluidloop/fluid_state.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/state_descriptors.h"
#include "runtime/platform/fixed_string.h"

using namespace kalvir;

namespace {

enum class State { PT, PFE, PVQ, TVQ, None };

State state_of(std::string_view canonical) {
  if (canonical == "P&T") return State::PT;
  if (canonical == "P&FE") return State::PFE;
  if (canonical == "P&VQ") return State::PVQ;
  if (canonical == "T&VQ") return State::TVQ;
  return State::None;
}

// Temperature from pressure and enthalpy: the saturation temperature inside
// the two-phase region, where the single-phase branches are not defined.
double temperature(double p, double h, double x, std::int32_t slot, std::int32_t node) {
  return x > 0.0 && x < 1.0 ? XTEMPS(p, slot, node) : XTEMP(p, h, x, slot, node);
}

void message(std::string_view head, std::span<const char> descriptor, std::int32_t severity, std::int32_t code) {
  std::string text(head);
  text.append(descriptor.data(), descriptor.size());
  text += "'";
  SETERX(padded(text, 255), severity, code, "FGEIND");
}

}  // namespace

void STCHEK(std::span<char> TEXT, std::int32_t& OK) {
  std::string buffer;
  for (char c : TEXT)
    if (c != ' ' && buffer.size() < 24) buffer += c;
  const std::string_view canonical = canonical_state_descriptor(buffer);
  OK = canonical.empty() ? 0 : 1;
  if (OK != 0) assign_padded(TEXT, canonical);
}

void FGEIND(double& HYDDIAM, double& MASSSOURCE, std::span<char> STATE, std::span<char> FLUID, double& LENGTH,
            std::int32_t H, double PABS, double& RELHUM, double& FLOWAREA, double& SPECENTH,
            double& SOURCEENTH, double& SOURCETEMP, std::span<char> REGIME, double& SOURCEHUM, double& PRESSURE,
            double& VAPQUAL, double& TEMP, double& SPECHUM, double& VOLUME) {
  const std::int32_t slot = FTYPEI(std::string_view(FLUID.data(), FLUID.size()));
  const bool humid = slot == fluids::kHumidAir;
  if (SDUNDF(FLOWAREA)) FLOWAREA = HYDDIAM * (3.1415927 * HYDDIAM) * 0.25;
  VOLUME = FLOWAREA * LENGTH;

  std::array<char, 4> copy{};
  assign_padded(copy, std::string_view(STATE.data(), STATE.size()));
  std::int32_t ok = 0;
  STCHEK(copy, ok);
  const State state = ok != 0 ? state_of(trim_right(std::string_view(copy.data(), copy.size()))) : State::None;
  const double p = PRESSURE;
  const auto enthalpy = [&] { SPECENTH = XENTH(PRESSURE, TEMP, VAPQUAL, slot, H); };
  switch (state) {
    case State::PT:
      VAPQUAL = XGXPT(p, TEMP, slot, H);
      enthalpy();
      break;
    case State::PFE:
      VAPQUAL = XGXPH(p, SPECENTH, slot, H);
      TEMP = temperature(p, SPECENTH, VAPQUAL, slot, H);
      break;
    case State::PVQ:
      TEMP = XTEMPS(p, slot, H);
      enthalpy();
      break;
    case State::TVQ:
      PRESSURE = XPRESS(TEMP, slot, H);
      enthalpy();
      break;
    case State::None:
      message("Fluid state descriptor not recognised@String given: FST = '", STATE, 3, 5);
      break;
  }

  if (state != State::None) {
    // The humidity replaces the quality only after the enthalpy: the
    // enthalpy of humid air is taken at the quality of its phase, and a
    // humidity ratio between 0 and 1 is no phase the properties know.
    if (humid) {
      const double pv = RELHUM * (XPRESS(TEMP, fluids::kWater, H) + PABS);
      const double denominator = PABS + PRESSURE - pv;
      if (denominator > 0.0) {
        SPECHUM = 0.6221 * pv / denominator;
        VAPQUAL = SPECHUM;
      } else {
        message("Initialisation of specific humidity failed@Vapour pressure not below the pressure. FST = '", STATE,
                3, 6);
      }
    }

    if (!SDUNDF(MASSSOURCE) && MASSSOURCE > 0.0) {
      switch (state) {
        case State::PT:
          if (SDUNDF(SOURCETEMP)) {
            message("Initialisation of FH and FW failed@Mass-source temperature FR not defined. FST = '", STATE, 2, 1);
          } else {
            const double xs = XGXPT(p, SOURCETEMP, slot, H);
            SOURCEENTH = XENTH(p, SOURCETEMP, xs, slot, H);
            if (!humid) SOURCEHUM = xs;
          }
          break;
        case State::PFE:
          if (SDUNDF(SOURCEENTH)) {
            message("Initialisation of FR and FW failed@Mass-source enthalpy FH not defined. FST = '", STATE, 2, 2);
          } else {
            const double xs = XGXPH(p, SOURCEENTH, slot, H);
            SOURCETEMP = temperature(p, SOURCEENTH, xs, slot, H);
            if (!humid) SOURCEHUM = xs;
          }
          break;
        case State::PVQ:
          SOURCETEMP = TEMP;
          if (SDUNDF(SOURCEHUM))
            message("Initialisation of FH failed@Mass-source quality FW not defined. FST = '", STATE, 2, 3);
          else
            SOURCEENTH = XENTH(p, TEMP, SOURCEHUM, slot, H);
          break;
        case State::TVQ:
          if (SDUNDF(SOURCETEMP) || SDUNDF(SOURCEHUM))
            message("Initialisation of FH failed@Mass-source temperature FR or quality FW not defined. FST = '", STATE,
                    2, 4);
          else
            SOURCEENTH = XENTH(XPRESS(SOURCETEMP, slot, H), SOURCETEMP, SOURCEHUM, slot, H);
          break;
        case State::None:
          break;
      }
    }
  }

  std::string_view regime = "HEM";
  if (humid || std::abs(1.0 - VAPQUAL) < 1.0e-37)
    regime = "VAP";
  else if (std::abs(VAPQUAL) < 1.0e-37)
    regime = "LIQ";
  assign_padded(REGIME, regime);
}
