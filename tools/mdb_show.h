// A readable account of the model that the MDB load left in the global
// arrays: the model directory, the nodes, the packed and record forms of the
// thermal connection lists, the node tie tail, the fluid lists, the user
// constants with the elements a block reads them by and the numeric control
// constants (reals to full precision), so that a person can see what was
// loaded.
#pragma once

#include <string>

namespace kalvir::mdbw {

std::string describe_loaded_model();

}  // namespace kalvir::mdbw
