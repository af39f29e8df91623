// The node table PRNDTB: the entities named in ZENTS (labels, temperatures,
// heat loads, capacitances, user attributes, ...) for the nodes of a node
// group, one block per submodel, on the printed output. The generated outputs
// block prints one at every output time.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/output/print/table_layout.h"

namespace kalvir::print {

// What the title step lays out once per print and every block uses.
struct NodeTableLayout {
  RowLayout thermal1, fluid1, thermal2, fluid2;
  Heading head1, head2;
  std::int32_t n1 = 0;
  std::int32_t n2 = 0;
  std::int32_t cont = 0;
};

}  // namespace kalvir::print

// Prints the entities ZENTS ("L, T, QI, C"; blanks are ignored, at most 132
// characters without them; "-INC" / "-DEC" after an entity orders the rows by
// it) for the nodes of node group ZLABEL in submodel SUBREF and, for SUBREF >
// 0, its descendants: a new page, the solution heading, two title lines, then
// one block per submodel with one or two tables. Mistakes in ZENTS and SUBREF
// and a shortage of work space in the dynamic core are reported (severity 3)
// and end the print; the run goes on.
void PRNDTB(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF);

// The title of a print: page start, solution heading, the lines naming
// ZENTS (blank-free, LEN characters) and ZLABEL, and the column layout of the
// entity codes LIST(1..N) decoded with status STATUS.
void LSTINT(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t LEN, std::span<const std::int32_t> LIST,
            std::int32_t N, std::int32_t STATUS, kalvir::print::NodeTableLayout& LAYOUT);

// The block of submodel ISUB: its nodes of ZLABEL (relative to submodel
// SUBREF), ordered by the entity SEQ (+code ascending, -code descending, 0
// none), its path and its tables. IERR 1 when the block failed (reported);
// the dynamic core's next-free words are restored on every way out.
void LS1NTB(std::string_view ZLABEL, std::int32_t SUBREF, std::int32_t ISUB, std::span<const std::int32_t> LIST,
            std::int32_t SEQ, const kalvir::print::NodeTableLayout& LAYOUT, std::int32_t& IERR);

// One table of a block: heading, the thermal rows, an empty record, the fluid
// rows of NODES (internal indices) for the entity codes ENTITIES. IERR 1 when
// a value could not be fetched (reported).
void LS1TAB(std::span<const std::int32_t> NODES, std::span<const std::int32_t> ENTITIES,
            const kalvir::print::RowLayout& THERMAL, const kalvir::print::RowLayout& FLUID,
            const kalvir::print::Heading& HEAD, std::int32_t& IERR);

// Sort keys: the value of real entity ICODE (integer entity for LSSEQI) for
// each of NODES; a node of a kind without the entity gets 0. IERR non-zero
// when a value could not be fetched (reported).
void LSSEQN(std::int32_t ICODE, std::span<const std::int32_t> NODES, std::span<double> KEYS, std::int32_t& IERR);
void LSSEQI(std::int32_t ICODE, std::span<const std::int32_t> NODES, std::span<std::int32_t> KEYS,
            std::int32_t& IERR);

// Writes the row of internal node NODE for ENTITIES with LAYOUT. IERR 1 when
// a value could not be fetched (reported); nothing is written then.
void LS1TB2(std::int32_t NODE, std::span<const std::int32_t> ENTITIES, const kalvir::print::RowLayout& LAYOUT,
            std::int32_t& IERR);
