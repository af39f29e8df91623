#include "runtime/fluidloop/fluid_frame.h"

#include "runtime/control/control_constants.h"
#include "runtime/platform/fixed_string.h"

using namespace kalvir;

void STSOLT(std::string_view TEXT) { assign_padded(GLOC.SOLTYP.span(), TEXT); }
