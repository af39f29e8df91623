// Control constants: the shared blocks GLOR, GLOI, GLOC (global real, integer
// and character constants in storage order), LOCR, LOCI, LOCC (local ones, per
// submodel), the name table, the count check SCNTRL and the defaults SLDINC.
//
// The three tables below are the single statement of the global constants:
// the blocks, the name table, the defaults and the gcc_ accessors are all
// generated from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

// X(name, lower-case name)
#define KALVIR_GLOR_TABLE(X)                                                          \
  X(CSGMIN, csgmin) X(DAMPT, dampt) X(DTIMEI, dtimei) X(DTIMEU, dtimeu) X(DTMAX, dtmax)  \
  X(DTMIN, dtmin) X(DTPMAX, dtpmax) X(ENBALA, enbala) X(ENBALR, enbalr)                 \
  X(INBALA, inbala) X(INBALR, inbalr) X(OUTINT, outint) X(RELXCA, relxca)               \
  X(RELXCC, relxcc) X(STEFAN, stefan) X(TIMEM, timem) X(TIMEN, timen)                   \
  X(TIMEND, timend) X(TIMEO, timeo) X(TABS, tabs) X(PABS, pabs) X(DAMPM, dampm)         \
  X(GRAVZ, gravz) X(PPOWER, ppower) X(RELXMA, relxma) X(RELXMB, relxmb)                 \
  X(RELXMC, relxmc) X(DTCOUR, dtcour) X(RLCOUR, rlcour) X(FRLXCA, frlxca)               \
  X(FRLXCC, frlxcc) X(MINFLO, minflo) X(DTIMIF, dtimif) X(DTIMUT, dtimut)               \
  X(FCSGMN, fcsgmn) X(TIMENT, timent) X(TIMEOT, timeot) X(DTIST, dtist)                 \
  X(DTPIST, dtpist) X(DTINP, dtinp) X(DTPINP, dtpinp) X(GRAVX, gravx) X(GRAVY, gravy)   \
  X(MINDP, mindp) X(ARITH, arith) X(DTROCA, dtroca) X(DTROCC, dtrocc)                   \
  X(ENBNDM, enbndm) X(INBNDM, inbndm)

#define KALVIR_GLOI_TABLE(X)                                                          \
  X(LOOPCT, loopct) X(MODEL, model) X(NCSGMN, ncsgmn) X(NLOOP, nloop)                   \
  X(NRLXCC, nrlxcc) X(LENGTH, length) X(FLLPCT, fllpct) X(NRLXMC, nrlxmc)               \
  X(SUMFLL, sumfll) X(SUMTHL, sumthl) X(THLPCT, thlpct) X(NFRLXC, nfrlxc)               \
  X(NLOOPH, nlooph) X(NLOOPT, nloopt) X(WIDTH, width) X(FSTEPS, fsteps)                 \
  X(FNCSGM, fncsgm) X(PYRO, pyro) X(MSHORT, mshort) X(TRACE, trace) X(MLEVEL, mlevel)   \
  X(METHOD, method) X(NDTROC, ndtroc) X(PRGFBK, prgfbk) X(STEPCT, stepct)

// X(name, lower-case name, length, default)
#define KALVIR_GLOC_TABLE(X)                                                          \
  X(OPBLOK, opblok, 10, "") X(FORMAT, format, 8, "*") X(LINTYP, lintyp, 6, "SOLID")     \
  X(MODULE, module, 6, "") X(TFORM, tform, 132, "*") X(THEAD, thead, 132, "")           \
  X(PARNAM, parnam, 24, "ORIGINAL") X(HEADER, header, 132, "")                          \
  X(TFORMF, tformf, 132, "*") X(SOLTYP, soltyp, 7, "") X(RESULT, result, 80, "")        \
  X(MFFB, mffb, 3, "HEM") X(TIMELA, timela, 3, "NO") X(OUTIME, outime, 18, "ALL")       \
  X(SOLVER, solver, 6, "") X(QTRSOL, qtrsol, 3, "YES")

struct GlorBlock {
#define KALVIR_X(N, n) double N = 0.0;
  KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X
  static constexpr int count = 49;
  // Constant no. i in storage order (1-based).
  double& operator()(int i) noexcept;
  double operator()(int i) const noexcept { return const_cast<GlorBlock&>(*this)(i); }
};

struct GloiBlock {
#define KALVIR_X(N, n) std::int32_t N = 0;
  KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X
  static constexpr int count = 25;
  std::int32_t& operator()(int i) noexcept;
  std::int32_t operator()(int i) const noexcept { return const_cast<GloiBlock&>(*this)(i); }
};

struct GlocBlock {
#define KALVIR_X(N, n, len, def) kalvir::Chars<len> N;
  KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X
  static constexpr int count = 16;
  static constexpr std::size_t total_length = 702;
  // Field no. i in storage order (1-based), of its own length.
  std::span<char> field(int i) noexcept;
  std::string_view field(int i) const noexcept;
  // The 16 fields run together, as the state dump saves them.
  std::span<char, total_length> raw() noexcept {
    return std::span<char, total_length>(OPBLOK.data(), total_length);
  }
};
static_assert(sizeof(GlocBlock) == GlocBlock::total_length, "GLOC fields must run together");

extern GlorBlock GLOR;
extern GloiBlock GLOI;
extern GlocBlock GLOC;

// Local control constants, held per submodel: submodel m's k-th integer is
// LOCI((m - 1) * FLAGS(11) + k). Sized by loc_allocate from FLAGS words 10-12
// and NSUB.
extern kalvir::Array1<double> LOCR;
extern kalvir::Array1<std::int32_t> LOCI;
extern kalvir::CharArray<133> LOCC;
void loc_allocate();

// The control-constant names in storage order: local integers, then the
// global integers, reals and characters.
inline constexpr std::array<std::string_view, 2> kLocalIntNames{"NODES", "NODESM"};
std::span<const std::string_view> control_constant_names();  // all 92

// Storage-order name tables per block.
std::span<const std::string_view> glor_names();
std::span<const std::string_view> gloi_names();
std::span<const std::string_view> gloc_names();

// Count check: copies the 92 names into NAMES when the counts are those of
// this system (16, 25, 49, 0, 2, 0), else IERR = 1 and NAMES is untouched.
void SCNTRL(std::int32_t NGC, std::int32_t NGI, std::int32_t NGR, std::int32_t NLC,
            std::int32_t NLI, std::int32_t NLR, kalvir::CharArray<18>& NAMES, std::int32_t& IERR);

// Defaults of the 16 character constants.
void SLDINC();

// Optional numeric control constants and their neutral values. A constant
// that a solution routine reads but does not require may be left undefined
// by the model; it then holds the undefined marker, which as a double is a
// tiny denormal and as an integer a huge count. Read as a number the marker
// would be a step limit of almost zero or a damping factor of almost zero,
// so every routine reads these through this one table instead: a limit that
// is not set reads as 1.0E10 (the value that "not set" has when written out),
// a damping or Courant factor as 1.0, an offset, gravity or threshold as 0,
// METHOD as no option bits; a counter (STEPCT, LOOPCT, ...) starts at 0 and
// a print or message option (MLEVEL, TRACE, PRGFBK, WIDTH, ...) takes its
// plain setting. Required constants (NLOOP, DTIMEI, RELXCA, RELXMA, FRLXCA,
// FSTEPS) are not in the table: their routines report them. Constants that no
// routine reads (PYRO, FLLPCT, ...) and the node numbers the routines write
// (NCSGMN, ...) keep the marker.
struct NeutralReal {
  double GlorBlock::* slot;
  std::string_view name;
  double value;
};
struct NeutralInt {
  std::int32_t GloiBlock::* slot;
  std::string_view name;
  std::int32_t value;
};
std::span<const NeutralReal> neutral_reals();
std::span<const NeutralInt> neutral_ints();

// The accessor: the constant's value, or its neutral value when it is
// undefined (a constant outside the table is returned as it is).
double defined_or_neutral(double GlorBlock::* slot);
std::int32_t defined_or_neutral(std::int32_t GloiBlock::* slot);

// The messages of a solution routine about a control constant it requires
// and finds undefined, and about OUTINT left undefined (its default), each
// pointing to the table of the constants every routine requires and reads.
std::string required_constant_text(std::string_view routine, std::string_view name);
std::string outint_default_text(std::string_view routine);

// Stores the neutral value into every undefined constant of the table. The
// start-up driver calls it after the load (before the state dump, so every
// parameter case starts from the settled values), and the thermal and
// fluid-loop solution frames and the cyclic analysis on entry, so that the
// model's blocks, the kernels, the print, the monitor and the TMD file only
// ever see defined values of the constants the routines read.
void settle_optional_constants();
