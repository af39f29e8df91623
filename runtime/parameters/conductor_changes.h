// Conductor references and conductor changes of the parameter cases.
//
// A conductor reference follows a kind (GL, GR, GF, GV; M and GP for the flow
// rates and fitting losses of mass-flow links): "(P,Q)", "(P,Q,S)", "(*)" or
// "(*-ONLY)", optionally led by a submodel path; P and Q are node references.
// The matches are found by walking the connection lists of the nodes of P
// (the record form of the thermal list, the fluid list) or by searching the
// GV node pairs; CHANGE sets, SCALE multiplies, ON and OFF switch them.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/control/global_arrays.h"

namespace kalvir::parameters {

// A parsed reference: its two node lists (in the integer dynamic core), the
// sequence number (0 none) and the submodels whose conductors may match.
struct ConductorReference {
  std::span<const std::int32_t> first, second;
  std::int32_t sequence = 0;
  std::int32_t first_sub = 0, last_sub = 0;
};

// A conductor as a walk takes it: the node it was reached from, the node at
// its other end and its count among the parallel conductors between them.
struct Taken {
  std::int32_t conductor, walked, other, parallel;
};

// Conductor numbers in the order found, each at most once. HOOK, when given,
// sees each conductor as it is taken (the CSV header labels them).
class MatchList {
 public:
  using Hook = std::function<void(const Taken&)>;
  explicit MatchList(std::span<std::int32_t> room, Hook hook = {}) : room_(room), hook_(std::move(hook)) {}
  void add(const Taken& t);
  std::span<const std::int32_t> items() const { return room_.first(static_cast<std::size_t>(n_)); }
  std::int32_t size() const { return n_; }

 private:
  std::span<std::int32_t> room_;
  Hook hook_;
  std::int32_t n_ = 0;
};

// A conductor kind: its model-directory row, the walks that find it and the
// arrays that a statement changes.
struct ConductorKind {
  std::int32_t code;
  std::int32_t row;
  std::int32_t record_rows;  // PARGNP row pair, 0 no thermal walk
  std::int32_t packed_kind;  // PARGFP kind, 0 no fluid walk
  bool walks_second;         // GF walks the second list, the first is the other end
  bool gv;
  kalvir::gar::R64* values;
  kalvir::gar::C1* letters;  // null: ON and OFF are refused with `letter_code`
  std::int32_t letter_code;
  std::int32_t capacity_per;  // match-list words per conductor
  int count_flag;             // FLAGS word of the number of conductors
};
// The kind of entity CODE (42 GL to 47 GP), or null.
const ConductorKind* conductor_kind(std::int32_t code);
// The words a match list of KIND may need.
std::int64_t match_capacity(const ConductorKind& kind);
// Runs the walks of KIND over the reference R into M; ST the status of the
// last GV search (1 failed, reported).
struct ConductorReference;
void collect_matches(const ConductorKind& kind, const ConductorReference& r, MatchList& m, std::int32_t& st);
// The GV search of PARGGV: a failed search is reported under ROUTINE with
// CODE, which is returned when the last search failed (each search starts
// afresh), else 0. FOUND (may be null) := true when a pair (a, b) exists,
// whether or not the wanted sequence number does.
std::int32_t gv_walk(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ,
                     std::int32_t CFIRST, std::int32_t CLAST, MatchList& M, std::string_view ROUTINE,
                     std::int32_t CODE, bool* FOUND);

}  // namespace kalvir::parameters

// Parses REF against submodel ISUB, taking its node lists from the integer
// dynamic core through MARK. IERR 0, or 2 bad path or brackets, 3 one item
// other than "*" or "*-ONLY", 4 and 5 no room for a node list, 6 the sequence
// is not an integer, 7 it is below 1; or PARNDS's code.
void PARCNP(std::string_view REF, std::int32_t ISUB, DynamicCoreMark& MARK,
            kalvir::parameters::ConductorReference& R, std::int32_t& IERR);

// The walks. W is the walked node list, O the other end's; conductors
// CFIRST..CLAST may match. PARGNP walks the thermal nodes' record-form rows
// ROWPAIR, ROWPAIR + 1 (1 GL, 3 GR, 5 GF); PARGFP the fluid nodes' list for
// packed KIND (1 links, 2 GL, 3 GR, 4 GF) with model-directory row ROW; PARGGV
// searches the GV pairs (a of V1, b of V2) and reports a failed search
// (IERR 1).
void PARGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, std::int32_t ROWPAIR, kalvir::parameters::MatchList& M);
void PARGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, std::int32_t KIND, std::int32_t ROW,
            kalvir::parameters::MatchList& M);
void PARGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, kalvir::parameters::MatchList& M, std::int32_t& IERR);

// The conductor statement: entity CODE (42 GL to 47 GP), the reference REF
// resolved against ISUB, the value text VALUE ("ON" and "OFF" switch). IERR
// 0, 1 not a conductor kind, 8 no room for the matches, 9 ON/OFF of GV, 10 of
// GP, 11 nothing matched; or PARCNP's and the value readers' codes.
void PARCND(std::string_view KEYWORD, std::int32_t CODE, std::string_view REF, std::string_view VALUE,
            std::int32_t ISUB, std::int32_t& IERR);
