// The start-up check of the fluid-loop geometry, shared by every fluid-loop
// solution routine (FLTMTS, FLTNTF, FLTNTS, FGENFI).
//
// The loops divide by flow areas, lengths, hydraulic diameters and volumes
// and add the fitting losses of the links to their pressure drops: a value
// that is zero or negative there does not fail by itself, it gives masses
// that do not balance, steps that crawl or temperatures that run the wrong
// way; one that is infinite or not a number passes every comparison and
// ends the run much later under a message about something else. So the
// first fluid node or link whose value is outside its range ends the run
// before the first step, with a message naming the node or link and the
// value.
#pragma once

#include <string_view>

// Fatal (severity 4, routine "FGEOCK") when a fluid node has a flow area,
// length, hydraulic diameter or volume that is not a finite number greater
// than zero (codes 1 to 4), a mass-flow link a fitting factor that is not a
// finite number of at least zero (code 5), or a node a compliance or volume
// change rate that is not a finite number (codes 6 and 7). ROUTINE, the
// solution routine, opens the text.
void FGEOCK(std::string_view ROUTINE);
