// The model program of truth_model.h, built with kalvir_add_model_program as
// a preprocessor's output would be (its sizes read from TRUTH.flags).
#include <cstdio>
#include <string>

#include "runtime/modeldata/packed_store.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "runtime/program/model_program.h"
#include "tests/support/models/test_model_program.h"
#include "tests/support/models/truth_model.h"
#include "tools/mdb_description.h"

namespace {

// The main model's first integer user constant (MAXCYC).
std::int32_t max_cycles() { return gar_userconstvaluesint(gar_modeldirectory(9, 1) + 1); }

// The main model's first character user constant (HEATER), as the packed
// store holds it; blank when it holds none.
std::string heater_nodes() {
  const std::int64_t start =
      std::int64_t{133} * gar_modeldirectory(15, 1) + gar_userconstpointerschar(gar_modeldirectory(10, 1) + 1);
  const auto rows = static_cast<std::int32_t>(gar_userconstvalueschar.size());
  kalvir::Chars<256> value;
  std::int32_t length = 0, ierr = 0;
  DBFZPK(gar_userconstvalueschar, rows, 133 * rows, static_cast<std::int32_t>(start), length, value.span(), ierr);
  return ierr == 0 ? std::string(value.data(), static_cast<std::size_t>(length)) : std::string();
}

void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  if (const std::string nodes = heater_nodes(); !kalvir::is_blank(nodes))
    htr_Define("BOARD HEATER", nodes, truth::kHeaterOn, truth::kHeaterOff, 1, nodes, 0, 0, truth::kHeaterLoad, 0, 0.0,
               1.0, 1, 0, 1, 1.0, 1.0, 15.0);
  GLOC.OPBLOK = "";
}

void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  ACDDYU();
  HEATER_UPDATE();
  GLOI.MODEL = 1;
  GLOC.OPBLOK = "";
}

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  HEATER_UPDATE();
  GLOI.MODEL = 1;
  GLOC.OPBLOK = "";
  PARWRT("VARIABLES2");
}

void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");
  GLOC.OPBLOK = "";
  PARWRT("OUTPUTS");
}

void EXECTN() {
  if (const std::int32_t cycles = max_cycles(); cycles > 0)
    SOLCYC("SLCRNC", truth::kCycleTolerance, 1.0e10, GLOR.TIMEND - GLOR.TIMEO, cycles, " ", "NONE");
  SLCRNC();
  char line[64];
  std::snprintf(line, sizeof line, " T1 = %.6f", gar_thermalnodetemps(gar_modeldirectory(3, 1) + 1));
  kalvir::platform::write_line(PRTINF(3), line);
}

}  // namespace

int main() {
  kalvir::mdbw::SizesFile sizes;
  try {
    sizes = kalvir::mdbw::read_sizes_file(std::string(truth::kSizesFile));
  } catch (const kalvir::mdbw::DescriptionError& e) {
    std::fprintf(stderr, "%s: %s\n", std::string(truth::kSizesFile).c_str(), e.what());
    return 1;
  }
  return kalvir::test::run_test_model({sizes.sizes.flags, sizes.sizes.sprsiz, truth::kModelName,
                                       {EXECTN, IN0001, V10001, V20001, OUTPUT}});
}
