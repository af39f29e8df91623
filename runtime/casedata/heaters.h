// htr_HeaterManager_m: thermostatically controlled heaters.
//
// A model's blocks define heaters (htr_Define), clear their switching
// statistics (htr_Reset) and read their state (htr_Status). During a solution
// the variables blocks call HEATER_UPDATE, which measures each heater's
// thermostat temperature, applies its load to the internal heat source QI of
// its power nodes and keeps the switching statistics.
//
// A heater's load replaces its power nodes' own QI: every variables 1 update
// first sets QI of every heater's power nodes to 0 (all heaters first, so
// that heaters sharing a node add up), then adds the loads. A power node's
// QI from the model data or the model's own blocks is thus not applied; the
// first update that replaces a non-zero QI says so once per node and run
// (a warning of htr_Update). A load that must stay belongs on another node
// or in the heater's load.
//
// A heater is known by its name together with the submodel (MODEL) that was
// current when it was first defined; records live for the whole run. A
// second htr_Define of the same heater overwrites its parameters, so a block
// that runs again for every parameter case (the execution block) is where a
// heater whose parameters a case may change is defined.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/platform/fixed_string.h"

namespace kalvir {

inline constexpr std::size_t kHeaterNameLength = 133;
inline constexpr std::size_t kHeaterNodeStringLength = 512;

struct HeaterRecord {
  Chars<kHeaterNameLength> name;
  std::int32_t model = 0;

  // Thermostat: the nodes it measures and how.
  Chars<kHeaterNodeStringLength> measuredNodeString;
  std::vector<std::int32_t> measuredNodes;  // internal node indices
  double tOn = 0.0;
  double tOff = 0.0;
  std::int32_t measurementMethod = 0;  // 1 mean, 2 minimum, 3 maximum

  // Where and how much power goes.
  Chars<kHeaterNodeStringLength> powerNodeString;
  std::vector<std::int32_t> powerNodes;  // internal node indices
  std::int32_t powerFactorStart = 0;     // in gar_arrayvaluesreal; 0: equal shares
  std::int32_t loadOption = 0;           // 0 .. 8
  double nominalLoad = 0.0;
  std::int32_t loadArray = 0;
  double cyclicPeriod = 0.0;
  double powerScale = 0.0;
  double fullPower = 0.0;

  // Operating modes.
  std::int32_t transientMode = 0;  // 1 on/off with hysteresis, 2 proportional
  std::int32_t steadyMode = 0;     // 1 fixed fraction, 2 relaxed, 3 set-point
  double steadyPowerFraction = 0.0;
  double steadyRelaxation = 0.0;
  double setPointTemperature = 0.0;

  // State and statistics.
  double measuredTemperature = 0.0;
  std::int32_t thermostatState = 0;
  std::int32_t heaterOn = 0;
  std::int32_t previousOn = 0;
  double appliedPower = 0.0;
  std::int32_t switchCount = 0;
  double elapsedTime = 0.0;
  double onTime = 0.0;
  double dutyCycle = 0.0;

  std::int32_t measuredNodeCount() const noexcept { return static_cast<std::int32_t>(measuredNodes.size()); }
  std::int32_t powerNodeCount() const noexcept { return static_cast<std::int32_t>(powerNodes.size()); }
};

// The heaters in order of first definition.
const std::vector<HeaterRecord>& heater_list() noexcept;

// The heater named `name` of submodel `model`, or nullptr.
const HeaterRecord* find_heater(std::string_view name, std::int32_t model) noexcept;

// Forgets every heater and starts the update's block tracking afresh, so that
// a test can define heaters in a clean state. A run never calls it.
void heaters_reset_for_tests();

}  // namespace kalvir

// Defines heater heaterName of the current submodel (MODEL), or redefines it:
// a redefinition overwrites every parameter and the thermostat state and
// keeps the statistics and the last applied power; node lists are resolved
// again only when their node-group strings change. Every failed check is a
// fatal message.
//   measuredNodeString, powerNodeString: node-group strings of thermal nodes
//   measurementMethod: 1 mean, 2 minimum, 3 maximum of the measured nodes
//   powerFactorArray: real 1-D ARRAY of per-node factors, 0 for equal shares
//   loadOption: 0 nominalLoad; with loadArray as the (2 x N) curve:
//     1/5 against TIMEM, 2/6 cyclic against TIMEM with cyclicPeriod,
//     3/7 against the node temperature; with loadArray a table of two
//     variables: 4/8 against TIMEM and the node temperature (1-4 linear,
//     5-8 stepwise)
//   transientMode: 1 on/off with hysteresis (initialState 0 off, 1 on),
//     2 proportional between tOn and tOff
//   steadyMode: 1 fixed fraction steadyPowerFraction, 2 proportional relaxed
//     by steadyRelaxation, 3 power nodes held at setPointTemperature
void htr_Define(std::string_view heaterName, std::string_view measuredNodeString, double tOn, double tOff,
                std::int32_t measurementMethod, std::string_view powerNodeString, std::int32_t powerFactorArray,
                std::int32_t loadOption, double nominalLoad, std::int32_t loadArray, double cyclicPeriod,
                double powerScale, std::int32_t transientMode, std::int32_t initialState, std::int32_t steadyMode,
                double steadyPowerFraction, double steadyRelaxation, double setPointTemperature);

// Clears switchCount, elapsedTime, onTime and dutyCycle of heater heaterName
// of submodel |model|; a blank name clears every heater of submodel -model
// alone (model < 0) or of model and its descendants (model > 0).
void htr_Reset(std::string_view heaterName, std::int32_t model);

// The state of heater heaterName of submodel |model|. An unknown heater is
// reported (severity 3) and leaves the outputs unchanged.
void htr_Status(std::string_view heaterName, std::int32_t model, double& measuredTemperature,
                std::int32_t& heaterOn, double& appliedPower, std::int32_t& switchCount, double& onTime,
                double& dutyCycle);

// The update for the running solution (SOLVER) and block (OPBLOK).
void htr_Update();

// What the variables 1 and 2 blocks call.
void HEATER_UPDATE();
