// The corrector of SLGEAR: Newton iterations on the implicit equations of the
// diffusion nodes with the full Jacobian over them, factorised by Crout's
// method without pivoting. Row p of the Jacobian belongs to the p-th
// diffusion node in index order, column q to the q-th; a row's entries go
// straight to a sparse solver (sparse_lu.h) whose minimum-degree order
// keeps the fill small. The dynamic core must still have room for the
// ND x ND matrix that a dense factorisation would take, so that a model
// runs, or stops for want of DYSTOR, as it always did.
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
// Jacobian rows (into WORK.jacobian) and residuals of all diffusion nodes.
void S5JCLC(kalvir::thermal::GearWork& WORK);
// Row P of the Jacobian (the P-th diffusion node's, 0-based) into the
// solver's entries of that row, every one of them set, and its residual,
// with the view's kept powers of T (which S5JCLC takes).
void S5JROW(kalvir::thermal::GearWork& WORK, std::int32_t P, double& RESIDUAL);
// Crout factorisation of the Jacobian in place: lower factor with its
// diagonal, unit upper factor. A zero or non-finite pivot ends the run,
// naming the diffusion node of its row.
void S5FACT(kalvir::thermal::GearWork& WORK);
// Solution with the factors: B (its first ND words, by diffusion rank)
// becomes the correction.
void S5MATS(kalvir::thermal::GearWork& WORK, std::span<double> B);
// Update and convergence test.
kalvir::thermal::GearConvergence S5CONV(kalvir::thermal::GearWork& WORK);
