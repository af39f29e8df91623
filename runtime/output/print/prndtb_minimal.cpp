// Minimal version: see prndtb_minimal.h.
#include "runtime/output/print/prndtb_minimal.h"

void PRNDTB(std::string_view, std::string_view, std::int32_t) {}
