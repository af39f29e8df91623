// The link momentum equations of the two-phase solution, linearised around
// the current state once per iteration (FCMOMK). A momentum link's flow
// reads w = c0 + g (P1 - P2) + b2 rho2 + b1 rho1 over the halves of its two
// end nodes: friction, fitting loss, inertia, momentum flux, area change,
// gravity and a pressure source. When the relation is too weak to carry a
// pressure drop the link takes g = 1 and its flow from the mass balances of
// its ends (mode -1). An evaporative link carries the evaporation rate that
// its heat flux sustains, w = c0 - g P2.
//
// LDHSDP gives the slope of the saturated enthalpy along the saturation
// line, SGFLIN the flow through a node toward or from a link, and SMFLX1 and
// SMFLX2 the momentum flux at the ends of a link at nodes of status Q.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kalvir::fluidloop {

// The linearised flow law of each link, indexed from 0 for link 1; links
// that are not active carry zeros.
struct LinkCoefficients {
  std::span<double> g, b2, b1, c0;
  std::span<std::int32_t> mode;  // 1 pressure-flow relation, 0 closed, -1 flow from continuity
};

// The node and link state that the linearisation reads beside the model's
// arrays: densities of the iteration, densities and flows at the start of
// the step.
struct MomentumState {
  std::span<const double> density, saved_density;  // NF
  std::span<const double> saved_flow;              // NM
};

// Flow G through each end of link L at the ends whose node has status Q
// (empty for an end without one, 0 where the table closes the end), with U
// the upstream node (first for w >= 0). Momentum flux at such an end is
// G / A^2.
struct EndFlows {
  std::optional<double> first, second;
};
EndFlows q_end_flows(std::int32_t L);

}  // namespace kalvir::fluidloop

// The coefficients of every link for a step DT.
void FCMOMK(double DT, const kalvir::fluidloop::MomentumState& S, const kalvir::fluidloop::LinkCoefficients& K);

// d(h_sat)/dP along the saturation line at pressure P and quality X, fluid
// SLOT, internal node NODE.
double LDHSDP(std::int32_t SLOT, std::int32_t NODE, double P, double X);

// Flow through fluid node N as link L sees it: the flows of the node's links
// (status A or P) that end at N when L's flow is positive, else minus those
// that start at N.
double SGFLIN(std::int32_t L, std::int32_t N);

// G / (rho A^2) at the Q ends of link L for w >= 0 (SMFLX1) and w < 0
// (SMFLX2), RHO1 and RHO2 the end densities: M1 and M2, empty where the end
// keeps w / A^2.
void SMFLX1(std::int32_t L, double RHO1, double RHO2, std::optional<double>& M1, std::optional<double>& M2);
void SMFLX2(std::int32_t L, double RHO1, double RHO2, std::optional<double>& M1, std::optional<double>& M2);
