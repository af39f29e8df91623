// Minimal version: see fgeind_minimal.h.
#include "runtime/fluidloop/fgeind_minimal.h"

void FGEIND(double&, double&, std::span<char>, std::span<char>, double&, std::int32_t, double, double&, double&,
            double&, double&, double&, std::span<char>, double&, double&, double&, double&, double&, double&) {}
