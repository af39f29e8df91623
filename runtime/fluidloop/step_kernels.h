// Step kernels of the single-phase fluid-loop transients: what one pass of a
// method does to one node, on temperature vectors the method hands in.
//
// Thermal nodes: the conductance sums on given vectors (FSTGSM, SFGSUM), the
// predictors that also find the stability limit CSGMIN (FSTSTB forward-
// backward, STSTAB implicit, FSTDIF explicit), the per-node trapezoidal
// Newton update S4TCLC, the arithmetic-node solver of the explicit method
// FSTARH, the forward-backward iteration SFWBKT and the implicit pass SFBKTS.
//
// Fluid nodes: the conductance sums FSFGSM, the predictor SFSTAB, the
// explicit step FSFDIF, the per-node update SFCALC with its iteration SFWBKF
// and implicit pass SFBKFS, the solver of nodes without heat capacity FSTARF,
// and the delayed inflow temperatures (GHIINI, SGNODM, SGTDEL) of a model run
// with TIMELA "YES". SNFE, SGMCIM and SGCOIM serve the time loops.
//
// The heat a node receives is the sum of its five heat sources plus the
// condensation heat of the step, which is kept as a separate term so that the
// model's source arrays are never modified during a step.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/profile_solver.h"

namespace kalvir::fluidloop {

// The delayed time levels: NF + 1 rows by `levels` levels in a ring; row
// NF + 1 of a level holds its time, rows 1..NF each node's mixed inflow
// temperature (kelvin) at that time. Empty without TIMELA "YES". The
// accumulated time and the current level are the ring's own and start afresh
// with every solution.
struct HistoryRing {
  std::span<double> table;
  std::int32_t levels = 1;
  double elapsed = 0.0;
  std::int32_t level = 1;
  bool on() const noexcept { return !table.empty(); }
  double& at(std::int32_t row, std::int32_t lvl) const;
};

// The work vectors of one step, indexed from 0 for node 1. Fluid nodes see
// the thermal temperatures of t_end once the thermal nodes have moved.
struct StepVectors {
  std::span<double> t0, t, f0;      // thermal start, iterate, start flows
  std::span<double> t_end;          // thermal temperatures the fluid nodes see
  std::span<double> tf0, tf, f0f;   // fluid start, iterate, start flows
  std::span<double> rho, cp, vdot;  // fluid density, specific heat, volume change rate
  std::span<const double> condensation;        // heat per thermal node, may be empty
  std::span<std::int32_t> frozen_t, frozen_f;  // implicit method
  HistoryRing* history = nullptr;
};

// Heat into thermal node i: its five sources plus the step's condensation heat.
double node_heat(std::int32_t i, std::span<const double> condensation);

}  // namespace kalvir::fluidloop

// --- Thermal nodes --------------------------------------------------------

// Sums of thermal node I on T and TF: SUMG over active linear, linearised
// radiative and positive fluidic conductors, SUMGT = sum G x Tj (model units).
void FSTGSM(std::int32_t I, std::span<const double> T, std::span<const double> TF, double& SUMG, double& SUMGT);

// Sums of a thermal node (KIND 0) or fluid node (KIND not 0) N on T and TF
// in absolute temperatures: S1 = sum of linear and fluidic G (for a fluid
// node with its inflowing links and mass source), S2 = sum G x Tj, S3 =
// STEFAN x sum GR, S4 = STEFAN x sum GR x Tj^4.
void SFGSUM(std::int32_t KIND, std::int32_t N, std::span<const double> T, std::span<const double> TF, double& S1,
            double& S2, double& S3, double& S4);

// Predictors over DT (forward-backward over DTIMUT, implicit, explicit):
// T from T0 and TF0; F0 (not FSTDIF); CSGMIN with NCSGMN.
void FSTSTB(const kalvir::fluidloop::StepVectors& V);
void STSTAB(const kalvir::fluidloop::StepVectors& V, double DT);
void FSTDIF(const kalvir::fluidloop::StepVectors& V, double DT);

// One damped update of thermal node I of V.t from its sums over DT; returns
// |change|, raises RELXCC with NRLXCC. A temperature beyond 1.0E10 ends the run.
double S4TCLC(std::int32_t I, double S1, double S2, double S3, double S4, const kalvir::fluidloop::StepVectors& V,
              double DT);

// Explicit method: arithmetic thermal nodes of T solved once (no damping).
void FSTARH(std::span<double> T, std::span<const double> TF, std::span<const double> CONDENSATION);

// Forward-backward iteration of the thermal window over DTIMUT (fluid nodes
// at V.tf0); ITER counts the passes.
void SFWBKT(const kalvir::fluidloop::StepVectors& V, std::int32_t& ITER);

// One implicit pass over the thermal nodes over DT; a node changing by
// RELXCA or more clears PASS and ALL.
void SFBKTS(const kalvir::fluidloop::StepVectors& V, double DT, std::int32_t& PASS, std::int32_t& ALL);

// --- Fluid nodes ------------------------------------------------------------

// Sums of fluid node N on TF and T: SUMG, SUMGT (absolute).
void FSFGSM(std::int32_t N, std::span<const double> TF, std::span<const double> T, double& SUMG, double& SUMGT);

// Throughput of fluid node N: half the sum of its active links' |flow| and of
// its |mass source|.
double SGNODM(std::int32_t N);

// Every level of the history: time 0 and each node's mixed inflow temperature.
void GHIINI(const kalvir::fluidloop::HistoryRing& H, std::span<const double> TF, std::span<const double> T);

// Inflow temperature of node N delayed by TAU at accumulated time ELAPSED;
// FOUND 0, or the number of levels when the history is too short (then the
// newest value).
double SGTDEL(const kalvir::fluidloop::HistoryRing& H, double ELAPSED, std::int32_t N, double TAU,
              std::int32_t& FOUND);

// Predictor of the forward-backward and implicit methods over DTIMEU; the
// stability limit goes to LIMIT and LIMITNODE.
void SFSTAB(const kalvir::fluidloop::StepVectors& V, double& LIMIT, std::int32_t& LIMITNODE);

// Explicit fluid step over DT; the limit joins CSGMIN and NCSGMN.
void FSFDIF(const kalvir::fluidloop::StepVectors& V, double DT);

// One damped update of fluid node N of V.tf from its sums; returns |change|,
// raises FRLXCC with NFRLXC.
double SFCALC(std::int32_t N, double S1, double S2, double S3, double S4, const kalvir::fluidloop::StepVectors& V);

// Forward-backward fluid iteration; ITER counts the passes.
void SFWBKF(const kalvir::fluidloop::StepVectors& V, std::int32_t& ITER);

// One implicit pass over the fluid nodes in the order of TABLE's column 1.
void SFBKFS(const kalvir::fluidloop::StepVectors& V, const kalvir::fluidloop::ProfileIndex& TABLE,
            std::int32_t& PASS, std::int32_t& ALL);

// Explicit method: fluid nodes of status H solved once.
void FSTARF(const kalvir::fluidloop::StepVectors& V);

// Specific enthalpy of every fluid node; STATE takes each node's vapour
// quality from pressure and temperature. A liquid or vapour node whose state
// has passed into the other phase is reported once (SNFE codes 1 and 2,
// severity 2) and takes that phase's quality and flow regime.
void SNFE(std::span<double> STATE);

// Link thermal conductances from the node specific heats CP.
void SGMCIM(std::span<const double> CP);

// DTCOUR := min(DTCOUR, transit time of every link) from the node densities
// RHO, a flow below MINFLO counting as MINFLO.
void SGCOIM(std::span<const double> RHO);
