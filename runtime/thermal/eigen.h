// The generalised symmetric eigenproblem K phi = lambda C phi of the modal
// solution, C a positive diagonal (the capacitances of the modal nodes) and K
// the symmetric conductance matrix; and the largest-difference comparison of
// the modal step control.
//
// Matrices are M x M reals stored by columns: element (i, j), counted from 1,
// is element (j - 1) M + i - 1 of the span. K is scaled to the standard
// problem C^-1/2 K C^-1/2, which LAPACK brings to tridiagonal form by
// Householder reflections (LTRIDG's stage) and diagonalises by divide and
// conquer (LDIAGN's stage); the tridiagonal matrix's eigenvectors times the
// reduction's factor are V, so that the scaled matrix equals V A V^T, and V
// is finally scaled back so that V^T C V = I. The cost is that of a few
// M x M x M matrix products, which the optimised BLAS does at the machine's
// speed; the work space is kept from one decomposition to the next.
//
// S8RCSC drops a subdiagonal element only when it is negligible against both
// diagonal elements it couples: a stiff pair (one fast and one very slow
// mode) then keeps its slow eigenvalue to full relative accuracy, where a
// test against the larger element alone would leave it off by about x^2/a.
#pragma once

#include <cstdint>
#include <span>

namespace kalvir::thermal {

// Sweeps allowed per eigenvalue before the diagonalisation gives up (LAPACK's
// own limit).
inline constexpr std::int32_t kSweepsPerEigenvalue = 30;
// Relative size below which a subdiagonal element counts as zero.
inline constexpr double kNegligible = 2.220446049250313e-16;

}  // namespace kalvir::thermal

// Solves K phi = lambda C phi for the M capacitances C. A holds K on entry
// and the eigenvalues in its first column on return (the rest of A is then
// scratch); V receives the eigenvectors, column k for eigenvalue k, with
// V^T C V = I; the eigenvalues ascend. IERR 0 on success; M < 1 ends the
// run (severity 4), as does a diagonalisation that does not converge
// (IERR 1).
void LEIGEN(std::span<const double> C, std::int32_t M, std::span<double> A, std::span<double> V,
            std::int32_t& IERR);

// Reduction of the symmetric A (its lower triangle is read) to tridiagonal
// form A = Q T Q^T; A := T (the full matrix, zeros off the three diagonals)
// and V := V Q. IERR 0.
void LTRIDG(std::span<double> A, std::int32_t M, std::span<double> V, std::int32_t& IERR);

// Diagonalises the tridiagonal A (diagonal and subdiagonal; the upper half is
// not read), V := V Z with Z the tridiagonal matrix's eigenvectors. On return
// the diagonal of A holds the eigenvalues. A matrix whose every subdiagonal
// element S8RCSC finds negligible (TOL) is left as it is. LIMIT below 1
// allows no iteration; when the iteration fails (or is not allowed): IERR 1
// and the run ends (severity 4).
void LDIAGN(std::int32_t LIMIT, double TOL, std::span<double> A, std::int32_t M, std::span<double> V,
            std::int32_t& IERR);

// POSITION := the first row b >= START (b < M) whose subdiagonal element
// A(b + 1, b) is negligible: zero (below 1.0E-37), or
// A(b + 1, b)^2 <= TOL^2 |A(b, b)| |A(b + 1, b + 1)|; M when there is none.
// The unreduced block that a sweep works on thus ends at row POSITION.
void S8RCSC(std::span<const double> A, std::int32_t M, std::int32_t START, double TOL, std::int32_t& POSITION);

// A(i, 1) := A(i, i) for i = 2 ... M: the eigenvalues into the first column,
// in the order the sweeps leave them.
void LSRTEV(std::int32_t M, std::span<double> A);

// D := the largest |X(i) - Y(i)|, i = 1 ... N (at least the first element),
// starting from 0. A difference that is not a number makes D not a number.
void SRCOMP(std::span<const double> X, std::span<const double> Y, std::int32_t N, double& D);
