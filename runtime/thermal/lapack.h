// The few LAPACK and BLAS routines the thermal solvers call, declared as the
// Fortran libraries export them: every argument by address, and the length
// of each character argument appended at the end.
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
// y := alpha op(A) x + beta y, op(A) = A or A^T (TRANS "N" or "T"); with
// beta 0, y is not read.
void dgemv_(const char* trans, const lapack_int* m, const lapack_int* n, const double* alpha, const double* a,
            const lapack_int* lda, const double* x, const lapack_int* incx, const double* beta, double* y,
            const lapack_int* incy, std::size_t trans_len);
}
