// User-array (ARRAY) decoding and interpolation: the entry points that the
// model program, the generated conductor evaluation and the heater manager
// call to read a curve or a table at a point.
//
// An ARRAY is named by its number, 1 to FLAGS(19); its entry in the info list
// gar_arrayinfolist starts at gar_arrayinfopointers(number). Curves are real
// ARRAYs of dimensions (2, n) holding x1, y1, x2, y2, ...; tables (form 4)
// are decoded by LADTAB. Problems are reported through SETERX; a function
// returns a value (0 after a failure) whenever the run goes on.
#pragma once

#include <cstdint>
#include <span>

// ARRAY forms, the first word of an info entry.
namespace kalvir::array_form {
inline constexpr std::int32_t kInteger = 1, kReal = 2, kCharacter = 3, kTable = 4;
inline constexpr std::int32_t kStepEvents = 5, kStepAndOutputEvents = 6;
}  // namespace kalvir::array_form

// Decodes the info entry of ARRAY IARRAY.
//   form 4:      IHEAD header start (gar_arrayvaluesint), ISTART start of the
//                reals, NDIM independent variables, NVAL header length,
//                NELEM number of reals; IDIM untouched.
//   other forms: IHEAD 0, ISTART start in the form's value store, NDIM and
//                IDIM(1 .. NDIM) the dimensions (as many as IDIM holds),
//                NVAL values set aside, NELEM the product of the dimensions.
// An unknown ARRAY number ("Invalid array", IERR 402) or an entry whose sizes
// do not fit its value store ("Invalid array size", IERR 401) ends the run.
void APARS(std::int32_t IARRAY, std::int32_t& IHEAD, std::int32_t& ISTART, std::int32_t& NDIM,
           std::span<std::int32_t> IDIM, std::int32_t& NVAL, std::int32_t& NELEM,
           std::int32_t& IFORM, std::int32_t& IERR);
// APARS, then the ARRAY must be real or a table: otherwise "Wrong arithmetic
// type" (severity 3) and IERR 303.
void ATYPR(std::int32_t IARRAY, std::int32_t& IHEAD, std::int32_t& ISTART, std::int32_t& NDIM,
           std::span<std::int32_t> IDIM, std::int32_t& NVAL, std::int32_t& NELEM,
           std::int32_t& IFORM, std::int32_t& IERR);

// The ARRAY's value at X: linear for order 1, Lagrange through NORDER + 1
// points (at most 10) otherwise, order 0 a step. Outside the data the end
// value holds, with a warning.
double INTRP1(double X, std::int32_t IARRAY, std::int32_t NORDER);
// INTRP1 at X + SHIFT reduced into [0, PERIOD); a curve is read over its
// declared points only.
double INTCY1(double X, std::int32_t IARRAY, std::int32_t NORDER, double PERIOD, double SHIFT);
// The value at (X, Y) of a table of two independent variables; the order is
// held to 0 .. 2.
double INTRP2(double X, double Y, std::int32_t IARRAY, std::int32_t NORDER);
// A conductance read at the mean of two node temperatures.
double CNDFN1(double T1, double T2, std::int32_t IARRAY, std::int32_t NORDER);

// Linear interpolation over the N doublet points of POINTS. Outside the
// defined abscissae: the end ordinate, "Value out of range of data" and
// IERR 204.
void LS1INT(std::span<const double> POINTS, std::int32_t N, double X, double& RESULT,
            std::int32_t& IERR);
