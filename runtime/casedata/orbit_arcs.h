// Orbit-arc time mapping: a mission given as a sequence of orbital arcs whose
// first orbit is on the time axis and repeats through the rest of the arc.
#pragma once

#include <cstdint>
#include <span>

// TOUT := TIMEM mapped onto the time axis TIMES(1..N) through the arc table
// ARCS (per arc: start, startFirst, endFirst, endAll; NARCS arcs). A time
// before the first arc maps to T(1), one after the last arc to T(N), each with
// a warning. Returns only with T(1) <= TOUT <= T(N); otherwise (or with no
// arc or no time point) the run ends with the internal stop "TIMIN1 1".
void TIMIN1(std::span<const double> ARCS, std::int32_t NARCS, std::int32_t N, std::span<const double> TIMES,
            double TIMEM, double& TOUT);

// True when max(|A|, |B|) * TOL >= |A - B| (|B| alone when |A| is not a number).
bool SEQTOL(double A, double B, double TOL);
