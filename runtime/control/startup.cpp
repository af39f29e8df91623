#include "runtime/control/startup.h"

#include <hdf5.h>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"

void SVMNAM(std::string_view MODELNAME) { gfl_setmodelname(MODELNAME); }

// The least start-up: the model load, run files and parameter cases are set up
// by the subsystems that own them as they are built.
void MAINA(std::string_view /*MODELNAME*/) {
  H5open();
  gar_Allocate(gar_sizes_from_flags());
}
