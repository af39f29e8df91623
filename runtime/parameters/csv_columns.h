// The CSV columns of node entities, constants and ARRAY elements: for each
// kind a header writer (PRH...) that adds the column labels of one CSV item
// and a row writer (PRC...) that adds its value fields. Both resolve the item
// the way the case statements do; for a node item the header also gives back
// the nodes it labelled, and the rows of its file write those (node_fields),
// so labels and fields list the same nodes in the same order even after a
// case relabels a node. Every piece goes through WRITEH; the caller ends the
// line.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/modeldata/packed_store.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/parameters/array_changes.h"
#include "runtime/platform/arrays.h"

// Node entities. ENTITY the matched name (18 characters), REF the node
// reference, CODE the entity code (negative for a user attribute), ITEM the
// whole CSV item. PRHNOD IERR 0, 1 no work space or unknown entity, 2 a write
// error, or PARNDS's code. PRCNOD IERR 0, 1 no work space, 2 a code without
// values, 3 a value writer failed, or PARNDS's or PRCUDE's code.
void PRHNOD(std::string_view ENTITY, std::string_view REF, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
void PRCNOD(std::int32_t CODE, std::string_view REF, std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR);
namespace kalvir::parameters {
// PRHNOD that also gives the nodes it labelled, in label order (LABELLED may
// be null), so that a file's rows can write the columns its header holds.
void node_labels(std::string_view ENTITY, std::string_view REF, std::int32_t ISUB, std::int32_t UNIT,
                 std::int32_t& IERR, std::vector<std::int32_t>* LABELLED);
// The value fields of entity CODE at NODES (thermal nodes first): PRCNOD once
// the reference is resolved. IERR as PRCNOD's.
void node_fields(std::int32_t CODE, std::span<const std::int32_t> NODES, std::string_view ITEM, std::int32_t UNIT,
                 std::int32_t& IERR);
}  // namespace kalvir::parameters
void PRCUDE(std::int32_t CODE, std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t UNIT,
            std::int32_t& IERR);
// Value writers of one array and one kind of node: the thermal ones walk LIST
// from the front up to the first fluid node, the fluid ones read element
// entry - NNODE of each fluid entry. IERR 1 after a write error, which ends
// the writer.
void PRCWNR(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE, std::span<const double> ARRAY,
            std::int32_t UNIT, std::int32_t& IERR);
void PRCWNI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE,
            std::span<const std::int32_t> ARRAY, std::int32_t UNIT, std::int32_t& IERR);
void PRCWFR(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NF, std::int32_t NNODE,
            std::span<const double> ARRAY, std::int32_t UNIT, std::int32_t& IERR);
void PRCWFI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NF, std::int32_t NNODE,
            std::span<const std::int32_t> ARRAY, std::int32_t UNIT, std::int32_t& IERR);
void PRCWNZ(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE, kalvir::CharRows ARRAY,
            std::int32_t UNIT, std::int32_t& IERR);
void PRCWFZ(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NF, std::int32_t NNODE,
            kalvir::CharRows ARRAY, std::int32_t UNIT, std::int32_t& IERR);

// Constants: a user constant of the submodel (NAME may carry a path) or a
// control constant. PRHCST IERR 0, 1 path not resolved, 2 a write error,
// 4 no such constant. PRCCST IERR 0, 1 path not resolved or a write error,
// 2 a text that cannot be read, or PRCCCT's code.
void PRHCST(std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
// FOUND := 1 when NAME18 is a control constant a CSV column can show.
void PRHCCT(std::string_view NAME18, std::int32_t ISUB, std::int32_t& FOUND);
void PRCCST(std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
// The field of control constant NAME18 (NODES, NODESM of submodel ISUB).
// IERR 1 for an unknown name or a write error.
void PRCCCT(std::string_view NAME18, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
// One field each; IERR is set to 1 after a write error, else left alone.
void PRCCCR(double VALUE, std::int32_t UNIT, std::int32_t& IERR);
void PRCCCI(std::int32_t VALUE, std::int32_t UNIT, std::int32_t& IERR);
void PRCCCZ(std::string_view TEXT, std::int32_t UNIT, std::int32_t& IERR);

// ARRAY elements: ITEM is [path:]NAME(indices), each index a number or "*".
// IERR 0, 1 unknown submodel, 2 no "(", 3 no such ARRAY, PARAIN's code, and
// (PRHARR) 1 a write error, (PRCARR) 4 and 5 an element beyond the ARRAY.
void PRHARR(std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
void PRCARR(std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
// The values of every element in RANGES, first index fastest; ELEMENTS holds
// the ARRAY from its first element.
void PRCRAR(const kalvir::parameters::ArrayDims& DIMS, const kalvir::parameters::IndexRanges& RANGES,
            std::span<const double> ELEMENTS, std::int32_t UNIT, std::int32_t& IERR);
void PRCIAR(const kalvir::parameters::ArrayDims& DIMS, const kalvir::parameters::IndexRanges& RANGES,
            std::span<const std::int32_t> ELEMENTS, std::int32_t UNIT, std::int32_t& IERR);
// Character elements in the packed store from stream position START: element
// L (PRCZA1), or every element in RANGES (PRCZA2). IERR 1 or 2: an element
// that cannot be read.
void PRCZA1(std::int32_t L, std::int32_t START, std::int32_t NROWS, kalvir::PackedRows STORE, std::int32_t UNIT,
            std::int32_t& IERR);
void PRCZA2(const kalvir::parameters::ArrayDims& DIMS, const kalvir::parameters::IndexRanges& RANGES,
            std::int32_t START, std::int32_t NROWS, kalvir::PackedRows STORE, std::int32_t UNIT, std::int32_t& IERR);
