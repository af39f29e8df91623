// Minimal version: see parwrt_minimal.h.
#include "runtime/parameters/parwrt_minimal.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"

void PARWRT(std::string_view /*BLOCK*/) {}

void PARFIL(std::int32_t /*PARMONLY*/, std::string_view MODELNAME, std::int32_t /*CSVMULT*/, std::int32_t CASENO,
            std::int32_t /*CSVENT*/, std::string_view /*CSVLIST*/, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t /*OUTMULT*/, std::int32_t /*PRINTUNIT*/, std::int32_t /*CSVUNIT*/, std::int32_t& IERR) {
  IERR = 0;
  char number[16];
  std::snprintf(number, sizeof number, "%04d", static_cast<int>(std::clamp(CASENO, 0, 9999)));
  std::string root(kalvir::trim_right(MODELNAME.substr(0, std::min<std::size_t>(8, MODELNAME.size()))));
  root += "_PAR";
  root += number;
  const std::string_view title = kalvir::trim_right(TITLE);
  if (!title.empty()) {
    std::string t(title);
    std::replace(t.begin(), t.end(), ' ', '-');
    root += "_" + t;
  }
  kalvir::assign_padded(ROOT, root);
}
