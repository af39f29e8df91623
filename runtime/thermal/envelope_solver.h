// A sparse linear solver for the Gear corrector's Jacobian: Crout's
// factorisation without pivoting (lower factor with its diagonal, unit upper
// factor) held in envelope storage, the unknowns renumbered by reverse
// Cuthill-McKee so that the envelope, and with it the fill, stays narrow.
//
// Without pivoting the factors keep the matrix's envelope: row r of the
// lower factor is zero left of the row's first entry, and column c of the
// upper factor above the column's first entry. The pattern is made
// symmetric, so one first index per row serves the row of L and the column
// of U. Within the envelope each row of L and each column of U is one
// contiguous run, so every inner product reads two runs.
//
// The ordering depends on the pattern only; it is made again only when the
// pattern changes (analyse), and the values are set and factorised afresh at
// every Newton iteration.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kalvir::thermal {

class EnvelopeSolver {
 public:
  // The pattern of an N x N matrix: row p's off-diagonal columns are
  // COLUMNS[BEGIN[p] .. BEGIN[p + 1] - 1] (0-based, any order, repeats
  // allowed); the diagonal is always in. Finds the ordering and sizes the
  // storage; the values are then all zero.
  void analyse(std::int32_t n, std::span<const std::int32_t> begin, std::span<const std::int32_t> columns);
  std::int32_t size() const noexcept { return static_cast<std::int32_t>(perm_.size()); }
  // Words of both factors: what the factorisation touches.
  std::size_t envelope_words() const noexcept { return lower_.size() + upper_.size(); }

  // Sets every value to zero.
  void clear_values();
  // Element (p, q) of the matrix in the caller's numbering; (p, q) must be
  // the diagonal or in the pattern given to analyse.
  double& at(std::int32_t p, std::int32_t q) noexcept {
    const auto [r, s] = positions(p, q);
    return s <= r ? lower_[lower_start_[r] + (s - first(r))] : upper_[upper_start_[s] + (r - first(s))];
  }
  // Element (p, q), or 0 for an element outside the envelope (before the
  // factorisation: the matrix as set).
  double value(std::int32_t p, std::int32_t q) const noexcept {
    const auto [r, s] = positions(p, q);
    if (std::min(r, s) < first(std::max(r, s))) return 0.0;
    return s <= r ? lower_[lower_start_[r] + (s - first(r))] : upper_[upper_start_[s] + (r - first(s))];
  }

  // Factorises in place. Returns -1, or the caller's index of the first row
  // (in elimination order) whose pivot is below SMALLEST in magnitude or not
  // finite; the factorisation stops there.
  std::int32_t factorise(double smallest);
  // B (the caller's numbering) becomes the solution of A x = B.
  void solve(std::span<double> b);

 private:
  std::pair<std::size_t, std::size_t> positions(std::int32_t p, std::int32_t q) const noexcept {
    return {static_cast<std::size_t>(inverse_[static_cast<std::size_t>(p)]),
            static_cast<std::size_t>(inverse_[static_cast<std::size_t>(q)])};
  }
  std::size_t first(std::size_t r) const noexcept { return static_cast<std::size_t>(first_[r]); }

  std::vector<std::int32_t> perm_;     // elimination position -> caller's index
  std::vector<std::int32_t> inverse_;  // caller's index -> elimination position
  std::vector<std::int32_t> first_;    // per position: first column of its row in the envelope
  std::vector<std::size_t> lower_start_, upper_start_;
  std::vector<double> lower_;  // row r: columns first_[r] .. r (the diagonal last)
  std::vector<double> upper_;  // column c: rows first_[c] .. c - 1
  std::vector<double> work_;   // the right-hand side in elimination order
  std::vector<double> reciprocal_pivot_;  // 1 / L(r, r)
};

// SLGEAR's Jacobian: the solver and the pattern it was analysed for (the
// view's generation and the diffusion nodes), each diffusion node's rank
// (-1 for other nodes) and, per rank, the ranks of its diffusion-node
// neighbours (COLUMNS[BEGIN[p] .. BEGIN[p + 1] - 1]).
struct SparseJacobian {
  EnvelopeSolver solver;
  std::uint64_t generation = 0;
  std::vector<std::int32_t> nodes, rank, begin, columns;
};

// Reverse Cuthill-McKee order of the graph of N vertices whose (symmetric)
// adjacency is ADJ[BEGIN[v] .. BEGIN[v + 1] - 1]: ORDER[position] = vertex.
// Each connected part starts from a pseudo-peripheral vertex of the lowest
// degree; neighbours join in order of increasing degree.
void reverse_cuthill_mckee(std::int32_t n, std::span<const std::int32_t> begin, std::span<const std::int32_t> adj,
                           std::vector<std::int32_t>& order);

}  // namespace kalvir::thermal
