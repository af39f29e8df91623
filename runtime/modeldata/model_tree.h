// Model tree and numbering lookups: internal node index to user number and
// submodel, entity number to owning submodel, submodel to its path text and
// back (submodel paths "SUB1:SUB2:" inside node groups and entity references),
// and node aliases.
//
// All of these read the model directory and the name, number and alias arrays
// that the MDB load fills; after the load the tree never changes. The only
// state is the node-to-submodel map that NDSSMD builds on its first call.
//
// Model directory columns are submodels in pre-order (1 = main model,
// NSUB + 1 = totals); row 1 is the nesting level, row 2 the subtree size,
// rows 3.. the number of entities of one kind before the submodel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir {
using ModelDirectory = Array2<std::int32_t>;  // the type of gar_modeldirectory
using ModelNames = CharArray<24>;             // the type of gar_modelnames
using PathComponent = Chars<24>;              // one submodel name of a path

// Work limits of the submodel-path resolution: a path longer than this is
// refused, not cut.
inline constexpr std::int32_t kMaxPathComponents = 99;
inline constexpr std::int32_t kMaxPathCandidates = 100;

// The number of submodels that DIR and NAMES can actually describe: a corrupt
// count must not lead the lookups outside the arrays.
std::int32_t usable_nsub(const ModelDirectory& dir, std::int32_t nsub, const ModelNames& names);

// Last column of the descendants of submodel m (m itself when it has none),
// kept inside 1..nsub.
std::int32_t subtree_end(const ModelDirectory& dir, std::int32_t m, std::int32_t nsub);

// The full path of submodel ISUB for a message ("MAIN:SUB1:SUB2"), or
// "submodel <ISUB>" when ISUB names none.
std::string submodel_path(std::int32_t isub);

// Forgets the node-to-submodel map of NDSSMD, so that a test can load a second
// model into the same process. A run never calls it.
void model_tree_reset_for_tests();
}  // namespace kalvir

// User node number of internal node index I (thermal nodes 1..NNODE, then
// fluid nodes); 0 with the warning "Invalid node number - out of range" when I
// is outside 1..NNODE + NF.
std::int32_t NODNUM(std::int32_t I);

// Submodel owning internal node index I; 0 (no submodel) when I is outside
// 1..NNODE + NF.
std::int32_t NDSSMD(std::int32_t I);

// Submodel owning conductor number N of conductor type ITYPE (1 GL, 2 GR,
// 3 GF, 4 GV, 5 mass-flow link). N <= 0 gives 1, N beyond the total NSUB. Any
// other ITYPE is fatal ("Invalid conductor type for KALVIR neutral file").
std::int32_t CDSSMD(std::int32_t N, std::int32_t ITYPE);

// ISUB = submodel owning entity number N of model-directory row IROW; 0 when
// there is none (also for a row outside 3..18).
void SUBMDE(std::int32_t N, std::int32_t IROW, std::int32_t& ISUB);

// Names of the submodels from the main model down to ISUB itself, NANC of
// them. ANCESTORS is a run of elements of ELEMLEN characters each (element k at
// offset (k - 1) * ELEMLEN); each name is cut or blank-padded to ELEMLEN. With
// ELEMLEN 0 only NANC is produced. NROWS is the row count of MODDIR (18).
// IERR 0; 2 ISUB out of range ("Invalid model number"); 3 inconsistent levels
// ("Error in Master model directory@..."); 4 ANCESTORS too small for NANC
// elements (no message, nothing written).
void SCCNAM(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, const kalvir::ModelNames& NAMES,
            std::int32_t ISUB, std::span<char> ANCESTORS, std::size_t ELEMLEN, std::int32_t& NANC,
            std::int32_t& IERR);

template <std::size_t W>
void SCCNAM(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, const kalvir::ModelNames& NAMES,
            std::int32_t ISUB, kalvir::CharArray<W>& ANCESTORS, std::int32_t& NANC, std::int32_t& IERR) {
  SCCNAM(MODDIR, NROWS, NAMES, ISUB, ANCESTORS.stream_span(), W, NANC, IERR);
}

// Path text of submodel ISUB in PATH (names each followed by ':', the last ':'
// not counted in LEN). SCOPE blank or "ALL": the whole chain; "SUBMODEL":
// ISUB's own name; "ROOT": the chain without ISUB (the main model keeps its
// own name). IERR 0; 1 bad SCOPE, 2 bad submodel (PATH blank, LEN 1 in both);
// 3 PATH too short (PATH holds what fits, LEN = PATH's length). Characters of
// PATH beyond what was written keep their contents.
void LSUBMD(std::string_view SCOPE, std::int32_t ISUB, std::int32_t& LEN, std::span<char> PATH,
            std::int32_t& IERR);

// IPARENT = parent of submodel ISUB: 0 for the main model, 1 for its children.
void GetParentModelNumber(std::int32_t ISUB, std::int32_t& IPARENT);

// User functions. The results are the path text without padding; callers cut
// or pad them to their own length. Failures come back as the function value
// ("SUBMOD: Invalid argument ATTRIB", "SUBMOD: Unexpected error",
// "SUBMDN: Invalid node number", ...).
std::string SUBMOD(std::string_view ATTRIB);                   // current submodel (MODEL)
std::string SUBMDN(std::int32_t NODE, std::string_view ATTRIB);  // submodel of internal node NODE

// User node number NODE and full path (PATH, LEN characters) of internal node
// I; an invalid I is fatal. IERR is the status of LSUBMD.
void LNDREF(std::int32_t I, std::int32_t& LEN, std::int32_t& NODE, std::span<char> PATH, std::int32_t& IERR);

// Resolves the submodel path starting at position POS (1-based) of TEXT,
// relative to submodel ICUR. Components run to each ':' up to IEND; on success
// ISUB is set and POS points just after the last ':'. A text without ':' at
// POS changes nothing (IERR 0). IERR 1 bad component (empty, longer than 24),
// 2 no or several matching submodels (also a path of more than 99 components).
// Messages only when REPORT != 0. NAMES is gar_modelnames.
void LSMINT(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::int32_t REPORT,
            std::int32_t ICUR, const kalvir::ModelNames& NAMES, std::string_view TEXT, std::int32_t IEND,
            std::int32_t& POS, std::int32_t& ISUB, std::int32_t& IERR);

// Candidate submodels for the path components COMPS(1..NCOMP) below ICUR. A
// path through a direct child of ICUR wins at once; otherwise every resolving
// descendant is a candidate. NFOUND counts all candidates; FOUND receives as
// many as it has room for. IERR -1 bad sizes, 1 ICUR out of range, 2 NCOMP < 1
// (or more components than COMPS holds), 3 SNMLVX failed.
void SNMINC(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB,
            const kalvir::ModelNames& NAMES, std::span<const kalvir::PathComponent> COMPS, std::int32_t NCOMP,
            std::int32_t ICUR, std::int32_t& NFOUND, std::span<std::int32_t> FOUND, std::int32_t& IERR);

// Follows COMPS(1..NCOMP) downwards from submodel M, one level per component;
// J = the final submodel, 0 when a component is not found. IERR -1 bad sizes,
// 1 M out of range, 2 NCOMP < 1 (or more components than COMPS holds).
void SNMLVX(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB,
            const kalvir::ModelNames& NAMES, std::span<const kalvir::PathComponent> COMPS, std::int32_t NCOMP,
            std::int32_t M, std::int32_t& J, std::int32_t& IERR);

// FOUND = first submodel among START..START + N - 1 with nesting level LEVEL
// and name KEY (blank-padded comparison), 0 if none. IERR -1 bad sizes,
// 1 START out of range or N < 0, 2 LEVEL < 0.
void SNMLVL(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB,
            const kalvir::ModelNames& NAMES, std::int32_t LEVEL, std::int32_t START, std::string_view KEY,
            std::int32_t N, std::int32_t& FOUND, std::int32_t& IERR);

// NODE = user node number of alias ALIAS among the aliases of submodel ISUB
// itself (exact match), 0 if unknown. IERR 2 when ISUB is out of range; no
// messages.
void LGTALI(std::int32_t ISUB, std::string_view ALIAS, std::int32_t& NODE, std::int32_t& IERR);

namespace kalvir {
// The user node number that TEXT writes in digits or names as an alias of
// submodel isub (LGTALI); false when it does neither.
bool user_node_number(std::int32_t isub, std::string_view text, std::int32_t& number);
}  // namespace kalvir
