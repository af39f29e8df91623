// The statements of one parameter case: GET sets the submodel that the
// references resolve against, CHANGE and SCALE change node entities,
// conductors, ARRAY elements or constants, ON and OFF switch conductors.
#pragma once

#include <cstdint>
#include <span>

// Reads and applies the statements of one case from PARUNIT, echoing them on
// PRINTUNIT, up to the next case header (left without blanks in LINE, its
// length in LENGTH) or the end of the file or a read error (ENDFLAG non-zero,
// the read status). NERR counts the statements that failed, each once; a
// case runs only when it is 0.
void PARAMC(std::int32_t PARUNIT, std::int32_t PRINTUNIT, std::int32_t& NERR, std::int32_t& ENDFLAG,
            std::span<char> LINE, std::int32_t& LENGTH);
