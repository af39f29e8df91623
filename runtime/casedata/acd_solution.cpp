// Minimal version: see acd_solution.h.
#include "runtime/casedata/acd_solution.h"

#include <hdf5.h>

#include <string>

#include "runtime/control/messages.h"
#include "runtime/platform/fixed_string.h"

namespace {
hid_t file_id = -1;
}

void acds_open(std::string_view MODELNAME) {
  const std::string name = std::string(kalvir::trim_right(MODELNAME)) + ".acd";
  hid_t id = -1;
  // The failure is reported below in the run's own words, not by the library.
  H5E_BEGIN_TRY { id = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT); }
  H5E_END_TRY;
  if (id < 0) {
    SETERX("Cannot open ACD file@Initialising ACD Solution Manager@ACD file name: " + name + "@", 4, 2,
           "(acds)OpenFile");
    return;
  }
  file_id = id;
}

void acds_staticload() {}

void ACDDYU() {}

void acds_close() {
  if (file_id < 0) return;
  static_cast<void>(H5Fclose(file_id));
  file_id = -1;
}
