#include "runtime/fluidloop/fluid_state.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/library/psychrometrics.h"
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

// NODE, when not 0, is named after the text.
void message(std::string_view head, std::span<const char> descriptor, std::int32_t severity, std::int32_t code,
             std::int32_t node = 0) {
  std::string text(head);
  text.append(descriptor.data(), descriptor.size());
  text += "'";
  text = padded(text, 255);
  if (node != 0) MESBLD(node, text);
  SETERX(text, severity, code, "FGEIND");
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
  // Humid air's enthalpy is that of its humidity ratio, which the relative
  // humidity gives only once the temperature is known: it is taken below.
  const auto enthalpy = [&] {
    if (!humid) SPECENTH = XENTH(PRESSURE, TEMP, VAPQUAL, slot, H);
  };
  switch (state) {
    case State::PT:
      VAPQUAL = XGXPT(p, TEMP, slot, H);
      enthalpy();
      break;
    case State::PFE:
      if (!humid) {
        VAPQUAL = XGXPH(p, SPECENTH, slot, H);
        TEMP = temperature(p, SPECENTH, VAPQUAL, slot, H);
      }
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
    if (humid) {
      namespace psy = fluids::psychro;
      const double pa = PABS + PRESSURE;
      if (state == State::PFE) {
        // Temperature and humidity ratio together give the enthalpy at the
        // node's relative humidity.
        const psy::HumidState s = psy::state_from_enthalpy(SPECENTH, RELHUM, pa, H);
        if (s.found) {
          TEMP = s.tk - GLOR.TABS;
          SPECHUM = s.x;
          VAPQUAL = SPECHUM;
        } else {
          message("Initialisation of humid air failed@No temperature gives the enthalpy FE at the relative "
                  "humidity PHI. FST = '",
                  STATE, 3, 7, H);
        }
      } else {
        const double pv = RELHUM * psy::saturation_pressure_liquid(TEMP + GLOR.TABS);
        if (pv < pa) {
          SPECHUM = psy::humidity_ratio(pv, pa);
          VAPQUAL = SPECHUM;
          SPECENTH = XENTH(PRESSURE, TEMP, SPECHUM, slot, H);
        } else {
          message("Initialisation of specific humidity failed@Vapour pressure not below the pressure. FST = '",
                  STATE, 3, 6);
        }
      }
    }

    // The humidity ratio of humid air's mass source: its own, or the node's.
    const auto source_humidity = [&] { return SDUNDF(SOURCEHUM) ? SPECHUM : SOURCEHUM; };
    if (!SDUNDF(MASSSOURCE) && MASSSOURCE > 0.0) {
      switch (state) {
        case State::PT:
          if (SDUNDF(SOURCETEMP)) {
            message("Initialisation of FH and FW failed@Mass-source temperature FR not defined. FST = '", STATE, 2, 1);
          } else {
            const double xs = humid ? source_humidity() : XGXPT(p, SOURCETEMP, slot, H);
            SOURCEENTH = XENTH(p, SOURCETEMP, xs, slot, H);
            if (!humid) SOURCEHUM = xs;
          }
          break;
        case State::PFE:
          if (SDUNDF(SOURCEENTH)) {
            message("Initialisation of FR and FW failed@Mass-source enthalpy FH not defined. FST = '", STATE, 2, 2);
          } else if (humid) {
            SOURCETEMP = XTEMP(p, SOURCEENTH, source_humidity(), slot, H);
          } else {
            const double xs = XGXPH(p, SOURCEENTH, slot, H);
            SOURCETEMP = temperature(p, SOURCEENTH, xs, slot, H);
            SOURCEHUM = xs;
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
