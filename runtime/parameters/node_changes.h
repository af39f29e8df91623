// Node references and node-entity changes of the parameter cases.
//
// A node reference ("10", "SUB1:10", "*", "*-ONLY", "'PANEL'", an alias or
// the name of a character user constant) becomes a node list: internal node
// indices, the thermal nodes ascending, then the fluid nodes ascending. The
// setters rely on that order: thermal setters walk the list from the front,
// fluid setters from the back.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir::parameters {
// One node entity (codes 1 to 36): its arrays for thermal and for fluid
// nodes (null where the entity does not exist for that kind of node) and the
// code that refuses a SCALE of a text. The changes and the CSV columns read
// the same table, so they always reach the same arrays.
enum class EntityKind { kNone, kReal, kText, kStatus };
struct NodeEntity {
  EntityKind kind;
  kalvir::gar::R64* thermal;
  kalvir::gar::R64* fluid;
  kalvir::CharRowsMut (*thermal_text)();
  kalvir::CharRowsMut (*fluid_text)();
  std::int32_t scale_code;
};
// The row of CODE, or null for a code outside 1 to 36.
const NodeEntity* node_entity(std::int32_t code);
std::span<double> values(kalvir::gar::R64* a);

// A block of user attribute k (1-based within its kind) of `per` nodes: empty
// when it lies outside the store.
template <class T>
std::span<T> block(std::span<T> all, std::int32_t k, std::int32_t per) {
  const std::int64_t first = std::int64_t{k - 1} * per;
  if (per < 1 || k < 1 || first + per > static_cast<std::int64_t>(all.size())) return {};
  return all.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(per));
}
kalvir::CharRowsMut text_block(kalvir::gar::C24& all, std::int32_t k, std::int32_t per);

// The integer work space of a statement: `words` words taken from the integer
// dynamic core behind MARK's next-free word, or an empty span (nothing
// taken) when they do not fit below DYSTOR.
std::span<std::int32_t> take_core(DynamicCoreMark& mark, std::int64_t words);
}  // namespace kalvir::parameters

// LIST(1..N) := the nodes of REF resolved against submodel ISUB (a path in
// front is resolved relative to ISUB). MAXN is the room of LIST, at least
// NNODE + NF. IERR 0, or 1 list too short, 2 bad submodel, 3 no node of that
// number, 4 digits and more, 5 a "*" form other than "*" and "*-ONLY", 6 an
// unclosed quote, 7 an alias of a missing node, 8 and 9 not interpretable; or
// the code of the path resolution or of the label match, or the status of a
// character constant that cannot be read (no message).
void PARNDS(std::string_view REF, std::int32_t ISUB, std::int32_t MAXN, std::span<std::int32_t> LIST,
            std::int32_t& N, std::int32_t& IERR);

// CHANGE (KEYWORD "CHANGE") or SCALE (anything else) of entity CODE (a
// built-in code, or -k for the k-th user attribute) on the nodes of REF. IERR
// 0 or PARNOD's codes: 1 no work space, 2-5 SCALE of a text, 6 not a node
// entity, 7 no selected node carries the entity (a warning when some do),
// 8 SCALE of a status; or those of the reference, value readers and setters.
void PARNOD(std::string_view KEYWORD, std::int32_t CODE, std::string_view REF, std::string_view VALUE,
            std::int32_t ISUB, std::int32_t& IERR);

// A user attribute -CODE on the nodes of LIST: FCOUNT and TCOUNT the fluid
// and thermal nodes changed. IERR 1 SCALE of an integer, 2 of a text, or a
// setter's error.
void PARUDE(std::string_view KEYWORD, std::int32_t CODE, std::span<const std::int32_t> LIST, std::int32_t N,
            std::string_view VALUE, std::int32_t& FCOUNT, std::int32_t& TCOUNT, std::int32_t& IERR);

// Setters of one array for one kind of node. ARRAY is the array or attribute
// block of that kind (element 1 for thermal node 1 or fluid node NNODE + 1);
// COUNT the nodes changed. Set (C) stores VALUE even in an undefined element
// (reported); scale (S) reports an undefined element, leaves it and sets IERR
// to 1.
void PARCNR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARSNR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARCFR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NF, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARSFR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NF, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARCNI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE, std::int32_t NNODE,
            std::span<std::int32_t> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARCFI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE, std::int32_t NF,
            std::int32_t NNODE, std::span<std::int32_t> ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARCNZ(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t NNODE,
            kalvir::CharRowsMut ARRAY, std::int32_t& COUNT, std::int32_t& IERR);
void PARCFZ(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t NF,
            std::int32_t NNODE, kalvir::CharRowsMut ARRAY, std::int32_t& COUNT, std::int32_t& IERR);

// The status letter VALUE on the nodes of LIST: B, D or X for thermal nodes
// (both status arrays), F, H, J, K, Q, R or S for fluid nodes. A node whose
// kind does not fit the letter, or whose present letter is of the other
// kind, is reported and left; TERR and FERR are then 1. Any change raises the
// status-change flag and empties the node-list cache.
void PARCNS(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t NF,
            std::int32_t NNODE, kalvir::CharRowsMut FSTATUS, kalvir::CharRowsMut TSTATUS,
            kalvir::CharRowsMut TSTATUSCOPY, std::int32_t& TCOUNT, std::int32_t& FCOUNT, std::int32_t& TERR,
            std::int32_t& FERR);
