#include "bench/plate/plate_program.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/plate/plate_family.h"
#include "runtime/platform/fixed_string.h"
#include "tools/mdb_description.h"

namespace kalvir::bench::plate {
namespace {

bool tmd_wanted = true;

void EXECTN() {
  GLOR.TIMEND = kPeriod;
  GLOR.OUTINT = kPeriod / 10.0;
  SLCRNC();
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
  ACDDYU();
  GLOC.OPBLOK = "";
}

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  GLOC.OPBLOK = "";
}

void OUTPUT() {
  if (GLOC.OUTIME != "ALL") return;
  GLOC.OPBLOK = "OUTPUTS";
  if (tmd_wanted) DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");
  GLOC.OPBLOK = "";
}

void GM0001(std::int32_t&) {}

}  // namespace

ModelBlocks blocks(bool with_tmd) {
  tmd_wanted = with_tmd;
  ModelBlocks b;
  b.execution = EXECTN;
  b.initial = IN0001;
  b.variables1 = V10001;
  b.variables2 = V20001;
  b.outputs = OUTPUT;
  b.conductors = GM0001;
  return b;
}

void store_sizes() {
  mdbw::SizesFile sizes;
  try {
    sizes = mdbw::read_sizes_file(std::string("PLATE.flags"));
  } catch (const mdbw::DescriptionError& e) {
    std::fprintf(stderr, "PLATE.flags: %s (write it with kalvir_mdb_write PLATE.mdbtxt .)\n", e.what());
    std::exit(1);
  }
  FLAGS.w = sizes.sizes.flags;
  SPRSIZ.w = sizes.sizes.sprsiz;
  SVMNAM(padded(kModelName, 24));
}

}  // namespace kalvir::bench::plate
