// Text forms of an MDB fixture: the model description that the
// kalvir_mdb_write command reads, and the sizes file that it writes beside the
// MDB file for kalvir_mdb_show (a model program carries those words itself).
//
// The description has one statement per line, words separated by blanks; "#"
// starts a comment; a word may be quoted ("SOLAR PANEL") to hold blanks or a
// "#". Optional values are written NAME=VALUE anywhere on the line. A number
// written "U" is the undefined marker (2147483647 for an integer, a double
// whose first word holds it for a real). The first
// statement is "model", which also opens the main model; every "submodel"
// opens the next submodel in the pre-order of the model tree, and the other
// statements belong to the submodel opened last.
//
//   model NAME [acd=NAME] [dystor=N]
//   submodel NAME [level=L] [acd=NAME]     level 1 by default
//   node N [T= C= QA= QE= QI= QS= QR= A= ALP= EPS= QAI= QEI= QSI= FX= FY= FZ=]
//        [status=D] [label=TEXT]           a thermal node
//   fluidnode N [fluid=WATER] [status=F] [label=TEXT] [FRG=TEXT] [FST=P&T]
//        (fluid: a built-in fluid name, AMMONIA, WATER, AIR, ...; status:
//        a fluid-node letter F, H, I, J, K, O, Q, R, S, U or V; FST: the two
//        quantities that give the state, P&T, P&FE, P&VQ or T&VQ, either
//        order, blanks ignored)
//        [A= FD= FL= P= FE= T= FF= FQ= FM= FH= FR= FX= FY= FZ=
//         VQ= FLA= VOL= PHI= FW= CMP= VDT=]
//   GL END1 END2 VALUE [act=A]             also GR, GF and GV
//   triangle V1 V2 ...                     radiative values of the view-factor
//                                          triangle (pairs of the thermal nodes
//                                          in order: (1,2) (1,3) ... (2,3) ...)
//   link END1 END2 FLOW [GP=0] [status=A]  a mass-flow link
//   tie SOURCE TARGET ...                  a node tie group of the model (a
//                                          thermal node is in one group, once)
//   alias NAME NODE
//   real NAME VALUE / integer NAME VALUE / character NAME TEXT
//   array real NAME V1 V2 ... [group=1]    a one-dimensional ARRAY (also
//   array integer NAME V1 V2 ...           integer); groups 1 to 4
//   attribute real NAME                    a user-defined node attribute of the
//                                          model (also integer, character);
//                                          every node holds 0 or blanks
//   control NAME VALUE                     a control constant (NODES and
//                                          NODESM belong to the submodel, the
//                                          others to the model); the ones never
//                                          set carry the undefined marker
//
// A node END is a user node number of the submodel (GF ends may be negative)
// or SUBMODEL.NUMBER: a conductor or link with such an end joins two
// submodels (a link only with the declaring submodel and the ones after it,
// whose ends the load resolves as it reads them). Node numbers ascend within a submodel; the pairs of each
// conductor kind come in the order of their first node, and a GL, GR or GV
// pair of two thermal nodes names the lower number first; user constants and
// aliases come in ascending order of name.
//
// The sizes file holds "MODEL NAME" and the FLAGS and SPRSIZ lines of
// describe_sizes().
#pragma once

#include <istream>
#include <stdexcept>
#include <string>

#include "tools/mdb_writer.h"

namespace kalvir::mdbw {

// A description or sizes file that cannot be read; what() names the line.
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Model read_description(std::istream& in);

struct SizesFile {
  std::string model_name;
  Sizes sizes;
};
std::string sizes_file_text(const std::string& model_name, const Sizes& sizes);
SizesFile read_sizes_file(std::istream& in);
// The sizes file at PATH; one that cannot be opened is a DescriptionError too.
SizesFile read_sizes_file(const std::string& path);

}  // namespace kalvir::mdbw
