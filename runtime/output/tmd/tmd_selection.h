// What a TMD write records: the entity-string parser GffParseEntityList and
// the module TmvThermalModelVariables, which holds the last request's choices
// (block flags, entity and conductor-kind flags, selected nodes, user-constant
// range) together with the model's sizes, the run identification and the
// current time.
//
// The file writer reads nothing of a request but this state; each file slot
// keeps a copy of the state that created its file, so that every later write
// to the file has exactly the shape the file was given.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::tmd {

// Entity flags 1..41 are the nodal entity codes; the user attributes follow.
inline constexpr std::int32_t kNodalFlags = 41;
// Positions in the conductor-kind flags (entity codes 42..47 less 42).
inline constexpr int kFlagGL = 0, kFlagGR = 1, kFlagGF = 2, kFlagGV = 3, kFlagM = 4, kFlagGP = 5;
inline constexpr int kConductorKinds = 6;
using ConductorKindFlags = std::array<std::int32_t, kConductorKinds>;

// What a request gathers from the shared blocks before it parses and writes.
struct RunInfo {
  Chars<17> jobdate;
  Chars<24> jobname;
  Chars<8> jobtime;
  std::int32_t nmassflowlinks = 0;
  std::int32_t nfluidic = 0;
  std::int32_t nlinear = 0;
  std::int32_t nradiative = 0;
  std::int32_t nvfac = 0;
  std::int32_t nsubmodels = 0;
  std::int32_t nfluidnodes = 0;
  std::int32_t nthermalnodes = 0;
  // SPRNOD(k, g) and SPRSIZ(1..5): leading dimension, groups, character,
  // integer and real attribute counts.
  const Array2<Chars<18>>* attributenames = nullptr;
  std::array<std::int32_t, 5> sprsiz{};
  double timen = 0.0;

  std::int32_t nchar() const noexcept { return sprsiz[2]; }
  std::int32_t nint() const noexcept { return sprsiz[3]; }
  std::int32_t nreal() const noexcept { return sprsiz[4]; }
};

// RunInfo from JOBINF, FLAGS, SPRNOD, SPRSIZ and TIMEN.
RunInfo gather_run_info();

}  // namespace kalvir::tmd

// Module TmvThermalModelVariables.
struct TmvThermalModelVariables {
  std::int32_t submodelreference = 0;
  kalvir::tmd::ConductorKindFlags conductortypeflags{};
  kalvir::Chars<100> description;
  std::int32_t fileindex = 0;
  kalvir::Chars<6> mainroutine;
  kalvir::Chars<17> thejobdate;
  kalvir::Chars<24> thejobname;
  kalvir::Chars<8> thejobtime;
  std::int32_t numberofm_gps = 0;
  std::int32_t numberofgfs = 0;
  std::int32_t numberofgls = 0;
  std::int32_t numberofgrs = 0;
  std::int32_t numberofgvs = 0;
  std::int32_t numberofsubmodels = 0;
  std::int32_t numberoffluidnodes = 0;
  std::int32_t numberofthermalnodes = 0;
  kalvir::Array1<std::int32_t> nodeattributeflags;            // 41 + R + I + C
  kalvir::Array2<kalvir::Chars<32>> userattributenames;       // (SPRSIZ(1), SPRSIZ(2))
  double currenttime = 0.0;
  std::int32_t numuserstringattributes = 0;
  std::int32_t numuserintegerattributes = 0;
  std::int32_t numuserrealattributes = 0;
  std::int32_t wantconductorsflag = 0;
  std::int32_t wantconstantsflag = 0;
  std::int32_t wantnodesflag = 0;
  kalvir::Chars<255> nodegroupspec;
  kalvir::Array1<std::int32_t> selectednodes;  // ascending internal indices, thermal first
  std::int32_t numselectednodes = 0;
  std::int32_t tmv_selectedsubmodelfirstid = 0;
  std::int32_t tmv_selectedsubmodellastid = 0;
  std::int32_t tmv_numselecteduserconstantsreal = 0;
  std::int32_t tmv_numselecteduserconstantsint = 0;
  std::int32_t tmv_numselecteduserconstantschar = 0;

  // Entity flag k (1-based; 0 beyond the array).
  std::int32_t flag(std::int64_t k) const noexcept {
    return k >= 1 && k <= nodeattributeflags.size() ? nodeattributeflags(k) : 0;
  }
  bool kind_selected(int kind) const noexcept { return conductortypeflags[static_cast<std::size_t>(kind)] != 0; }
  std::span<const std::int32_t> selected() const noexcept {
    return selectednodes.span().first(static_cast<std::size_t>(numselectednodes));
  }
};

// The module's one state set.
TmvThermalModelVariables& tmv_module();

namespace kalvir::tmd {
// True when two states record the same things in the same shape: block flags,
// entity flags, conductor kinds, selected nodes and user-constant range. The
// run identification, description, slot and time do not count.
bool same_selection(const TmvThermalModelVariables& a, const TmvThermalModelVariables& b);
}  // namespace kalvir::tmd

// Parses the entity string of a TMD request ("NODES(T, QI), CONDUCTORS(GL),
// CONSTANTS"; blank selects everything). ENTFLAGS has 41 + R + I + C entries,
// CONDFLAGS six (GL GR GF GV M GP); they are written only when the string is
// blank or holds the matching block. Faults are reported (FAILURE) and
// skipped; the parse never fails.
void GffParseEntityList(std::string_view ENTITIES, std::string_view CALLER,
                        const kalvir::Array2<kalvir::Chars<18>>& ATTRNAMES, std::int32_t LDIM, std::int32_t NGROUPS,
                        std::int32_t NCHAR, std::int32_t NINT, std::int32_t NREAL, std::int32_t& NODESFLAG,
                        std::int32_t& CONDUCTORSFLAG, std::int32_t& CONSTANTSFLAG, std::span<std::int32_t> ENTFLAGS,
                        std::span<std::int32_t, 6> CONDFLAGS);

// Stores one request in the module state and resolves its node selection
// (node group ZLABEL within the submodel reference, nodes of status X
// included) and, when constants are wanted, its user-constant range.
void tmvvariablesupdate(const kalvir::tmd::RunInfo& RUN, std::int32_t SUBREF,
                        const kalvir::tmd::ConductorKindFlags& CONDFLAGS, std::string_view DESCRIPTION,
                        std::int32_t FILEINDEX, std::string_view ROUTINE, std::span<const std::int32_t> ENTFLAGS,
                        std::int32_t WANTCONDUCTORS, std::int32_t WANTCONSTANTS, std::int32_t WANTNODES,
                        std::string_view NODEGROUPSPEC);
