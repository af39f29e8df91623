// Heater definition, reset and status.
#include "runtime/casedata/heaters.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "runtime/casedata/heater_internal.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/text_utils.h"

namespace kalvir::heater {
namespace {

std::vector<HeaterRecord> g_records;

constexpr std::size_t kContextLength = 170;

}  // namespace

std::vector<HeaterRecord>& records() noexcept { return g_records; }

std::int32_t submodel_count() noexcept {
  if (gar_modeldirectory.rows() < 2 || gar_modeldirectory.cols() < 1) return 0;
  const std::int64_t n = gar_modeldirectory(2, 1);
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(n, 0, std::min(gar_modeldirectory.cols() - 1, gar_modelnames.size())));
}

std::string context(std::string_view name, std::int32_t model) {
  std::string text = "Heater: ";
  text += trim_right(name);
  if (model >= 2 && model <= gar_modelnames.size()) {
    text += "<NL>Model: ";
    text += gar_modelnames(model);
  }
  if (text.size() > kContextLength) text.resize(kContextLength);
  return text;
}

void report(std::string_view text, std::int32_t severity, std::int32_t code, std::string_view routine) {
  SETERX(trim_right(text), severity, code, routine);
}

void fatal(std::string_view text, std::int32_t code, std::string_view routine) {
  report(text, 4, code, routine);
  FAILUR();  // a fatal message does not come back; should it, the run still ends
}

}  // namespace kalvir::heater

namespace kalvir {
namespace {

using heater::context;
using heater::fatal;
using heater::records;
using heater::report;

constexpr std::string_view kDefining = "Defining a Heater.@";
constexpr std::string_view kResetting = "Resetting a Heater.@";
constexpr std::string_view kRetrieving = "Retrieving a Heater status.@";

// The definition messages by code: problem, current action and information,
// each ended by its "@"; the context follows. Codes 1 to 3 carry the maximum
// length and are built by too_long().
constexpr std::array<std::string_view, 21> kDefineTexts{
    "",
    "",
    "",
    "",
    "Invalid integer option for transient operating mode.@Defining a Heater.@@",
    "Invalid integer option for steady state operating mode.@Defining a Heater.@@",
    "Failed to find any thermal nodes matching power node number string.@Defining a Heater.@At least one thermal "
    "node must be given for the heat load application.<NL>Heater power cannot be applied to fluid nodes or "
    "inactive nodes.@",
    "Heat load application nodes cannot be boundary nodes@Defining a Heater.@@",
    "Invalid KALVIR Thermal array reference for node power factors.@Defining a Heater.@Array not defined.@",
    "Incorrect definition of power factors array.@Defining a Heater.@Must be a 1D array containing sufficient "
    "values to set the power factor at each heat load application node.@",
    "Invalid KALVIR Thermal array reference for node power factors.@Defining a Heater.@Cannot be a negative "
    "number.@",
    "Invalid Time/Temperature dependence integer option for nominal heat load.@Defining a Heater.@@",
    "A negative nominal heat load has been supplied.@Defining a Heater.@No power dependence has been selected.@",
    "Invalid array reference for Time/Temperature dependent heat load.@Defining a Heater.@Must be an KALVIR "
    "Thermal array reference.@",
    "Incorrect array definition for Time/Temperature dependent heat load.@Defining a Heater.@Must be a (2xN) "
    "array of Nominal Power vs Time or Temperature.@",
    "Incorrect array definition for Time&Temperature dependent heat load.@Defining a Heater.@Must be a Table "
    "array with 2 independent variables.@",
    "Incorrect definition of Cyclic period for time dependent heat load.@Defining a Heater.@Cyclic time period "
    "must be a positive value.@",
    "Invalid integer option for thermostat temperature measurement method.@Defining a Heater.@@",
    "Failed to find any nodes matching measured temperature node number string.@Defining a Heater.@At least one "
    "thermal node must be given for the measured temperature.<NL>Thermostat measurement temperature cannot use "
    "fluid nodes or inactive nodes.@",
    "Heater thermostat On temperature is not less than thermostat Off temperature.@Defining a Heater.@@",
    "Invalid value for Heater initial state@Defining a Heater.@A Heater state can be ON (initialState=1) or OFF "
    "(initialState=0)@",
};

// A definition under a MODEL that names no submodel: the heater cannot be
// placed, nor its submodel named in the message.
constexpr std::int32_t kDefineBadModel = 21;
// An element of a node number list ("#PCB:1-4,99") that selects no node of
// the heater: the rest of the list would silently stand for the whole.
constexpr std::int32_t kDefinePowerElement = 22;
constexpr std::int32_t kDefineMeasuredElement = 23;

// The first element of the '#' node group SPEC that selects none of NODES
// (the thermal nodes the whole group resolved to); none for a label form.
std::optional<NodeGroupElement> unselecting_element(std::string_view spec, std::int32_t model,
                                                    const std::vector<std::int32_t>& nodes) {
  for (NodeGroupElement& e : node_group_elements(trim_right(spec), model)) {
    const bool selects = std::any_of(nodes.begin(), nodes.end(), [&](std::int32_t n) {
      const std::int32_t number = gar_thermalnodenums(n);
      return NDSSMD(n) == e.submodel && e.low <= number && number <= e.high;
    });
    if (!selects) return std::move(e);
  }
  return std::nullopt;
}

// "<what> node number string element selects no node ..." for element E of SPEC.
std::string element_text(std::string_view what, std::string_view spec, const NodeGroupElement& e,
                         std::string_view info) {
  return std::string(what) + " node number string element selects no node.@" + std::string(kDefining) +
         "String: " + std::string(trim_right(spec)) + "<NL>Element: " + e.text + " (sub-model " +
         submodel_path(e.submodel) + ")<NL>" + std::string(info) + "@";
}

// "<what> string too long, maximum <n> characters@<action>@"
std::string too_long(std::string_view what, std::size_t maximum, std::string_view action) {
  std::string text(what);
  text += " string too long, maximum ";
  text += IToC(static_cast<std::int32_t>(maximum));
  text += " characters@";
  text += action;
  text += "@";
  return text;
}

std::optional<std::size_t> find_index(std::string_view name, std::int32_t model) {
  const auto& list = records();
  for (std::size_t k = 0; k < list.size(); ++k)
    if (list[k].model == model && same_trimmed(list[k].name.view(), name)) return k;
  return std::nullopt;
}

// The thermal nodes of submodel `model` and its descendants, excluded nodes
// left out, that a node-group string selects; nullopt when none is found or
// the node-group lookup failed (it reports its own failures).
std::optional<std::vector<std::int32_t>> resolve_nodes(std::int32_t model, std::string_view spec) {
  const std::int32_t nnode = std::max(gfl_getnumthermalnodes(), 0);
  std::vector<std::int32_t> nodes(static_cast<std::size_t>(nnode));
  std::int32_t ierr = 0;
  std::int32_t count = 0;
  Lschnd(model, nnode, "THERMAL", 0, "htr_Define", model, trim_right(spec), ierr, nodes, count);
  if (ierr != 0 || count < 1) return std::nullopt;
  nodes.resize(static_cast<std::size_t>(count));
  return nodes;
}

// The decoded info entry of a user array whose number is known to be valid.
struct ArrayShape {
  std::int32_t start = 0;
  std::int32_t ndim = 0;
  std::array<std::int32_t, 7> dims{};
  std::int32_t nelem = 0;
  std::int32_t form = 0;
  std::int32_t status = 0;
};

ArrayShape shape_of(std::int32_t array) {
  ArrayShape s;
  std::int32_t head = 0;
  std::int32_t nval = 0;
  APARS(array, head, s.start, s.ndim, s.dims, nval, s.nelem, s.form, s.status);
  return s;
}

std::int32_t magnitude(std::int32_t model) noexcept {
  return static_cast<std::int32_t>(std::min<std::int64_t>(std::llabs(model), INT32_MAX));
}

}  // namespace

const std::vector<HeaterRecord>& heater_list() noexcept { return records(); }

const HeaterRecord* find_heater(std::string_view name, std::int32_t model) noexcept {
  for (const HeaterRecord& h : records())
    if (h.model == model && same_trimmed(h.name.view(), name)) return &h;
  return nullptr;
}

void heaters_reset_for_tests() {
  records().clear();
  heater::reset_update_state();
}

}  // namespace kalvir

void htr_Define(std::string_view heaterName, std::string_view measuredNodeString, double tOn, double tOff,
                std::int32_t measurementMethod, std::string_view powerNodeString, std::int32_t powerFactorArray,
                std::int32_t loadOption, double nominalLoad, std::int32_t loadArray, double cyclicPeriod,
                double powerScale, std::int32_t transientMode, std::int32_t initialState, std::int32_t steadyMode,
                double steadyPowerFraction, double steadyRelaxation, double setPointTemperature) {
  using namespace kalvir;
  constexpr std::string_view kRoutine = "htr_Define";

  const std::int32_t model = gcc_getmodel();
  if (model < 1 || model > heater::submodel_count()) {
    fatal("Invalid model reference@" + std::string(kDefining) + "@" + context(heaterName, 0), kDefineBadModel, kRoutine);
  }
  const std::string where = context(heaterName, model);
  const auto fail = [&](std::int32_t code) {
    fatal(std::string(kDefineTexts[static_cast<std::size_t>(code)]) + where, code, kRoutine);
  };

  if (trimmed_length(heaterName) > kHeaterNameLength)
    fatal(too_long("Heater name", kHeaterNameLength, kDefining) + where, 1, kRoutine);
  if (trimmed_length(measuredNodeString) > kHeaterNodeStringLength)
    fatal(too_long("Heater temperature measurement nodes", kHeaterNodeStringLength, kDefining) + where, 2, kRoutine);
  if (trimmed_length(powerNodeString) > kHeaterNodeStringLength)
    fatal(too_long("Heater power nodes", kHeaterNodeStringLength, kDefining) + where, 3, kRoutine);

  // The record is filled in a copy and joins the list only when every check
  // has passed, so that a failed definition leaves no half-made heater.
  const std::optional<std::size_t> found = find_index(heaterName, model);
  const bool is_new = !found.has_value();
  HeaterRecord h = is_new ? HeaterRecord{} : records()[*found];
  if (is_new) {
    h.name = heaterName;
    h.model = model;
  }

  if (transientMode != 1 && transientMode != 2) fail(4);
  if (steadyMode < 1 || steadyMode > 3) fail(5);
  h.transientMode = transientMode;
  h.steadyMode = steadyMode;

  if (is_new || !same_trimmed(powerNodeString, h.powerNodeString.view())) {
    auto nodes = resolve_nodes(model, powerNodeString);
    if (!nodes) fail(6);
    if (const auto e = unselecting_element(powerNodeString, model, *nodes))
      fatal(element_text("Power", powerNodeString, *e,
                         "Heater power cannot be applied to fluid nodes or inactive nodes.") + where,
            kDefinePowerElement, kRoutine);
    for (const std::int32_t n : *nodes)
      if (gar_thermalnodestatuses(n)[0] == 'B') fail(7);
    h.powerNodes = std::move(*nodes);
    h.powerNodeString = powerNodeString;
  }

  const std::int32_t narrays = gfl_getnumallarrays();
  if (powerFactorArray == 0) {
    h.powerFactorStart = 0;
  } else if (powerFactorArray < 0) {
    fail(10);
  } else if (powerFactorArray > narrays) {
    fail(8);
  } else {
    const ArrayShape s = shape_of(powerFactorArray);
    if (s.status != 0 || s.form != array_form::kReal || s.ndim != 1 || s.nelem < h.powerNodeCount()) fail(9);
    h.powerFactorStart = s.start;
  }

  if (loadOption < 0 || loadOption > 8) fail(11);
  h.loadOption = loadOption;
  h.nominalLoad = nominalLoad;
  if (loadOption == 0) {
    // Written so that a NaN load is refused with the negative ones.
    if (!(nominalLoad >= 0.0)) fail(12);
    h.loadArray = 0;
  } else {
    if (loadArray < 1 || loadArray > narrays) fail(13);
    const ArrayShape s = shape_of(loadArray);
    if (loadOption == 4 || loadOption == 8) {
      if (s.status != 0 || s.form != array_form::kTable || s.ndim != 2) fail(15);
    } else if (s.status != 0 || s.form != array_form::kReal || s.ndim != 2 || s.dims[0] != 2) {
      fail(14);
    }
    h.nominalLoad = 0.0;
    h.loadArray = loadArray;
  }

  if ((loadOption == 2 || loadOption == 6) && !(cyclicPeriod > 0.0)) fail(16);
  h.cyclicPeriod = cyclicPeriod;
  h.powerScale = powerScale;
  h.steadyPowerFraction = steadyPowerFraction;
  h.steadyRelaxation = steadyRelaxation;

  if (measurementMethod < 1 || measurementMethod > 3) fail(17);
  h.measurementMethod = measurementMethod;

  if (is_new || !same_trimmed(measuredNodeString, h.measuredNodeString.view())) {
    if (same_trimmed(measuredNodeString, powerNodeString)) {
      h.measuredNodes = h.powerNodes;
    } else {
      auto nodes = resolve_nodes(model, measuredNodeString);
      if (!nodes) fail(18);
      if (const auto e = unselecting_element(measuredNodeString, model, *nodes))
        fatal(element_text("Measured temperature", measuredNodeString, *e,
                           "Thermostat measurement temperature cannot use fluid nodes or inactive nodes.") + where,
              kDefineMeasuredElement, kRoutine);
      h.measuredNodes = std::move(*nodes);
    }
    h.measuredNodeString = measuredNodeString;
  }

  if (!(tOn < tOff)) fail(19);
  h.tOn = tOn;
  h.tOff = tOff;
  h.setPointTemperature = setPointTemperature;

  if (transientMode == 1) {
    if (initialState != 0 && initialState != 1) fail(20);
    h.thermostatState = initialState;
  } else {
    h.thermostatState = 0;
  }
  h.heaterOn = 0;
  h.previousOn = 0;

  if (is_new)
    records().push_back(std::move(h));
  else
    records()[*found] = std::move(h);
}

void htr_Reset(std::string_view heaterName, std::int32_t model) {
  using namespace kalvir;
  constexpr std::string_view kRoutine = "htr_Reset";
  const std::int32_t n = magnitude(model);
  const std::int32_t nsub = heater::submodel_count();
  if (n == 0 || n > nsub)
    fatal("Invalid model reference@" + std::string(kResetting) + "@" + context(heaterName, 0), 1, kRoutine);

  const auto clear = [](HeaterRecord& h) {
    h.switchCount = 0;
    h.elapsedTime = 0.0;
    h.onTime = 0.0;
    h.dutyCycle = 0.0;
  };

  if (is_blank(heaterName)) {
    std::int32_t last = n;
    if (model > 0) last = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                       static_cast<std::int64_t>(n) + gar_modeldirectory(2, n) - 1, n, nsub));
    for (HeaterRecord& h : records())
      if (h.model >= n && h.model <= last) clear(h);
    return;
  }

  const std::string where = context(heaterName, n);
  if (trimmed_length(heaterName) > kHeaterNameLength)
    fatal(too_long("Heater name", kHeaterNameLength, kResetting) + where, 2, kRoutine);
  const std::optional<std::size_t> k = find_index(heaterName, n);
  if (!k) {
    report("Requested Heater was not defined@" + std::string(kResetting) + "@" + where, 3, 3, kRoutine);
    return;
  }
  clear(records()[*k]);
}

void htr_Status(std::string_view heaterName, std::int32_t model, double& measuredTemperature,
                std::int32_t& heaterOn, double& appliedPower, std::int32_t& switchCount, double& onTime,
                double& dutyCycle) {
  using namespace kalvir;
  constexpr std::string_view kRoutine = "htr_Status";
  const std::int32_t n = magnitude(model);
  if (n == 0 || n > heater::submodel_count())
    fatal("Invalid model reference@" + std::string(kRetrieving) + "@" + context(heaterName, 0), 1, kRoutine);

  const std::string where = context(heaterName, n);
  if (trimmed_length(heaterName) > kHeaterNameLength)
    fatal(too_long("Heater name", kHeaterNameLength, kRetrieving) + where, 2, kRoutine);
  const HeaterRecord* h = find_heater(heaterName, n);
  if (h == nullptr) {
    report("Requested Heater was not defined@" + std::string(kRetrieving) + "@" + where, 3, 3, kRoutine);
    return;
  }
  measuredTemperature = h->measuredTemperature;
  heaterOn = h->heaterOn;
  appliedPower = h->appliedPower;
  switchCount = h->switchCount;
  onTime = h->onTime;
  dutyCycle = h->dutyCycle;
}
