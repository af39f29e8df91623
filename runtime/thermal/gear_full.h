// The corrector of SLGEAR: Newton iterations on the implicit equations of the
// diffusion nodes with the full Jacobian over them, factorised by Crout's
// method without pivoting. The Jacobian lies in the real dynamic core above
// the words SLGEAR carves: ND rows of ND reals (ND diffusion nodes), row p for
// the p-th diffusion node in index order, column q for the q-th; while row p
// is built it spans NNODE words, indexed by node, and is then packed.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/thermal/gear.h"

// The step loop of SLGEAR.
void S5SLVE(kalvir::thermal::GearWork& WORK);
// Corrector of one step: iterations until converged (or the run ends).
void S5CORR(kalvir::thermal::GearWork& WORK);
// The diffusion nodes, the work-space test for 13 NNODE + ND (ND - 1) words
// and the corrector formula; false when the Jacobian does not fit (the run
// then ends).
bool S5JINT(kalvir::thermal::GearWork& WORK);
// Jacobian rows and residuals of all diffusion nodes.
void S5JCLC(kalvir::thermal::GearWork& WORK);
// Row of diffusion node I, indexed by node (ROW holds NNODE words), and its
// residual, with the view's kept powers of T (which S5JCLC takes).
void S5JROW(const kalvir::thermal::GearWork& WORK, std::int32_t I, std::span<double> ROW, double& RESIDUAL);
// Crout factorisation in place of the ND x ND matrix A (row-major): lower
// factor with its diagonal, unit upper factor. A zero or non-finite pivot
// ends the run, naming the diffusion node of its row.
void S5FACT(kalvir::thermal::GearWork& WORK, std::int32_t ND, std::span<double> A);
// Solution with the factors: B (ND words) becomes the correction.
void S5MATS(std::int32_t ND, std::span<const double> A, std::span<double> B);
// Update and convergence test.
kalvir::thermal::GearConvergence S5CONV(kalvir::thermal::GearWork& WORK);
