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

void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  GLOC.OPBLOK = "";
}

void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  GLOC.OPBLOK = "";
}

void OUTPUT() {}

}  // namespace

int main() {
  return kalvir::test::run_test_model({tiny::kFlags, tiny::kSprsiz, tiny::kModelName,
                                       {EXECTN, IN0001, V10001, kalvir::test::counting_variables2, OUTPUT}});
}
