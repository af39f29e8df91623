// The two-phase loop model program of two_phase_model.h, built with
// kalvir_add_model_program as a preprocessor's output would be.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "runtime/fluidloop/phase_separation.h"
#include "runtime/platform/units.h"
#include "tests/support/models/two_phase_model.h"
#include "tests/support/models/test_model_program.h"

namespace {

// The start-up run holds the mean load; the cyclic analysis and the final
// transient swing it.
bool periodic_load = false;

void report(const char* what) {
  char line[160];
  std::snprintf(line, sizeof line, " %s TIME = %.6f EVAPORATOR = %.9f CONDENSER = %.9f FLOW = %.9f QUALITY = %.9f",
                what, GLOR.TIMEO, gar_fluidnodetemps(1), gar_fluidnodetemps(3), gar_massflowlinkflowrates(1),
                gar_fluidnodevapourqualities(2));
  kalvir::platform::write_line(PRTINF(3), line);
}

void EXECTN() {
  GLOR.DTIMEI = 2.0;
  GLOR.DTMIN = 1.0e-6;
  GLOR.DTMAX = 2.0;
  GLOR.DTPMAX = 1.0e10;
  GLOR.DTROCA = 1.0e10;
  GLOR.ARITH = 0.0;
  GLOI.NLOOP = 60;
  GLOR.RELXCA = 1.0e-4;
  GLOR.FRLXCA = 1.0e-4;
  GLOR.RELXMA = 1.0e-4;
  GLOR.DAMPT = 1.0;
  GLOR.MINFLO = 1.0e-9;
  GLOR.MINDP = 1.0e-3;
  GLOR.GRAVZ = 0.0;
  GLOR.RLCOUR = 1.0;
  GLOI.NLOOPH = 0;
  GLOI.NLOOPT = 0;
  GLOI.METHOD = 0;
  // From the start to a steady state under the mean load.
  GLOR.TIMEO = 0.0;
  GLOR.TIMEND = 2.0 * two_phase_model::kPeriod;
  GLOR.OUTINT = two_phase_model::kPeriod;
  FGENFI();
  report("STEADY");
  // Then the periodic load from the steady state.
  periodic_load = true;
  GLOR.TIMEND = GLOR.TIMEO + two_phase_model::kPeriod;
  GLOR.OUTINT = two_phase_model::kPeriod / 4.0;
  SOLCYC("FGENFI", 0.01, 1.0e-3, two_phase_model::kPeriod, 60, " ", "NONE");
  report("CYCLIC");
  FGENFI();
  report("PERIOD");
}

void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  FINITS(" ", -1);
  // Link types and the pump's pressure source are not model-database data.
  for (std::int32_t l = 1; l <= FLAGS(flagw::NM); ++l)
    gar_massflowlinktypes(l) = kalvir::fluidloop::kMomentumLink;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) gar_fluidnodecompliances(n) = 0.0;
  gar_massflowlinkpressuresources(4) = two_phase_model::kPumpHead;
  GLOC.OPBLOK = "";
}

void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  const double phase = 2.0 * std::numbers::pi * GLOR.TIMEM / two_phase_model::kPeriod;
  gar_fluidnodeheatsources(1) =
      two_phase_model::kMeanLoad + (periodic_load ? two_phase_model::kAmplitude * std::sin(phase) : 0.0);
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
  return kalvir::test::run_test_model({two_phase_model::kFlags, two_phase_model::kSprsiz, two_phase_model::kModelName,
                                       {EXECTN, IN0001, V10001, kalvir::test::counting_variables2, OUTPUT}});
}
