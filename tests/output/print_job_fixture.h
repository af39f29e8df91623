// The job and page state that the print tests start from.
#pragma once

#include <cstdint>

#include "runtime/control/control_constants.h"
#include "runtime/control/shared_blocks.h"

namespace kalvir::test {

// A job of 5 March 2026, 14:07:09, of model ORVIK_TESTBED_01; pages of 60
// lines with the line count of the page at `used` (PRTINF word 2, 1 at
// start-up), WIDTH 80 and no user header.
inline void set_print_job(std::int32_t used) {
  JOBINF.date = "05 March     2026";
  JOBINF.time = "14:07:09";
  JOBINF.model = "ORVIK_TESTBED_01";
  PRTINF.w = {60, used, 6, 1, 0, 0};
  GLOI.WIDTH = 80;
  GLOC.HEADER = "";
}

}  // namespace kalvir::test
