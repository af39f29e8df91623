// The model program of attribute_model.h, built with kalvir_add_model_program
// as a preprocessor's output would be.
#include <cstdio>
#include <string>

#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "runtime/program/model_program.h"
#include "tests/support/models/attribute_model.h"
#include "tests/support/models/test_model_program.h"

namespace {

void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  PARWRT("OUTPUTS");
  GLOC.OPBLOK = "";
}

void EXECTN() {
  const std::string owner(kalvir::trim_right(gar_thermalnodeuserentityvalschar(1)));
  char line[200];
  std::snprintf(line, sizeof line, " FOUND MASS1=%g HEIGHT1=%g MASS10=%g ZONE1=%d OWNER1=<%s> TYPE1=%d PSRC1=%g DPSRC1=%g",
                gar_thermalnodeuserentityvalsreal(1), gar_thermalnodeuserentityvalsreal(FLAGS(flagw::NNODE) + 1),
                gar_fluidnodeuserentityvalsreal(1), gar_thermalnodeuserentityvalsint(1), owner.c_str(),
                gar_massflowlinktypes(1), gar_massflowlinkpressuresources(1), gar_massflowlinkpsourcederivs(1));
  kalvir::platform::write_line(PRTINF(3), line);
  GLOR.TIMEN = 0.0;
  GLOC.OUTIME = "ALL";
  OUTPUT();
  GLOC.OUTIME = "";
  if (gar_userconstvaluesint(1) != 0) {
    gar_massflowlinktypes(1) = attrs::kPumpLinkType;
    gar_massflowlinkpressuresources(1) = attrs::kPumpPressure;
    gar_massflowlinkpsourcederivs(1) = attrs::kPumpDerivative;
  }
}

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  PRMUPD();
  GLOC.OPBLOK = "";
  PARWRT("VARIABLES2");
}

}  // namespace

int main() {
  using namespace kalvir::test;
  return run_test_model({attrs::kFlags, attrs::kSprsiz, attrs::kModelName,
                         {EXECTN, plain_initial, plain_variables1, V20001, OUTPUT},
                         attrs::kRealAttributes, attrs::kIntegerAttributes, attrs::kCharacterAttributes});
}
