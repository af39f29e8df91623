// Heater update: thermostats, loads and switching statistics during a
// solution, called from the variables 1 and variables 2 blocks.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/casedata/heater_internal.h"
#include "runtime/casedata/heaters.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::heater {
namespace {

constexpr double kTiny = 1.0e-37;

// 1 until the first variables 1 update after a variables 2 update (and at the
// start of the run): steady set-point heaters take hold of their nodes then.
std::int32_t mfirstv1 = 1;

// Per-node loads of the heater being updated; kept so that the update does
// not allocate once the largest heater has been seen.
std::vector<double> node_loads;

// How each load option obtains the heat load P.
enum class LoadSource { Nominal, Time, CyclicTime, NodeTemperature, TimeAndNodeTemperature };
struct LoadRule {
  LoadSource source;
  std::int32_t order;
};
constexpr std::array<LoadRule, 9> kLoadRules{{
    {LoadSource::Nominal, 0},
    {LoadSource::Time, 1},
    {LoadSource::CyclicTime, 1},
    {LoadSource::NodeTemperature, 1},
    {LoadSource::TimeAndNodeTemperature, 1},
    {LoadSource::Time, 0},
    {LoadSource::CyclicTime, 0},
    {LoadSource::NodeTemperature, 0},
    {LoadSource::TimeAndNodeTemperature, 0},
}};

// The stop texts of one kind of update.
struct Stops {
  std::string_view no_measured_nodes;
  std::string_view no_power_nodes;
  std::string_view load_per_heater;
  std::string_view load_per_node;
};
constexpr Stops kTransientStops{"(htr) UpdateTransientV1 1", "(htr) UpdateTransientV1 2", "(htr) CalcPowerTrans 1",
                                "(htr) CalcPowerTrans 2"};
constexpr Stops kSteadyStops{"(htr) UpdateSteadyV1 1", "(htr) UpdateSteadyV1 2", "(htr) CalcPowerSteady 1",
                             "(htr) CalcPowerSteady 2"};

double CalcMeasuredTemp(std::int32_t method, const std::vector<std::int32_t>& nodes) {
  switch (method) {
    case 1: {
      double sum = 0.0;
      for (const std::int32_t n : nodes) sum += gar_thermalnodetemps(n);
      return sum / static_cast<double>(nodes.size());
    }
    case 2: {
      double t = gar_thermalnodetemps(nodes.front());
      for (const std::int32_t n : nodes) t = std::min(t, gar_thermalnodetemps(n));
      return t;
    }
    case 3: {
      double t = gar_thermalnodetemps(nodes.front());
      for (const std::int32_t n : nodes) t = std::max(t, gar_thermalnodetemps(n));
      return t;
    }
    default:
      internal_stop("(htr) CalcMeasuredTemp");
  }
}

void measure(HeaterRecord& h, const Stops& stops) {
  if (h.measuredNodes.empty()) internal_stop(stops.no_measured_nodes);
  h.measuredTemperature = CalcMeasuredTemp(h.measurementMethod, h.measuredNodes);
}

// Proportional demand: 1 at or below tOn, 0 at or above tOff, linear between.
// Returns false when the band is too narrow to divide by.
bool proportional(HeaterRecord& h, double& fraction) {
  const double t = h.measuredTemperature;
  if (t <= h.tOn) {
    h.thermostatState = 1;
    fraction = 1.0;
  } else if (t >= h.tOff) {
    h.thermostatState = 0;
    fraction = 0.0;
  } else {
    const double band = h.tOff - h.tOn;
    if (!(band > kTiny)) return false;
    h.thermostatState = 1;
    fraction = (h.tOff - t) / band;
  }
  return true;
}

double ThermostatTrans(HeaterRecord& h) {
  double fraction = 0.0;
  switch (h.transientMode) {
    case 1: {
      const double t = h.measuredTemperature;
      if (t <= h.tOn) {
        h.thermostatState = 1;
      } else if (t >= h.tOff) {
        h.thermostatState = 0;
        return 0.0;
      }
      // Between the two the thermostat keeps its state: full power if on.
      return 1.0;
    }
    case 2:
      if (!proportional(h, fraction)) internal_stop("(htr) ThermostatTrans 1");
      return fraction;
    default:
      internal_stop("(htr) ThermostatTrans 2");
  }
}

// Share of power node i (1-based): its power factor, or an equal share.
double share(const HeaterRecord& h, std::int32_t i) {
  if (h.powerFactorStart != 0) return gar_arrayvaluesreal(static_cast<std::int64_t>(h.powerFactorStart) + i - 1);
  return 1.0 / static_cast<double>(h.powerNodeCount());
}

// node_loads(i) := L(i) = s(i) x P x powerScale for every power node; returns
// their sum. Per-node options read P at the node's own temperature.
double compute_node_loads(const HeaterRecord& h, const Stops& stops) {
  if (h.loadOption < 0 || h.loadOption > 8) internal_stop(stops.load_per_heater);
  const LoadRule rule = kLoadRules[static_cast<std::size_t>(h.loadOption)];
  const double timem = gcc_gettimem();
  double p = 0.0;
  switch (rule.source) {
    case LoadSource::Nominal:
      p = h.nominalLoad;
      break;
    case LoadSource::Time:
      p = INTRP1(timem, h.loadArray, rule.order);
      break;
    case LoadSource::CyclicTime:
      p = INTCY1(timem, h.loadArray, rule.order, h.cyclicPeriod, 0.0);
      break;
    case LoadSource::NodeTemperature:
    case LoadSource::TimeAndNodeTemperature:
      break;
  }
  node_loads.resize(h.powerNodes.size());
  double sum = 0.0;
  for (std::int32_t i = 1; i <= h.powerNodeCount(); ++i) {
    const std::int32_t node = h.powerNodes[static_cast<std::size_t>(i - 1)];
    double pi = p;
    switch (rule.source) {
      case LoadSource::NodeTemperature:
        pi = INTRP1(gar_thermalnodetemps(node), h.loadArray, rule.order);
        break;
      case LoadSource::TimeAndNodeTemperature:
        pi = INTRP2(timem, gar_thermalnodetemps(node), h.loadArray, rule.order);
        break;
      case LoadSource::Nominal:
      case LoadSource::Time:
      case LoadSource::CyclicTime:
        break;
    }
    const double load = share(h, i) * pi * h.powerScale;
    node_loads[static_cast<std::size_t>(i - 1)] = load;
    sum += load;
  }
  return sum;
}

double& qi(std::int32_t node) { return gar_thermalnodeheatsourcesinternal(node); }

// Per thermal node: 1 once a heater has set its QI to 0 in this run. A node's
// first such update finds the QI the model gave it (its data or its own
// blocks), which the heater's load then replaces: that is said once.
std::vector<char> claimed;

void warn_replaced_qi(const HeaterRecord& h, std::int32_t node) {
  const std::string field = kalvir::platform::edit_e(qi(node), 13, 5, 0, 1);
  std::string text = kalvir::padded(
      "Heater power node has an internal heat source of its own@Updating a Heater.@The heater sets QI of its "
      "power nodes to 0 before it adds its load, so the node's QI of " +
          field.substr(std::min(field.find_first_not_of(' '), field.size())) +
          " is not applied. Put that load on another node or into the heater's load.@" +
          context(h.name.view(), h.model) + "<NL>",
      400);
  MESBLD(node, text);
  report(text, 2, 3, "htr_Update");
}

void zero_power_nodes() {
  claimed.resize(static_cast<std::size_t>(std::max(gfl_getnumthermalnodes(), 0)) + 1, 0);
  for (const HeaterRecord& h : records())
    for (const std::int32_t n : h.powerNodes) {
      char& first = claimed[static_cast<std::size_t>(n)];
      if (first == 0) {
        first = 1;
        if (qi(n) != 0.0) warn_replaced_qi(h, n);
      }
      qi(n) = 0.0;
    }
}

void CalcPowerTrans(HeaterRecord& h, double fraction) {
  switch (h.thermostatState) {
    case 0:
      h.fullPower = 0.0;
      h.appliedPower = 0.0;
      h.heaterOn = 0;
      return;
    case 1: {
      const double full = compute_node_loads(h, kTransientStops);
      double applied = 0.0;
      for (std::size_t i = 0; i < h.powerNodes.size(); ++i) {
        const double load = node_loads[i] * fraction;
        qi(h.powerNodes[i]) += load;
        applied += load;
      }
      h.fullPower = full;
      h.appliedPower = applied;
      h.heaterOn = applied > 0.0 ? 1 : 0;
      return;
    }
    default:
      internal_stop("(htr) CalcPowerTrans 3");
  }
}

void UpdateTransientV1() {
  zero_power_nodes();
  for (HeaterRecord& h : records()) {
    measure(h, kTransientStops);
    const double fraction = ThermostatTrans(h);
    if (h.powerNodes.empty()) internal_stop(kTransientStops.no_power_nodes);
    CalcPowerTrans(h, fraction);
  }
  mfirstv1 = 0;
}

void UpdateTransientV2() {
  const double dt = gcc_getdtimeu();
  for (HeaterRecord& h : records()) {
    h.elapsedTime += dt;
    if (h.heaterOn == 1) {
      h.onTime += dt;
      if (h.previousOn == 0) ++h.switchCount;
    }
    h.dutyCycle = h.elapsedTime > kTiny ? h.onTime / h.elapsedTime : 0.0;
    h.previousOn = h.heaterOn;
  }
  mfirstv1 = 1;
}

void set_power_node_statuses(const HeaterRecord& h, std::string_view letter) {
  for (const std::int32_t n : h.powerNodes) gar_thermalnodestatuses.set(n, letter);
  Lschnd_clear_cache();
  stat_setstatst(1);
}

// A connection-list word that does not lead where the list says it does.
[[noreturn]] void bad_connection_list() { internal_stop("(htr) CalcPowerSteady 4"); }

// Net heat flowing into thermal node n from its heat sources and conductors.
double net_heat(std::int32_t n) {
  const std::int32_t nnode = gfl_getnumthermalnodes();
  const std::int64_t nall = static_cast<std::int64_t>(nnode) + gfl_getnumfluidnodes();
  const double tn = gar_thermalnodetemps(n);
  const auto temperature = [&](std::int64_t j) {
    if (j < 1 || j > nall) bad_connection_list();
    return j > nnode ? gar_fluidnodetemps(j - nnode) : gar_thermalnodetemps(j);
  };
  const double tabs = gcc_gettabs();
  const auto fourth = [](double t) {
    const double sq = t * t;
    return sq * sq;
  };

  double flow = 0.0;
  double radiation = 0.0;
  for (std::int32_t kind = 1; kind <= 3; ++kind) {
    const std::int64_t start = gar_pcsptrsthermal(2 * kind - 1, n);
    const std::int64_t count = gar_pcsptrsthermal(2 * kind, n);
    if (count < 1) continue;
    if (start < 1 || start + 2 * count - 1 > gar_pcsthermal.size()) bad_connection_list();
    for (std::int64_t e = 0; e < count; ++e) {
      const std::int64_t j = gar_pcsthermal(start + 2 * e);
      const std::int64_t c = gar_pcsthermal(start + 2 * e + 1);
      if (j >= 1 && j <= nnode && gar_thermalnodestatuses(j)[0] == 'X') continue;
      switch (kind) {
        case 1:
          if (c < 1 || c > gar_linearconds.size()) bad_connection_list();
          if (gar_linearcondacts(c)[0] == 'A') flow += gar_linearconds(c) * (temperature(j) - tn);
          break;
        case 2:
          if (c < 1 || c > gar_radiativeconds.size()) bad_connection_list();
          if (gar_radiativecondacts(c)[0] == 'A')
            radiation += gar_radiativeconds(c) * (fourth(temperature(j) + tabs) - fourth(tn + tabs));
          break;
        default:
          // A fluidic conductor acts on the node named second in its definition.
          if (c < 1) break;
          if (c > gar_fluidicconds.size()) bad_connection_list();
          if (gar_fluidiccondacts(c)[0] == 'A') flow += gar_fluidicconds(c) * (temperature(j) - tn);
          break;
      }
    }
  }
  return kalvir::thermal::node_heat_load(n) + flow + gcc_getstefan() * radiation;
}

double ThermostatSteady(HeaterRecord& h, bool& band_ok) {
  band_ok = true;
  double fraction = 1.0;
  switch (h.steadyMode) {
    case 2:
      band_ok = proportional(h, fraction);
      return fraction;
    case 1:
    case 3:
      h.thermostatState = 1;
      return 1.0;
    default:
      internal_stop("(htr) ThermostatSteady 2");
  }
}

void CalcPowerSteady(HeaterRecord& h, double fraction, bool band_ok) {
  switch (h.steadyMode) {
    case 1: {
      const double full = compute_node_loads(h, kSteadyStops);
      double applied = 0.0;
      for (std::size_t i = 0; i < h.powerNodes.size(); ++i) {
        const double load = node_loads[i] * h.steadyPowerFraction;
        qi(h.powerNodes[i]) += load;
        applied += load;
      }
      h.fullPower = full;
      h.appliedPower = applied;
      return;
    }
    case 2: {
      const double full = compute_node_loads(h, kSteadyStops);
      double share_sum = 0.0;
      for (std::int32_t i = 1; i <= h.powerNodeCount(); ++i) share_sum += share(h, i);
      h.fullPower = full;
      // Neither a thermostat band nor a set of shares that cannot be divided
      // by may turn into an infinite or undefined load: the heater keeps the
      // power it had.
      if (!band_ok) {
        report("Heater thermostat band too narrow for proportional control@Updating a steady state Heater.@"
               "Heater power left unchanged.@" +
                   context(h.name.view(), h.model),
               2, 1, "htr_Update");
      } else {
        h.appliedPower += h.steadyRelaxation * (full * fraction - h.appliedPower);
      }
      if (!(share_sum > kTiny || share_sum < -kTiny)) {
        report("Heater power factors sum to zero@Updating a steady state Heater.@"
               "No power applied to the heat load application nodes.@" +
                   context(h.name.view(), h.model),
               2, 2, "htr_Update");
        return;
      }
      for (std::int32_t i = 1; i <= h.powerNodeCount(); ++i)
        qi(h.powerNodes[static_cast<std::size_t>(i - 1)]) += h.appliedPower * share(h, i) / share_sum;
      return;
    }
    case 3: {
      double total = 0.0;
      for (const std::int32_t n : h.powerNodes) {
        const double required = -net_heat(n);
        qi(n) += required;
        total += required;
      }
      h.fullPower = total;
      h.appliedPower = total;
      return;
    }
    default:
      internal_stop("(htr) CalcPowerSteady 3");
  }
}

void UpdateSteadyV1() {
  zero_power_nodes();
  for (HeaterRecord& h : records()) {
    if (mfirstv1 == 1 && h.steadyMode == 3) {
      for (const std::int32_t n : h.powerNodes) gar_thermalnodetemps(n) = h.setPointTemperature;
      set_power_node_statuses(h, "B");
    }
    measure(h, kSteadyStops);
    bool band_ok = true;
    const double fraction = ThermostatSteady(h, band_ok);
    if (h.powerNodes.empty()) internal_stop(kSteadyStops.no_power_nodes);
    CalcPowerSteady(h, fraction, band_ok);
    h.heaterOn = h.appliedPower > 0.0 ? 1 : 0;
    h.dutyCycle = h.fullPower > kTiny ? h.appliedPower / h.fullPower : 0.0;
  }
  mfirstv1 = 0;
}

void ReleaseSetPointNodes() {
  for (const HeaterRecord& h : records())
    if (h.steadyMode == 3) set_power_node_statuses(h, "D");
  mfirstv1 = 1;
}

}  // namespace

void reset_update_state() noexcept {
  mfirstv1 = 1;
  node_loads.clear();
  claimed.clear();
}

}  // namespace kalvir::heater

void htr_Update() {
  using namespace kalvir::heater;
  if (records().empty()) return;
  const std::string solver = gcc_getsolver();
  const std::string opblok = gcc_getopblok();
  const std::string_view kind = std::string_view(solver).substr(0, std::min<std::size_t>(2, solver.size()));
  const bool v1 = kalvir::same_trimmed(opblok, "VARIABLES1");
  const bool v2 = kalvir::same_trimmed(opblok, "VARIABLES2");
  if (kind == "TR" || kind == "CY") {
    if (v1)
      UpdateTransientV1();
    else if (v2)
      UpdateTransientV2();
    else
      internal_stop("htr_Update 2");
  } else if (kind == "SS") {
    if (v1)
      UpdateSteadyV1();
    else if (v2)
      ReleaseSetPointNodes();
    else
      internal_stop("htr_Update 1");
  }
}

void HEATER_UPDATE() { htr_Update(); }
