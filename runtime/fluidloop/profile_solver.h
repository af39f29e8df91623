// The profile (envelope) solver of the fluid-loop matrices: one equation per
// fluid node, an off-diagonal pair per pair of nodes joined by a mass-flow
// link, stored row by row between each row's first and last column after the
// breadth-first renumbering of FPNTRS. FHSFCT factorises in place (LU in
// Doolittle order, no pivoting, fill-in stays inside the envelope), FHSSUB
// substitutes, FHSKSV (single-phase hydraulics) and FHSKS1 (two-phase
// solution) drive both.
//
// Storage, counted from 1 as the table holds it: row i occupies f(i)..l(i)
// with its diagonal at d(i), element (i, j) at d(i) - i + j, and
// d(i + 1) = d(i) + l(i) - f(i + 1) + 2; the profile length is d(N). The
// column profile r(j) is the first row that stores column j. A vanishing
// pivot or diagonal (below 1.0E-37 as a single-precision constant) is
// reported, never trapped: the caller decides what it means.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kalvir::fluidloop {

// The profile index table of the single-phase hydraulics: NF rows by five
// columns, column after column, in the integer work space. Every column is
// indexed from 1 through at().
struct ProfileIndex {
  std::span<std::int32_t> node_of_eq;  // column 1: equation -> fluid node
  std::span<std::int32_t> eq_of_node;  // column 2: fluid node -> equation
  std::span<std::int32_t> first;       // column 3: f(i), also r(j)
  std::span<std::int32_t> last;        // column 4: l(i)
  std::span<std::int32_t> diag;        // column 5: d(i)

  static std::int32_t& at(std::span<std::int32_t> c, std::int32_t i) { return c[static_cast<std::size_t>(i - 1)]; }
  // The profile length: d(NF), 0 without fluid nodes.
  std::int32_t length() const { return diag.empty() ? 0 : diag.back(); }
};

// The five columns over a table of 5 x nf words.
ProfileIndex profile_index(std::span<std::int32_t> table, std::int32_t nf);

}  // namespace kalvir::fluidloop

// Factorises the profile matrix A (LENGTH words) of order N in place. Does
// nothing when IFAIL is not 0 on entry; sets IFAIL to the row whose pivot
// vanished and stops there.
void FHSFCT(std::span<const std::int32_t> D, std::span<const std::int32_t> F, std::int32_t N,
            std::span<const std::int32_t> R, std::int32_t LENGTH, std::span<double> A, std::int32_t& IFAIL);

// Solves with the factors of A: B becomes the solution. Every diagonal is
// checked first (IFAIL the last vanished row); nothing is substituted when
// one vanished.
void FHSSUB(std::span<const std::int32_t> F, std::span<const std::int32_t> L, std::span<const std::int32_t> D,
            std::span<const double> A, std::int32_t N, std::int32_t LENGTH, std::span<double> B,
            std::int32_t& IFAIL);

// Single-phase driver: solves A x = B in the equation order of TABLE and
// stores the solution into X by fluid node. DMAX is the largest change
// (sign kept, the lowest equation of equal magnitudes), NODE the failing
// fluid node (0 when none) and NAME "FHSFCT" or "FHSSUB". A is zeroed on
// every way out, so the next assembly starts from zeros; X is unchanged on a
// failure.
void FHSKSV(std::span<double> A, std::int32_t N, std::int32_t LENGTH, std::span<double> B,
            const kalvir::fluidloop::ProfileIndex& TABLE, std::span<double> X, double& DMAX, std::int32_t& NODE,
            std::string& NAME);

// The same with every profile array given apart (the column profile R may
// differ from the row profile F), as the two-phase solution keeps them.
void FHSKS1(std::span<double> A, std::span<const std::int32_t> D, std::span<const std::int32_t> F,
            std::span<const std::int32_t> L, std::int32_t N, std::span<const std::int32_t> ORDER,
            std::span<const std::int32_t> R, std::int32_t LENGTH, std::span<double> B, std::span<double> X,
            double& DMAX, std::int32_t& NODE, std::string& NAME);
