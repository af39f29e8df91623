// The per-fluid adapter matrix: which library routine, by which calling
// pattern, answers each property code for each fluid slot.
//
// This is the one statement of the matrix. The adapters QPxxyy, their
// declarations, the lookup table by slot and code and the tests are all
// expanded from it, so a cell is changed here and nowhere else.
//
// Row: property code yy (two digits). Columns: fluid slots 01 AMMONIA,
// 02 WATER, 03 AIR, 04 AIRW, 05 R11, 06 R114, 07 R12, 08 R21, 09 R22, 10 R502.
// A cell is a calling pattern, with the routine it calls in brackets:
//   A(r)  r(NODE, T', TABS)                B(r)  r(T', TABS)
//   C(r)  r(NODE, PABS, P')                D(r)  r(P', T', NODE)
//   E(r)  r(NODE, PABS, P', TABS, T')      F(r)  r(PABS, P', TABS, T')
//   G(r)  r(P', PABS, T', TABS)
//   J(r)  r(PABS, TABS, T'), returned as a model pressure
//   K(r)  r(NODE, PABS, P', TABS), returned as a model temperature
//   L     XGHPT1(P', T', X, IFL, NODE)
//   M     XGTPH1(P', H, X, IFL, NODE), returned as a model temperature
//   HL(t) the compressed liquid's enthalpy at P' and T', on the saturation
//         line of the saturation-temperature member t (compressed_liquid.h)
//   TL(t, h) the compressed liquid's temperature at P' and H, the inverse of
//         HL(t), starting from the saturated-liquid enthalpy member h;
//         returned as a model temperature
//   N     XJT(P', T', 1, IFL, NODE)
//   Q     the saturated liquid and vapour adapters of codes yy - 1 and yy + 1,
//         mixed linearly in the quality
//   R     the saturated densities of codes 02 and 04, mixed by specific volume
//   S, U  Joule-Thomson coefficient by a difference of density in temperature
//         (liquid a step down, vapour a step up)
//   V, W  isothermal compressibility by a difference of density in pressure
//         (liquid a step up, vapour a step down)
//   Z     compressibility of liquid water from its speed of sound (PSND01, XRHO)
//   HUMID_RHO(a, v)  humid-air density: dry air a at its partial pressure
//                    plus water vapour v at its partial pressure
//   HUMID_CP(a, v)   humid-air specific heat, mean per unit mass
//   HUMID_MOLAR(a, v) humid-air conductivity or viscosity, mean by mole fraction
//   HUMID_CP_SAT, HUMID_H_SAT  humid-air saturated-vapour specific heat and
//                    enthalpy (fixed functions of the humidity ratio)
//   HUMID_H, HUMID_T humid-air enthalpy per kilogram of dry air from T, and
//                    the temperature from it (library/psychrometrics.h)
//   In the humid-air mixtures the vapour routine answers within its range;
//   below the triple point the dilute vapour's extension does.
//   VALUE(v)  the constant v;  T_SAT(t)  the model temperature of t kelvin;
//   INV_P  1 / (P + PABS)
//   none  no adapter
// with T' = (T + TABS) - TABS and P' = (P + PABS) - PABS.
#pragma once

// clang-format off
#define KALVIR_QP_MATRIX(ROW, ACTION) \
  ROW(ACTION, 01, E(PROL15), G(PROL01), none, none, E(PROL03), E(PROL11), E(PROL05), E(PROL07), E(PROL09), E(PROL13)) \
  ROW(ACTION, 02, A(PRHO15), A(PRHO01), none, none, A(PRHO03), A(PRHO11), A(PRHO05), A(PRHO07), A(PRHO09), A(PRHO13)) \
  ROW(ACTION, 03, R, R, none, none, R, R, R, R, R, R) \
  ROW(ACTION, 04, A(PRHO16), C(PRHO02), none, none, C(PRHO04), C(PRHO12), C(PRHO06), C(PRHO08), C(PRHO10), C(PRHO14)) \
  ROW(ACTION, 05, E(PROS16), F(PROS02), G(PRHO00), HUMID_RHO(PRHO00, PROS02), F(PROS04), F(PROS12), F(PROS06), F(PROS08), F(PROS10), F(PROS14)) \
  ROW(ACTION, 06, A(PCP15), A(PCP01), none, none, A(PCP03), A(PCP11), A(PCP05), A(PCP07), A(PCP09), A(PCP13)) \
  ROW(ACTION, 07, A(PCP15), A(PCP01), none, none, A(PCP03), A(PCP11), A(PCP05), A(PCP07), A(PCP09), A(PCP13)) \
  ROW(ACTION, 08, Q, Q, none, none, Q, Q, Q, Q, Q, Q) \
  ROW(ACTION, 09, A(PCP16), A(PCP02), VALUE(1111.5554), HUMID_CP_SAT, D(PCP04), D(PCP12), D(PCP06), A(PCP08), D(PCP10), D(PCP14)) \
  ROW(ACTION, 10, A(PCP16), A(PCP02), B(PCP00), HUMID_CP(PCP00, PCP02), D(PCP04), D(PCP12), D(PCP06), A(PCP08), D(PCP10), D(PCP14)) \
  ROW(ACTION, 11, A(PCND15), A(PCND01), none, none, A(PCND03), A(PCND11), A(PCND05), A(PCND07), A(PCND09), A(PCND13)) \
  ROW(ACTION, 12, A(PCND15), A(PCND01), none, none, A(PCND03), A(PCND11), A(PCND05), A(PCND07), A(PCND09), A(PCND13)) \
  ROW(ACTION, 13, Q, Q, none, none, Q, Q, Q, Q, Q, Q) \
  ROW(ACTION, 14, A(PCND16), A(PCND02), none, none, A(PCND04), A(PCND12), A(PCND06), A(PCND08), A(PCND10), A(PCND14)) \
  ROW(ACTION, 15, A(PCND16), A(PCND02), B(PCND00), HUMID_MOLAR(PCND00, PCND02), A(PCND04), A(PCND12), A(PCND06), A(PCND08), A(PCND10), A(PCND14)) \
  ROW(ACTION, 16, A(PVSC15), A(PVSC01), none, none, A(PVSC03), A(PVSC11), A(PVSC05), A(PVSC07), A(PVSC09), A(PVSC13)) \
  ROW(ACTION, 17, A(PVSC15), A(PVSC01), none, none, A(PVSC03), A(PVSC11), A(PVSC05), A(PVSC07), A(PVSC09), A(PVSC13)) \
  ROW(ACTION, 18, Q, Q, none, none, Q, Q, Q, Q, Q, Q) \
  ROW(ACTION, 19, A(PVSC16), A(PVSC02), none, none, A(PVSC04), A(PVSC12), A(PVSC06), A(PVSC08), A(PVSC10), A(PVSC14)) \
  ROW(ACTION, 20, A(PVSC16), A(PVSC02), B(PVSC00), HUMID_MOLAR(PVSC00, PVSC02), A(PVSC04), A(PVSC12), A(PVSC06), A(PVSC08), A(PVSC10), A(PVSC14)) \
  ROW(ACTION, 22, B(PSIG15), B(PSIG01), none, none, B(PSIG03), B(PSIG11), B(PSIG05), B(PSIG07), B(PSIG09), B(PSIG13)) \
  ROW(ACTION, 26, HL(PTS16), HL(PTS02), none, none, HL(PTS04), HL(PTS12), HL(PTS06), HL(PTS08), HL(PTS10), HL(PTS14)) \
  ROW(ACTION, 27, C(PETH15), C(PETH01), VALUE(0.0), VALUE(0.0), C(PETH03), C(PETH11), C(PETH05), C(PETH07), C(PETH09), C(PETH13)) \
  ROW(ACTION, 28, Q, Q, none, none, Q, Q, Q, Q, Q, Q) \
  ROW(ACTION, 29, C(PETH16), C(PETH02), VALUE(1111.5554), HUMID_H_SAT, C(PETH04), C(PETH12), C(PETH06), C(PETH08), C(PETH10), C(PETH14)) \
  ROW(ACTION, 30, L, L, L, HUMID_H, L, L, L, L, L, L) \
  ROW(ACTION, 31, TL(PTS16, PETH15), TL(PTS02, PETH01), none, none, TL(PTS04, PETH03), TL(PTS12, PETH11), TL(PTS06, PETH05), TL(PTS08, PETH07), TL(PTS10, PETH09), TL(PTS14, PETH13)) \
  ROW(ACTION, 32, K(PTS16), K(PTS02), T_SAT(1.0), T_SAT(273.16), K(PTS04), K(PTS12), K(PTS06), K(PTS08), K(PTS10), K(PTS14)) \
  ROW(ACTION, 35, M, M, M, HUMID_T, M, M, M, M, M, M) \
  ROW(ACTION, 37, J(PSAT16), J(PSAT02), none, none, J(PSAT04), J(PSAT12), J(PSAT06), J(PSAT08), J(PSAT10), J(PSAT14)) \
  ROW(ACTION, 41, S, S, none, none, S, S, S, S, S, S) \
  ROW(ACTION, 44, N, N, none, none, N, N, N, N, N, N) \
  ROW(ACTION, 45, U, U, VALUE(0.0), VALUE(0.0), U, U, U, U, U, U) \
  ROW(ACTION, 46, A(PKT15), Z, none, none, V, V, V, V, V, V) \
  ROW(ACTION, 50, W, W, INV_P, INV_P, W, W, W, W, W, W)
// clang-format on

// --- Expansion machinery ----------------------------------------------------
//
// KALVIR_QP_EXPAND(ACTION) calls ACTION(xx, yy, cell) once for every cell that
// names an adapter, in row order and slot order; "none" cells are skipped.
// The cell keeps its pattern token first, so ACTION can paste a prefix onto it
// (KALVIR_X_##cell) to choose an expansion per pattern.

#define KALVIR_QP_EXPAND(ACTION) KALVIR_QP_MATRIX(KALVIR_QP_ROW_EACH, ACTION)

#define KALVIR_QP_ROW_EACH(ACTION, yy, c01, c02, c03, c04, c05, c06, c07, c08, c09, c10) \
  KALVIR_QP_CELL(ACTION, 01, yy, c01)                                                    \
  KALVIR_QP_CELL(ACTION, 02, yy, c02) KALVIR_QP_CELL(ACTION, 03, yy, c03)                \
      KALVIR_QP_CELL(ACTION, 04, yy, c04) KALVIR_QP_CELL(ACTION, 05, yy, c05)            \
          KALVIR_QP_CELL(ACTION, 06, yy, c06) KALVIR_QP_CELL(ACTION, 07, yy, c07)        \
              KALVIR_QP_CELL(ACTION, 08, yy, c08) KALVIR_QP_CELL(ACTION, 09, yy, c09)    \
                  KALVIR_QP_CELL(ACTION, 10, yy, c10)

#define KALVIR_QP_CELL(ACTION, xx, yy, cell) \
  KALVIR_QP_CELL_1(KALVIR_QP_HAS_##cell, ACTION, xx, yy, cell)
#define KALVIR_QP_CELL_1(which, ACTION, xx, yy, cell) KALVIR_QP_CELL_2(which, ACTION, xx, yy, cell)
#define KALVIR_QP_CELL_2(which, ACTION, xx, yy, cell) KALVIR_QP_WHEN_##which(ACTION, xx, yy, cell)
#define KALVIR_QP_WHEN_qp_yes(ACTION, xx, yy, cell) ACTION(xx, yy, cell)
#define KALVIR_QP_WHEN_qp_no(ACTION, xx, yy, cell)

// Whether a cell names an adapter, by its pattern token.
#define KALVIR_QP_HAS_none qp_no
#define KALVIR_QP_HAS_A(r) qp_yes
#define KALVIR_QP_HAS_B(r) qp_yes
#define KALVIR_QP_HAS_C(r) qp_yes
#define KALVIR_QP_HAS_D(r) qp_yes
#define KALVIR_QP_HAS_E(r) qp_yes
#define KALVIR_QP_HAS_F(r) qp_yes
#define KALVIR_QP_HAS_G(r) qp_yes
#define KALVIR_QP_HAS_J(r) qp_yes
#define KALVIR_QP_HAS_K(r) qp_yes
#define KALVIR_QP_HAS_L qp_yes
#define KALVIR_QP_HAS_M qp_yes
#define KALVIR_QP_HAS_HL(t) qp_yes
#define KALVIR_QP_HAS_TL(t, h) qp_yes
#define KALVIR_QP_HAS_N qp_yes
#define KALVIR_QP_HAS_Q qp_yes
#define KALVIR_QP_HAS_R qp_yes
#define KALVIR_QP_HAS_S qp_yes
#define KALVIR_QP_HAS_U qp_yes
#define KALVIR_QP_HAS_V qp_yes
#define KALVIR_QP_HAS_W qp_yes
#define KALVIR_QP_HAS_Z qp_yes
#define KALVIR_QP_HAS_HUMID_RHO(a, v) qp_yes
#define KALVIR_QP_HAS_HUMID_CP(a, v) qp_yes
#define KALVIR_QP_HAS_HUMID_MOLAR(a, v) qp_yes
#define KALVIR_QP_HAS_HUMID_CP_SAT qp_yes
#define KALVIR_QP_HAS_HUMID_H_SAT qp_yes
#define KALVIR_QP_HAS_HUMID_H qp_yes
#define KALVIR_QP_HAS_HUMID_T qp_yes
#define KALVIR_QP_HAS_VALUE(v) qp_yes
#define KALVIR_QP_HAS_T_SAT(t) qp_yes
#define KALVIR_QP_HAS_INV_P qp_yes

// Slot or code as an int: 1##08 - 100 is 8 (a bare 08 would be an octal literal).
#define KALVIR_QP_NUMBER(nn) (1##nn - 100)
