// The model blocks of ORVIK_TESTBED_01.
#include <array>
#include <cstdint>

#include "model/orvik_testbed_01.h"

namespace {

// Entities of submodel 1 by their position n within it, through the model
// directory (read afresh at every access).
double& T(std::int32_t n) { return gar_thermalnodetemps(gar_modeldirectory(3, 1) + n); }
double& QI(std::int32_t n) { return gar_thermalnodeheatsourcesinternal(gar_modeldirectory(3, 1) + n); }

// The model's heat loads: QI(n) for n = first .. last, in the order stored.
struct HeatLoad {
  std::int32_t first;
  std::int32_t last;
  double value;
};

constexpr std::array<HeatLoad, 38> kHeatLoads{{
    {200, 200, 4.716981},   {201, 201, 3.537736},   {202, 202, 4.245283},   {203, 203, 3.537736},
    {204, 204, 4.245283},   {205, 206, 4.716981},   {207, 207, 3.537736},   {208, 208, 4.245283},
    {209, 209, 3.537736},   {210, 210, 4.245283},   {211, 211, 4.716981},   {244, 245, 0.5346821},
    {246, 246, 0.1806358},  {247, 247, 0.5346821},  {248, 248, 0.1806358},  {249, 251, 0.5346821},
    {252, 252, 0.1806358},  {253, 253, 0.5346821},  {254, 254, 0.1806358},  {255, 255, 0.5346821},
    {212, 215, 4.076087},   {216, 223, 2.173913},   {224, 231, 4.076087},   {232, 239, 2.173913},
    {240, 243, 4.076087},   {364, 365, 6.446068},   {366, 367, 3.948217},   {368, 368, 4.211431},
    {369, 370, 3.948217},   {371, 371, 4.211431},   {372, 375, 6.446068},   {376, 377, 3.948217},
    {378, 378, 4.211431},   {379, 380, 3.948217},   {381, 381, 4.211431},   {382, 383, 6.446068},
    {384, 389, 90.48333},   {392, 397, 90.48333},
}};
void store_heat_loads() {
  for (const HeatLoad& h : kHeatLoads)
    for (std::int32_t n = h.first; n <= h.last; ++n) QI(n) = h.value;
}

}  // namespace

void IN0001() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  std::int32_t flag = 1;
  GM0001(flag);
  FINITS(" ", -1);
  for (int i = 0; i < 4; ++i) {
    STATST("N4", "B");
    T(1) = 10.0;
  }
  store_heat_loads();
  GLOC.OPBLOK = "";
}

void V10001() {
  std::int32_t flag = (GLOC.SOLTYP.view() == "THERMAL" || GLOC.SOLTYP == "HUMID") ? 1 : 0;
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  ACDDYU();
  HEATER_UPDATE();
  GLOI.MODEL = 1;
  store_heat_loads();
  GM0001(flag);
  GLOC.OPBLOK = "";
}

void V20001() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  SSNCNT(FLAGS(24), FLAGS(25), std::max(FLAGS(1), 1), gar_pcsthermalold.span(), gar_thermalnodetemps.span());
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
  PRNDTB(" ", "L, T, QI, C", 1);
  DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");
  GLOC.OPBLOK = "";
  PARWRT("OUTPUTS");
}

ModelBlocks orvik::blocks() {
  ModelBlocks b;
  b.execution = EXECTN;
  b.initial = IN0001;
  b.variables1 = V10001;
  b.variables2 = V20001;
  b.outputs = OUTPUT;
  b.conductors = GM0001;
  return b;
}
