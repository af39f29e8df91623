// The few LAPACK routines the thermal solvers call, declared as the Fortran
// library exports them: every argument by address, and the length of each
// character argument appended at the end.
#pragma once

#include <cstddef>

using lapack_int = int;

extern "C" {
// Householder reduction of a symmetric matrix to tridiagonal form.
void dsytrd_(const char* uplo, const lapack_int* n, double* a, const lapack_int* lda, double* d, double* e,
             double* tau, double* work, const lapack_int* lwork, lapack_int* info, std::size_t uplo_len);
// Multiplies a matrix by the orthogonal factor of dsytrd.
void dormtr_(const char* side, const char* uplo, const char* trans, const lapack_int* m, const lapack_int* n,
             const double* a, const lapack_int* lda, const double* tau, double* c, const lapack_int* ldc,
             double* work, const lapack_int* lwork, lapack_int* info, std::size_t side_len, std::size_t uplo_len,
             std::size_t trans_len);
// Eigenvalues and eigenvectors of a symmetric tridiagonal matrix by divide
// and conquer.
void dstedc_(const char* compz, const lapack_int* n, double* d, double* e, double* z, const lapack_int* ldz,
             double* work, const lapack_int* lwork, lapack_int* iwork, const lapack_int* liwork, lapack_int* info,
             std::size_t compz_len);
// Eigenvalues and eigenvectors of a symmetric matrix (relatively robust
// representations for the tridiagonal stage).
void dsyevr_(const char* jobz, const char* range, const char* uplo, const lapack_int* n, double* a,
             const lapack_int* lda, const double* vl, const double* vu, const lapack_int* il, const lapack_int* iu,
             const double* abstol, lapack_int* m, double* w, double* z, const lapack_int* ldz, lapack_int* isuppz,
             double* work, const lapack_int* lwork, lapack_int* iwork, const lapack_int* liwork, lapack_int* info,
             std::size_t jobz_len, std::size_t range_len, std::size_t uplo_len);
}
