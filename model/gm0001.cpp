// Generated conductor evaluation of ORVIK_TESTBED_01: 190 linear conductors
// recomputed from a user array at the mean temperature of their two nodes.
//
// The statements come from 16 panels of nodes laid out in rows and columns;
// each panel joins every node to its right-hand and lower neighbours (and,
// for a ring row, its first column to its last), and optionally to the node
// one layer further on. The statement list is built from the panels at
// compile time, so the evaluation is one loop without allocation.
#include <array>
#include <cstdint>
#include <span>

#include "model/orvik_testbed_01.h"

namespace {

struct Panel {
  std::int32_t gl_from;  // position of the panel's first statement
  std::int32_t first;    // first node position
  std::int32_t rows;
  std::int32_t cols;
  bool ring;             // each row closed: first and last column joined
  std::int32_t layer;    // offset of the layer link, 0 for none
  double fh;             // factor along a row
  double fv;             // factor between rows
  double fl;             // factor of the layer links
  double fl_last;        // factor of the panel's last node's layer link
};

constexpr std::array<Panel, 16> kPanels{{
    {226, 86, 3, 3, false, 42, 0.0002499889, 0.0002499889, 0.257049, 0.257049},
    {247, 95, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {260, 101, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {273, 107, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {286, 113, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {299, 119, 3, 3, false, 42, 0.0002499889, 0.0002499889, 0.257049, 0.257049},
    {320, 128, 3, 3, false, 0, 0.0002499889, 0.0002499889, 0.0, 0.0},
    {332, 137, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {339, 143, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {346, 149, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {353, 155, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {360, 161, 3, 3, false, 0, 0.0002499889, 0.0002499889, 0.0, 0.0},
    {657, 278, 2, 4, true, 8, 0.0001880212, 0.0003323798, 0.7489304, 0.7489304},
    {677, 286, 2, 4, true, 0, 0.0001880212, 0.0003323798, 0.0, 0.0},
    {701, 302, 1, 4, true, 4, 9.174663e-06, 0.0, 0.03444776, 0.03444776},
    {709, 306, 1, 4, true, 0, 9.174663e-06, 0.0, 0.0, 0.0},
}};

constexpr std::size_t kStatements = 190;

using Statement = orvik::ConductorStatement;

consteval std::array<Statement, kStatements> make_statements() {
  std::array<Statement, kStatements> out{};
  std::size_t s = 0;
  for (const Panel& p : kPanels) {
    std::int32_t k = p.gl_from;
    const std::int32_t last = p.first + p.rows * p.cols - 1;
    for (std::int32_t n = p.first; n <= last; ++n) {
      const std::int32_t r = (n - p.first) / p.cols;
      const std::int32_t c = (n - p.first) % p.cols;
      if (c < p.cols - 1) out[s++] = {k++, n, n + 1, 1, p.fh};
      if (p.ring && c == 0) out[s++] = {k++, n, n + p.cols - 1, 1, p.fh};
      if (r < p.rows - 1) out[s++] = {k++, n, n + p.cols, 1, p.fv};
      if (p.layer != 0) out[s++] = {k++, n, n + p.layer, 2, n == last ? p.fl_last : p.fl};
    }
  }
  if (s != kStatements) throw "the panels must give 190 statements";
  return out;
}

constexpr std::array<Statement, kStatements> kStatementList = make_statements();

}  // namespace

std::span<const orvik::ConductorStatement> orvik::conductor_statements() { return kStatementList; }

void GM0001(std::int32_t& FLAG) { GM0001_00001(FLAG); }

void GM0001_00001(std::int32_t& /*FLAG*/) {
  for (const Statement& st : kStatementList) {
    const std::int32_t d3 = gar_modeldirectory(3, 1);
    const std::int32_t d4 = gar_modeldirectory(4, 1);
    const std::int32_t d14 = gar_modeldirectory(14, 1);
    gar_linearconds(d4 + st.k) =
        CNDFN1(gar_thermalnodetemps(d3 + st.i), gar_thermalnodetemps(d3 + st.j), d14 + st.array, 1) * st.factor;
  }
}
