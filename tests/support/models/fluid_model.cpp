// The fluid-loop model program of fluid_model.h, built with
// kalvir_add_model_program as a preprocessor's output would be.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "runtime/platform/units.h"
#include "tests/support/models/fluid_model.h"
#include "tests/support/models/test_model_program.h"

namespace {

void EXECTN() {
  GLOR.TIMEND = fluid_model::kPeriod;
  GLOR.OUTINT = fluid_model::kPeriod / 6.0;
  GLOR.DTIMEI = 5.0;
  GLOR.DTMIN = 1.0e-3;
  GLOR.DTMAX = 10.0;
  GLOR.DTPMAX = 1.0e10;
  GLOI.NLOOP = 100;
  GLOR.RELXCA = 1.0e-6;
  GLOR.FRLXCA = 1.0e-6;
  GLOR.RELXMA = 1.0e-8;
  GLOR.DAMPT = 1.0;
  GLOR.DAMPM = 0.5;
  GLOR.MINFLO = 1.0e-12;
  GLOR.MINDP = 1.0e-6;
  GLOR.RLCOUR = 1.0;
  GLOI.NLOOPH = 0;
  GLOI.NLOOPT = 0;
  GLOI.METHOD = 0;
  SOLCYC("FLTNTS", 0.001, 1.0e10, fluid_model::kPeriod, 100, " ", "NONE");
  FLTNTS();
  char line[96];
  std::snprintf(line, sizeof line, " WALL = %.9f CHANNEL = %.9f FLOW = %.9f", gar_thermalnodetemps(1),
                gar_fluidnodetemps(2), gar_massflowlinkflowrates(1));
  kalvir::platform::write_line(PRTINF(3), line);
}

void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  FINITS(" ", -1);
  GLOC.OPBLOK = "";
}

void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  const double phase = 2.0 * std::numbers::pi * GLOR.TIMEM / fluid_model::kPeriod;
  gar_thermalnodeheatsourcesinternal(1) = fluid_model::kMeanLoad + fluid_model::kAmplitude * std::sin(phase);
  GLOC.OPBLOK = "";
}

void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  PRNDTB(" ", "L, T", 1);
  DMPTMD(" ", "NODES, CONSTANTS", 1, " ");
  GLOC.OPBLOK = "";
}

}  // namespace

int main() {
  return kalvir::test::run_test_model({fluid_model::kFlags, fluid_model::kSprsiz, fluid_model::kModelName,
                                       {EXECTN, IN0001, V10001, kalvir::test::counting_variables2, OUTPUT}});
}
