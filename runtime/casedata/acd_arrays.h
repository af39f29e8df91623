// Array data of the analysis-case data (ACD) file: the user-array values that
// the ACD file adds to the model's own, counted at start-up and merged into
// the ARRAY stores while the MDB file is loaded.
//
// A file that cannot be opened is reported and leaves the reader closed
// (every count 0, the model keeps the ARRAY values of its MDB file). An
// Arrays group whose counts do not agree with its records and data ends the
// run with a fatal message naming the group and the file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/platform/arrays.h"

// Opens "<model name without trailing blanks>.acd" for the array reader and
// makes the root of its submodel cursor.
void acda_open(std::string_view MODELNAME);

// NINDEX := integer (index) values, NVALUES := real values of the whole file;
// both 0 while the file is closed.
void acda_getnumberofarrayvalues(std::int32_t& NINDEX, std::int32_t& NVALUES);

// Moves the submodel cursor depth-first to submodel NAME at nesting LEVEL.
void acda_movenextsubmodel(std::string_view NAME, std::int32_t LEVEL);

// For the submodel under the cursor: the number of arrays the file supplies,
// the number of real values and of integer (index) values, and the two value
// lists (empty when NARRAYS is 0).
void acda_getarraydata(std::int32_t& NARRAYS, std::int32_t& NVALUES, std::int32_t& NINDEX,
                       std::vector<double>& arrayreals, std::vector<std::int32_t>& arrayints);

// Sets the info-list entries of the submodel's arrays (name indices FIRST + 1
// .. LAST) that the file supplies, so that they describe the values appended
// behind the submodel's INDEXBASE integer and VALUEBASE real values. INFOBASE
// is the number of info-list words in use before the submodel. A record of
// arrayType 2 fits a model array of form 2 only, arrayType 4 (a table) form 4
// only; any other pairing is reported and skipped.
void acda_updatearraypointers(std::int32_t NARRAYS, std::int32_t INDEXBASE, std::int32_t VALUEBASE,
                              kalvir::Array1<std::int32_t>& INFOPOINTERS,
                              kalvir::Array1<std::int32_t>& INFOLIST, const kalvir::CharArray<18>& NAMES,
                              std::int32_t INFOBASE, std::int32_t FIRST, std::int32_t LAST);

// Releases the submodel cursor and closes the file when it is open.
void acda_close();
