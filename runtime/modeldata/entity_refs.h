// Entity references (ZENT) and the status statement's changes: reading a node
// reference ("N4", "T:SUB1:7", "QS<alias>") or a conductor reference
// ("GL(1,2)", "GV(SUB1:3,4,2)"), finding the conductor between two nodes, and
// setting a node's status letter or a conductor's activity letter.
//
// TEXT arguments are references with the blanks already removed; LEN is the
// length of the reference in TEXT and positions count from 1.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/modeldata/model_tree.h"

// Classifies TEXT by its 1 to 3 leading capital letters. ISNODE = 1 for a
// node reference ("N" or a nodal entity name), ICTYPE 1-6 for GL, GR, GF, GV,
// M, GP; ISENT = 1 when entity letters were recognised; NLET = position after
// the letters. "M" without any '(' in TEXT is no reference (all outputs 0).
// IERR 0 or 312 (reported).
void LSVENT(std::string_view TEXT, std::int32_t& ISENT, std::int32_t& NLET, std::int32_t& ICTYPE, std::int32_t& ISNODE,
            std::int32_t& IERR);

// The node reference at POS (a user number or an alias of submodel ISUB, up to
// the next ',' or ')' or the end); INODE = its internal index, POS = the
// position after it. IERR 1 unknown alias (reported), 2 no such node.
void LSNREF(std::int32_t ISUB, std::string_view TEXT, std::int32_t LEN, std::int32_t& POS, std::int32_t& INODE,
            std::int32_t& IERR);

// Reads the node reference at POS and gives the node the status letter STATUS
// (B, D, X for thermal nodes; F, J, R, V, Q, S, H, U, I, K, O for fluid
// nodes). CHANGED = 1 when a thermal node's letter actually changed. IERR 1
// characters after the reference (warned; the status is still set), 2 letter
// not valid for the node (warned; nothing set), or an error of LSNREF.
void LSNSST(std::int32_t& POS, std::int32_t ISUB, std::string_view TEXT, std::int32_t LEN, std::string_view STATUS,
            std::int32_t& CHANGED, std::int32_t& IERR);

// Reads the conductor reference "(node,node[,seq])" starting at the '(' at POS;
// each node may carry a submodel path relative to ISUB. SEQ defaults to 1.
// IERR 1-8 or 10, each reported with CALLER in front (see the message texts).
void LSC1RF(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::string_view CALLER,
            std::int32_t ISUB, const kalvir::ModelNames& NAMES, std::string_view TEXT, std::int32_t LEN,
            std::int32_t& POS, std::int32_t& SEQ, std::int32_t& NODE1, std::int32_t& NODE2, std::int32_t& IERR);

// ICOND = number (within its kind) of the SEQ-th conductor of type ICTYPE
// (1 GL, 2 GR, 3 GF, 4 GV, 5 M, 6 GP) between internal nodes NODE1 and NODE2,
// in the order of NODE1's connections. IERR 318 "Conductor not found".
void LSC2RF(std::int32_t SEQ, std::int32_t ICTYPE, std::int32_t NODE1, std::int32_t NODE2, std::int32_t& ICOND,
            std::int32_t& IERR);

namespace kalvir {
// Position of one of the connection walks below; a default-constructed
// walk starts at the node's first connection.
struct ConductorWalk {
  bool started = false;
  std::int32_t kind = 0;      // list walks: the run being read
  std::int32_t position = 0;  // list walks: the entry last returned
  std::int32_t first = 0;     // GV walk: conductor with the node first (0 none)
  std::int32_t second = 0;    // GV walk: conductor with the node second (0 none)
  int last_used = 0;          // GV walk: 1 or 2, the cursor to advance next
};
}  // namespace kalvir

// Connection walks: each call gives the next conductor at internal node NODE
// (ICOND, signed as its list holds it) with the node at its other end
// (OTHER, an internal index); IEND = 1 when there is none left.
// LSGCNM: linear, radiative or fluidic conductors (ITYPE 1-3), whatever the
// other node's status. LSGFCN: the mass-flow links of a fluid node (none for
// a thermal node). LSGTVW: view-factor conductors with the node at either
// end, +k when it is the first node of conductor k, -k when the second.
void LSGCNM(std::int32_t ITYPE, std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND,
            std::int32_t& OTHER, std::int32_t& IEND);
void LSGFCN(std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND, std::int32_t& OTHER,
            std::int32_t& IEND);
void LSGTVW(std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND, std::int32_t& OTHER,
            std::int32_t& IEND);

// Sets the activity letter of the referenced conductor ('A' for STATUS "ON",
// 'I' for "OFF"): reads the reference at POS (LSC1RF, relative to ISUB), finds
// the conductor (LSC2RF). CHANGED = 1 when a linear, radiative or fluidic
// conductor's letter actually changed. IERR 318 bad status word, or an error
// of LSC1RF / LSC2RF; nothing is changed on error.
void LSCSST(std::string_view CALLER, std::string_view STATUS, std::int32_t ICTYPE, std::int32_t ISUB,
            std::string_view TEXT, std::int32_t LEN, std::int32_t& POS, std::int32_t& CHANGED, std::int32_t& IERR);
