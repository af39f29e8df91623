// The two-node model program of tiny_model.h, built with
// kalvir_add_model_program as a preprocessor's output would be.
#include <cstdio>

#include "runtime/control/model_program.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "tests/support/models/tiny_model.h"

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

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  GLOC.OPBLOK = "";
}

void OUTPUT() {}

void main_routine() {
  FLAGS.w = tiny::kFlags;
  SVMNAM(tiny::kModelName);
  SPRSIZ.w = tiny::kSprsiz;
  ModelBlocks b;
  b.execution = EXECTN;
  b.initial = IN0001;
  b.variables1 = V10001;
  b.variables2 = V20001;
  b.outputs = OUTPUT;
  register_model_blocks(b);
  MAINA(tiny::kModelName);
  SUCCES();
}

}  // namespace

int main() { return kalvir::platform::run_program(main_routine); }
