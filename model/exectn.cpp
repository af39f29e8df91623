// The execution block of ORVIK_TESTBED_01: a cyclic analysis over the orbit,
// then a final transient, both with Crank-Nicolson. The tests build variants
// of the sample model program that name another thermal solution routine as
// ORVIK_METHOD (orvik_variant() in CMakeLists.txt).
#include "model/orvik_testbed_01.h"

#ifndef ORVIK_METHOD
#define ORVIK_METHOD SLCRNC
#endif
#define ORVIK_NAME2(x) #x
#define ORVIK_NAME(x) ORVIK_NAME2(x)

void EXECTN() {
  GLOR.TIMEND = 5453.0576171875;
  GLOR.OUTINT = 545.3057861328125;
  GLOI.NLOOP = 200;
  GLOR.RELXCA = 0.010999999940395355;
  GLOR.DTIMEI = 8.0;
  SOLCYC(ORVIK_NAME(ORVIK_METHOD), 0.011, 0.01, 5453.0577, 200, " ", "NONE");
  ORVIK_METHOD();
}
