// The model program of heater_model.h, built with kalvir_add_model_program as
// a preprocessor's output would be, its blocks as docs/model_program.md shows
// them.
#include <algorithm>
#include <cstdio>

#include "runtime/platform/units.h"
#include "runtime/program/model_program.h"
#include "tests/support/models/heater_model.h"
#include "tests/support/models/test_model_program.h"

namespace {

// The execution block runs again for every parameter case, after the case's
// statements: a heater defined here takes the power the case gave HTRPWR (a
// second htr_Define of a heater overwrites its parameters).
void EXECTN() {
  htr_Define("HEATER", "#1", 1000.0, 2000.0, 1, "#1", 0, 0, kalvir::user_real_constant("HTRPWR"), 0, 0.0, 1.0, 1, 1,
             1, 1.0, 1.0, 0.0);
  SLCRNC();
}

void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  ACDDYU();
  HEATER_UPDATE();
  GLOC.OPBLOK = "";
}

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  SSNCNT(FLAGS(24), FLAGS(25), std::max(FLAGS(1), 1), gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  HEATER_UPDATE();
  char line[64];
  std::snprintf(line, sizeof line, " STEP %.6f %.6f", GLOR.TIMEN, GLOR.DTIMEU);
  kalvir::platform::write_line(PRTINF(3), line);
  GLOC.OPBLOK = "";
  PARWRT("VARIABLES2");
}

void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  GLOC.OPBLOK = "";
  PARWRT("OUTPUTS");
}

}  // namespace

int main() {
  return kalvir::test::run_test_model({heatbox::kFlags, heatbox::kSprsiz, heatbox::kModelName,
                                       {EXECTN, kalvir::test::plain_initial, V10001, V20001, OUTPUT}});
}
