// The parameter-case loop: runs the base case and then, when a parameter-case
// file exists, one case after another, each a set of changes to the model
// followed by the execution block again.
#pragma once

#include <cstdint>
#include <string_view>

// IPARAM 1 when the parameter-case file is open on PARUNIT, else 0. STATUS 0
// when every requested case ran, otherwise:
//   1 the option record cannot be read, 3 no case header follows it,
//   4 more than 9999 cases, 5 an unknown case type (a statement before the
//   first case header among them), the codes of PAROPT and PARFIL, 2 a CSV
//   header that could not be written, the I/O status sum of RSTCOM, or the
//   number of erroneous statements of the case that stopped the loop. A case title that is not a quoted string is
//   reported and the case runs untitled. In check mode the loop reads every
//   case and STATUS is the number of erroneous statements of all cases.
// DUMPUNIT holds the state dump, CSVUNIT is handed to the per-case files.
void PARAMX(std::int32_t IPARAM, std::string_view MODELNAME, std::int32_t& STATUS, std::int32_t DUMPUNIT,
            std::int32_t PARUNIT, std::int32_t CSVUNIT);
