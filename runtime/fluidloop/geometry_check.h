// The start-up check of the fluid-loop geometry, shared by every fluid-loop
// solution routine (FLTMTS, FLTNTF, FLTNTS, FGENFI).
//
// The loops divide by flow areas, lengths, hydraulic diameters and volumes
// and add the fitting losses of the links to their pressure drops: a value
// that is zero or negative there does not fail by itself, it gives masses
// that do not balance, steps that crawl or temperatures that run the wrong
// way. So the first fluid node or link whose value is outside its range ends
// the run before the first step, with a message naming the node or link and
// the value.
#pragma once

#include <string_view>

// Fatal (severity 4, routine "FGEOCK") when a fluid node has a flow area,
// length, hydraulic diameter or volume that is not greater than zero, or a
// mass-flow link a negative fitting factor. ROUTINE, the solution routine,
// opens the text.
void FGEOCK(std::string_view ROUTINE);
