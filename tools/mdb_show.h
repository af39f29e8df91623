// A readable account of the model that the MDB load left in the global
// arrays: the model directory, the nodes, the packed and record forms of the
// thermal connection lists, the node tie tail and the fluid lists, so that a
// person can see what was loaded.
#pragma once

#include <string>

namespace kalvir::mdbw {

std::string describe_loaded_model();

}  // namespace kalvir::mdbw
