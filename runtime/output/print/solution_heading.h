// The solution heading PRHEAD that heads every node table and the warning
// page: the solution time, the running solution routine and the convergence
// figures of the running solver kind (control constant SOLVER), with LFMTR
// choosing the number form of each real value.
#pragma once

#include <cstdint>
#include <string>

// The number form of X in a field of IW columns: "(Fw.d)" with ID digits after
// the point when X is 0 or its magnitude lies in the fixed-point range, "(Fw.0)"
// when X holds the undefined marker, otherwise "(1PEw.d)" with IS significant
// digits. The result is a format text of 14 characters, blank-padded.
std::string LFMTR(std::int32_t IW, std::int32_t ID, std::int32_t IS, double X);

// Prints the solution heading for the current control constants, starting a
// new page first when fewer than 10 lines are left, and counts its lines.
void PRHEAD();

namespace kalvir::print {
// X in the form that LFMTR(IW, ID, IS, X) chooses; IW asterisks when it does
// not fit.
std::string heading_value(std::int32_t IW, std::int32_t ID, std::int32_t IS, double X);
}  // namespace kalvir::print
