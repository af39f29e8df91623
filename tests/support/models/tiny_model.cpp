// The two-node model program of tiny_model.h, built with
// kalvir_add_model_program as a preprocessor's output would be.
#include <cstdio>

#include "runtime/platform/units.h"
#include "tests/support/models/tiny_model.h"
#include "tests/support/models/test_model_program.h"

namespace {

void EXECTN() {
  GLOR.TIMEND = tiny::kEnd;
  SLCRNC();
  char line[64];
  std::snprintf(line, sizeof line, " T1 = %.12f", gar_thermalnodetemps(gar_modeldirectory(3, 1) + 1));
  kalvir::platform::write_line(PRTINF(3), line);
}

void OUTPUT() {}

}  // namespace

int main() {
  return kalvir::test::run_test_model({tiny::kFlags, tiny::kSprsiz, tiny::kModelName,
                                       {EXECTN, kalvir::test::plain_initial, kalvir::test::plain_variables1,
                                        kalvir::test::counting_variables2, OUTPUT}});
}
