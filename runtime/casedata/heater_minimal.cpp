// Minimal version: see heater_minimal.h.
#include "runtime/casedata/heater_minimal.h"

void HEATER_UPDATE() {}
