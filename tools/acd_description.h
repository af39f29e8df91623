// A small text description of an ACD file, for the kalvir_acd_write command.
//
// One statement per line, words separated by blanks, "#" starts a comment;
// every number is finite (no nan or inf). The statements before the first "submodel" describe the main model's
// group; "submodel NAME" opens a group inside the current one and "end"
// closes it.
//
//   case T                      analysisCaseType (0 to 4), once per group
//   times T1 T2 ...             the time axis (at least one time, ascending)
//   period P                    type 2: at least TN - T1
//   arc S F E A                 type 3 (at least one): an orbital arc (start, startFirst, endFirst, endAll)
//   wavebands L1 L2 ...         type 4: the band edges in metres
//   static NODE QA QE QR QS     one NodeList node with its four static fluxes
//   albedo NODE V1 V2 ...       a time-dependent flux of one node, one value per
//   planet / remainder / solar  time point (same form)
//   conductor PI NI PJ NJ V...  a radiative conductor from node NI of path PI to
//                               NJ of PJ ("-" for the group's own model): one
//                               value per time point, or for type 4 one value per
//                               band for each time point in turn
//   curve NAME V1 V2 ...        an array of arrayType 2 (x1 y1 x2 y2 ...)
//   table NAME D1 D2 X1.. Y1.. V11 V12 ... V21 ...
//                               a 2-D table: D1 and D2 breakpoints, then the
//                               values row by row
//   submodel NAME / end
#pragma once

#include <istream>
#include <stdexcept>
#include <string>

#include "tools/acd_writer.h"

namespace kalvir::acd {

// A description that cannot be read; what() names the line.
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

ModelGroup read_description(std::istream& in);

}  // namespace kalvir::acd
