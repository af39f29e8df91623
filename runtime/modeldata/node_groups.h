// Node groups (ZLABEL) and node lists.
//
// A ZLABEL selects nodes: blank selects every node in scope; a text whose
// first non-blank character is not '#' selects the nodes whose label contains
// it; "#..." lists user node numbers and aliases, in groups separated by ';',
// each group optionally led by a submodel path ("#SUB1:1-5,9;7").
//
// A reference submodel REF (signed) sets the scope: 1 the whole model,
// 2..NSUB that submodel and its subtree, -1..-NSUB that submodel alone.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/modeldata/model_tree.h"

namespace kalvir {
// The current-action part that every Lschnd message carries, written once.
inline constexpr std::string_view kNodeListAction = "Getting node list from group specification";
}  // namespace kalvir

// True when internal node index I is in the scope of REF and selected by
// ZLABEL. IERR 0; 1 bad REF; 2 a '#' ZLABEL longer than 512 characters; or an
// error of LKFNUM. Messages name CALLER and are written when REPORT != 0.
bool NDOFZL(std::int32_t REF, std::int32_t NSUB, std::int32_t NNODE, std::int32_t I, std::int32_t REPORT,
            std::string_view CALLER, std::string_view ZLABEL, std::int32_t& IERR);

// The '#' form for node I; REF is the magnitude of the reference submodel.
// RESULT true on the first matching item. IERR 1 unrecognised item, 2 range
// upper value below the lower, 3 two dashes in a range, 4 range without upper
// value, or the path's error (1 or 2).
void LKFNUM(std::int32_t REF, const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB,
            std::int32_t I, std::int32_t REPORT, std::string_view CALLER, const kalvir::ModelNames& NAMES,
            std::string_view ZLABEL, bool& RESULT, std::int32_t& IERR);

// LIST(1..N) := the internal indices of the nodes of KIND ("THERMAL", "FLUID"
// or "BOTH"; thermal nodes first) in the scan range SMOD (positive: SMOD and
// its subtree; negative: |SMOD| alone) that ZLABEL selects relative to CNUM.
// INACT = 0 leaves out thermal nodes whose status letter is 'X'. At most MAXN
// (and the room of LIST) entries. IERR 1 on any failure (always reported).
// Lists are kept in a cache of 100 entries, never served stale.
void Lschnd(std::int32_t CNUM, std::int32_t MAXN, std::string_view KIND, std::int32_t INACT, std::string_view CALLER,
            std::int32_t SMOD, std::string_view ZLABEL, std::int32_t& IERR, std::span<std::int32_t> LIST,
            std::int32_t& N);

// Empties the node list cache of Lschnd. Whoever changes a thermal node's
// status letter calls it (the cache also checks the letters it depends on
// before it serves a list).
void Lschnd_clear_cache();

namespace kalvir {
// One element of a '#' node group: a user node number or a range of them
// (LOW = HIGH for one number) of one submodel, and its text as written with
// its group's path ("SUB1:4", "SUB1:1-3").
struct NodeGroupElement {
  std::int32_t submodel = 0;
  std::int32_t low = 0, high = 0;
  std::string text;
};
// The elements of the '#' form ZLABEL, paths resolved relative to submodel
// BASE, read without messages: empty for any other form, and for a text that
// cannot be read (the node-list lookups report that), so that a caller can
// tell which element of a list selected nothing.
std::vector<NodeGroupElement> node_group_elements(std::string_view zlabel, std::int32_t base);
}  // namespace kalvir

// The nodes of submodel ISUB (positive: with its subtree in the label form;
// negative: |ISUB| alone) that ZLABEL selects, for the parameter-case
// statements. MAXN (and the room of LIST) must be at least NNODE + NF. IERR
// 1 list too short, 2 bad submodel, or an error of LNDSZL.
void NDSOZL(std::string_view ZLABEL, std::int32_t ISUB, std::span<std::int32_t> LIST, std::int32_t MAXN,
            std::int32_t REPORT, std::int32_t& N, std::int32_t& IERR);

// The '#' form of NDSOZL: marks every node of each group's submodel whose user
// number is listed, then compacts LIST to N entries in ascending order. ISUB
// (1..NSUB) is the default group submodel and the base of relative paths.
// FNUMS and TNUMS are gar_fluidnodenums and gar_thermalnodenums. IERR as
// LKFNUM; on error LIST is left as marked and N is not set.
void LNDSZL(std::span<const std::int32_t> FNUMS, std::int32_t MAXN, std::int32_t ISUB,
            const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::int32_t NNODE,
            std::span<const std::int32_t> TNUMS, std::int32_t REPORT, std::string_view CALLER,
            const kalvir::ModelNames& NAMES, std::string_view ZLABEL, std::int32_t& IERR, std::span<std::int32_t> LIST,
            std::int32_t& N);
