// The CSV columns of conductors and mass-flow links (GL, GR, GF, GV, M, GP).
//
// The header and the rows resolve the reference and run the same walks as the
// conductor changes; the header's walks label each conductor as it is taken,
// so the labels and the value fields list the same conductors in the same
// order. A label names the two ends in the order of the reference and, for
// the second and further parallel conductors, their count: GL(12,13) and
// GL(12,13,2), quoted because they hold commas.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

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

// Label walks: the walks of PARGNP, PARGFP and PARGGV, writing the label of
// each conductor they take. WRITTEN := 1 once a label was written. IERR 0,
// 1 (PRHGNP, PRHGFP) a conductor's submodel path not found, 2 a write
// failure; PRHGGV 4 the reference's submodel path not found, 3 a failed
// search, 1 or 2 a write failure.
void PRHGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t ROWPAIR, std::int32_t ROW, std::string_view MNEMONIC, bool FIRSTWALKED,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN);
void PRHGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t KIND, std::int32_t ROW, std::string_view MNEMONIC, bool FIRSTWALKED,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN);
void PRHGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t FIRSTSUB, std::string_view NAME, std::int32_t UNIT, std::int32_t& IERR,
            std::int32_t& WRITTEN);

// One value field per match, in list order; the first failed write ends it
// (IERR 1).
void PRCWTR(std::span<const std::int32_t> MATCHES, std::int32_t N, std::span<const double> VALUES, std::int32_t UNIT,
            std::int32_t& IERR);
