// Paged print: the page start and the node table.
//
// Minimal version: PRPAGE writes the page start that every printed-output
// writer shares; PRNDTB prints no table yet. The print package replaces this
// file.
#pragma once

#include <cstdint>
#include <string_view>

// Starts a new page on the print unit PRTINF(3): page eject, banner, date line
// and the user header when HEADER is set. Sets PRTINF(2) and advances
// PRTINF(4). A WIDTH outside 80 to 132 is a fatal message.
void PRPAGE();

// Node table of the entities ZENTS for node group ZLABEL of submodel SUBREF;
// the minimal version prints nothing.
void PRNDTB(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF);
