// What the heater definition and the heater update share inside the heater
// manager: the mutable heater list, the submodel count and the message
// context that names a heater.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/casedata/heaters.h"

namespace kalvir::heater {

std::vector<HeaterRecord>& records() noexcept;

// Number of submodels (row 2 of the main model's column of the model
// directory), held to what the directory and the name list can answer for.
std::int32_t submodel_count() noexcept;

// "Heater: <name>", and "<NL>Model: <submodel name>" for submodel 2 or
// above, cut to 170 characters.
std::string context(std::string_view name, std::int32_t model);

// SETERX with the text's trailing blanks removed.
void report(std::string_view text, std::int32_t severity, std::int32_t code, std::string_view routine);
// A severity-4 report, which ends the run.
[[noreturn]] void fatal(std::string_view text, std::int32_t code, std::string_view routine);

// Puts the update's block tracking back to the start of a run.
void reset_update_state() noexcept;

}  // namespace kalvir::heater
