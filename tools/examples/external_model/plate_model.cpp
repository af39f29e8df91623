// The model program of the plate in plate.mdbtxt: the worked example of
// docs/model_program.md. One file holds what a preprocessor would write for
// the model: its sizes, its blocks and the main routine.
#include <algorithm>
#include <array>
#include <cstdint>

#include "runtime/platform/process.h"
#include "runtime/program/model_program.h"

namespace {

constexpr std::string_view kModelName = "PLATE";

// The words kalvir_mdb_write printed for PLATE.MDB (also in PLATE.flags).
// They must agree with the file: the load compares them and stops otherwise.
constexpr std::array<std::int32_t, 41> kFlags{
    11, 10, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 49, 25, 16, 0, 92, 0, 0, 0, 0,
    0, 0, 128, 2, 1, 133, 20000, 1, 0, 0, 0, 0, 0, 20, 1, 0, 0, 0, 0, 0};
constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};

// The execution block: the solution calls of the run.
void EXECTN() { SLCRNC(); }

// The initial block: runs once after the load, before the execution block.
void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  GLOC.OPBLOK = "";
}

// The variables 1 block: before each step (and each iteration), the place
// for everything that depends on time or temperature.
void V10001() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();         // progress monitor
  CHKTRM();         // the kill file PLATE.kill ends the run
  ACDDYU();         // time-dependent fluxes and conductors of PLATE.acd
  HEATER_UPDATE();  // heaters defined with htr_Define
  GLOC.OPBLOK = "";
}

// The variables 2 block: after each accepted step.
void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  SSNCNT(FLAGS(24), FLAGS(25), std::max(FLAGS(1), 1), gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  HEATER_UPDATE();
  GLOC.OPBLOK = "";
  PARWRT("VARIABLES2");  // parameter-case results written per step
}

// The outputs block: at the start and every OUTINT.
void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  PRNDTB(" ", "L, T, QS, C", 1);                     // node table in the print
  DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");  // PLATE.TMD
  GLOC.OPBLOK = "";
  PARWRT("OUTPUTS");
}

void main_routine() {
  FLAGS.w = kFlags;
  SVMNAM(kModelName);
  SPRSIZ.w = kSprsiz;
  ModelBlocks b;
  b.execution = EXECTN;
  b.initial = IN0001;
  b.variables1 = V10001;
  b.variables2 = V20001;
  b.outputs = OUTPUT;
  register_model_blocks(b);
  MAINA(kModelName);
  SUCCES();
}

}  // namespace

int main() { return kalvir::platform::run_program(main_routine); }
