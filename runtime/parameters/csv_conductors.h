// The CSV columns of conductors and mass-flow links (GL, GR, GF, GV, M, GP).
//
// The header runs the label walks, which take the conductors exactly as the
// walks of the conductor changes do and label each one as it is taken; the
// conductors labelled are the item's columns, in label order, and the rows of
// the file write their values (see csv_file.h). A label names the two ends in
// the order of the reference and, for the second and further parallel
// conductors, their sequence number as the GFF counts it: GL(12,13) and
// GL(12,13,2), quoted because they hold commas.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/parameters/conductor_changes.h"

// Header: entity CODE, reference REF, NAME the item before its "(". IERR 0,
// 1 not a conductor kind, 2 no conductor labelled (reported with the item),
// or a label walk's code.
void PRHCND(std::int32_t CODE, std::string_view REF, std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR);
// Row: IERR 0, 1 not a conductor kind, 2 no room for the matches, 3 nothing
// matched, or PARCNP's or PRCWTR's code.
void PRCCND(std::int32_t CODE, std::string_view REF, std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR);

namespace kalvir::parameters {
// PRHCND that also gives the conductors it labelled, in label order.
void conductor_labels(std::int32_t CODE, std::string_view REF, std::string_view NAME, std::int32_t ISUB,
                      std::int32_t UNIT, std::int32_t& IERR, std::vector<std::int32_t>& TAKEN);
// The value fields of the conductors of kind CODE: PRCCND once the matches
// are known. IERR as PRCCND's (3 when CONDUCTORS is empty).
void conductor_fields(std::int32_t CODE, std::span<const std::int32_t> CONDUCTORS, std::string_view ITEM,
                      std::int32_t UNIT, std::int32_t& IERR);
}  // namespace kalvir::parameters

// Label walks: the walks of PARGNP, PARGFP and PARGGV, writing the label of
// each conductor they take that TAKEN does not hold yet and appending it to
// TAKEN once its label is written. FIRSTWALKED: W is the reference's first
// list (false for GF, whose labels still name the first list's node first).
// WRITTEN := 1 once a conductor was taken (PRHGGV: once a pair was found).
// IERR 0, 1 (PRHGNP, PRHGFP) a conductor's submodel path not found, 2 a
// write failure, which ends the walk's labels; PRHGGV 4 the reference's
// submodel path not found, 3 the last search failed (reported as such),
// 1 or 2 (with a sequence number) a write failure, after which it goes on.
void PRHGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t ROWPAIR, std::int32_t ROW, std::string_view MNEMONIC, bool FIRSTWALKED,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN, std::vector<std::int32_t>& TAKEN);
void PRHGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t KIND, std::int32_t ROW, std::string_view MNEMONIC, bool FIRSTWALKED,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN, std::vector<std::int32_t>& TAKEN);
void PRHGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t FIRSTSUB, std::string_view NAME, std::int32_t UNIT, std::int32_t& IERR,
            std::int32_t& WRITTEN, std::vector<std::int32_t>& TAKEN);

// One value field per match, in list order; the first failed write ends it
// (IERR 1).
void PRCWTR(std::span<const std::int32_t> MATCHES, std::int32_t N, std::span<const double> VALUES, std::int32_t UNIT,
            std::int32_t& IERR);
