// Minimal array reader: closed, supplies nothing (see acd_arrays.h).
#include "runtime/casedata/acd_arrays.h"

void acda_open(std::string_view) {}

void acda_getnumberofarrayvalues(std::int32_t& NINDEX, std::int32_t& NVALUES) {
  NINDEX = 0;
  NVALUES = 0;
}

void acda_movenextsubmodel(std::string_view, std::int32_t) {}

void acda_getarraydata(std::int32_t& NARRAYS, std::int32_t& NVALUES, std::int32_t& NINDEX,
                       std::vector<double>& arrayreals, std::vector<std::int32_t>& arrayints) {
  NARRAYS = 0;
  NVALUES = 0;
  NINDEX = 0;
  arrayreals.clear();
  arrayints.clear();
}

void acda_updatearraypointers(std::int32_t, std::int32_t, std::int32_t, kalvir::Array1<std::int32_t>&,
                              kalvir::Array1<std::int32_t>&, const kalvir::CharArray<18>&, std::int32_t,
                              std::int32_t, std::int32_t) {}

void acda_close() {}
