// The start-up driver: turns the sizes and name that the model program
// recorded into a running analysis and hands over to the parameter-case loop.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/control/file_names.h"

namespace kalvir {
// What failed during set-up; each has its own failure text.
enum class SetupFailure : std::int32_t {
  None = 0,
  Database = 1,        // the MDB file cannot be found or loaded
  ParameterFile = 2,   // the parameter-case file cannot be found or opened
  ScratchOpen = 3,     // the DMP scratch file cannot be opened
  ScratchUse = 4,      // the state dump cannot be opened or written
  ParameterRead = 5,   // the parameter-case loop failed
  Commons = 6,         // the shared blocks cannot be restored or changed
  Other = 7,           // any other set-up step (the trace file)
};

// The lines written on the print unit for a failure (empty lines included).
std::string_view setup_failure_text(std::int32_t status);
}  // namespace kalvir

// Hands the model name to the global flags (kept cut or padded to 24 characters).
void SVMNAM(std::string_view MODELNAME);

// Sizes and allocates the global arrays, sets the run up and runs the cases.
// After a set-up failure it writes the failure text and ends the run with
// exit status 1; otherwise it returns after the last case.
void MAINA(std::string_view MODELNAME);

// The set-up steps. IPARAM 1 when the parameter-case file was found and
// opened, else 0; STATUS a kalvir::SetupFailure code.
void LSETUP(std::int32_t& IPARAM, std::string_view MODELNAME, std::int32_t& STATUS);

// JOBINF := model name, run date and time of day.
void SLDINA(std::string_view MODELNAME);

// PRTINF := 60, 1, 6, 1, 0, 0.
void SLDINB();

// Initialises the fluid nodes of node group ZLABEL in submodel SUBREF with
// its descendants (SUBREF > 0) or in submodel -SUBREF alone (SUBREF < 0).
void FINITS(std::string_view ZLABEL, std::int32_t SUBREF);
