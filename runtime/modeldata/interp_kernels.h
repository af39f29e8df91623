// Interpolation kernels behind the user-array entry points: the choice of a
// window of points for a Lagrange interpolation, the Lagrange sum, the
// decoding of a table array's integer header (LADTAB) and the interpolation
// in tables of one and two independent variables.
//
// Two data shapes: doublet points (x1, y1, x2, y2, ... as a real ARRAY holds
// a curve) for LSPNT2 and LSLGN2, and an axis with its dependent values held
// apart (as a table array keeps them) for LSPNT1 and LSLGN1.
//
// Window status: 0, 1 (order outside what the data allows; the window was
// resized), 2 (x outside the abscissae; the window is the end point) or 10
// (the first abscissa is undefined; no window).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace kalvir {

// At most this many points take part in one Lagrange interpolation.
inline constexpr std::int32_t kMaxLagrangePoints = 10;

namespace detail {
// The undefined-value test of SDUNDF (the first 32-bit word of x in memory
// holds 2147483647), inline: the curve scans test every abscissa they pass,
// and an out-of-line call per point doubles the cost of a conductance
// lookup.
inline bool undefined_abscissa(double x) noexcept {
  std::int32_t first;
  std::memcpy(&first, &x, sizeof first);
  return first == 2147483647;
}
}  // namespace detail

}  // namespace kalvir

// Window of NWIN points, starting at point ISTART, around X for an order M
// interpolation over the N doublet points of POINTS. Only the points up to
// the last one before the first undefined abscissa take part.
void LSPNT2(std::span<const double> POINTS, std::int32_t N, std::int32_t M, double X,
            std::int32_t& ISTART, std::int32_t& NWIN, std::int32_t& IERR);
// The same over a plain axis of N ascending values.
void LSPNT1(std::span<const double> AXIS, std::int32_t N, std::int32_t M, double X,
            std::int32_t& ISTART, std::int32_t& NWIN, std::int32_t& IERR);

// Lagrange polynomial through the NWIN doublet points that POINTS starts
// with, evaluated at X. Two abscissae within 1.0E-37 of each other give
// IERR = 1; the factor between them is left out and the sum completed, so a
// curve with a step still gives a value.
void LSLGN2(std::span<const double> POINTS, std::int32_t NWIN, double X, double& RESULT,
            std::int32_t& IERR);
// The same with the ordinates in VALUES and the abscissae in AXIS, except
// that coincident abscissae stop the sum at once: IERR = 1 and RESULT holds
// the terms completed before.
void LSLGN1(std::span<const double> VALUES, std::span<const double> AXIS, std::int32_t NWIN,
            double X, double& RESULT, std::int32_t& IERR);

// Decodes the header T(1 .. NINT) of a table of N independent variables whose
// reals are R(1 .. NREAL). IFIX holds one index per dimension, 0 for a free
// one. Returns in IPOS and LEN the position in R and the length of the free
// dimension's axis, or of the dependent values when the last dimension is
// fixed. IERR: 0, 308 (a fixed index after a free one), 309 (a fixed index
// beyond its dimension); a malformed header ends the run ("Wrong entry in
// table", 403), as does a table that would reach outside R.
void LADTAB(std::span<const std::int32_t> T, std::int32_t N, std::span<const std::int32_t> IFIX,
            std::int32_t NINT, std::int32_t NREAL, std::int32_t& IPOS, std::int32_t& LEN,
            std::int32_t& IERR);

// Interpolation at X along the last dimension of the table (T, R): for N = 1
// the whole table, for N = 2 the grid line LINE of dimension 1 (LINE is not
// read when N = 1). IERR: 0, or 301 (coincident abscissae; the result is the
// partial sum LSLGN1 left); a table
// that cannot be decoded ends the run.
void LSINT1(std::span<const double> R, std::span<const std::int32_t> T, std::int32_t N,
            std::int32_t NORDER, std::int32_t LINE, std::int32_t NINT, std::int32_t NREAL,
            double X, double& RESULT, std::int32_t& IERR);

// Interpolation in a table of two independent variables at dimension 1 =
// X1, dimension 2 = X2, with the same order along both. IERR as LSINT1.
void LSINT2(std::span<const double> R, std::span<const std::int32_t> T, std::int32_t N,
            std::int32_t NORDER, std::int32_t NINT, std::int32_t NREAL, double X1, double X2,
            double& RESULT, std::int32_t& IERR);
