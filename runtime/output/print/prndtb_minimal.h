// Paged print: the page start and the node table.
//
// Minimal version of the node table: PRNDTB prints nothing yet. The page
// start is in page_layout.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/output/print/page_layout.h"

// Node table of the entities ZENTS for node group ZLABEL of submodel SUBREF;
// the minimal version prints nothing.
void PRNDTB(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF);
