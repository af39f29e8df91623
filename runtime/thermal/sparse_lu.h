// A sparse linear solver for the Gear corrector's Jacobian: Crout's
// factorisation in a fixed order (lower factor with its diagonal, unit upper
// factor), the unknowns renumbered by SuiteSparse's approximate minimum
// degree (AMD) so that the fill stays small, and only the entries of the
// factors stored.
//
// Precondition of the fast path: the pivots, taken in that order, need no
// exchange. Each pivot is tested against its column of the matrix left to
// factorise: every multiplier L(r, c) / L(c, c) must be at most
// 1 / kPivotThreshold in magnitude (threshold partial pivoting that keeps the
// diagonal). A matrix whose columns are diagonally dominant always passes,
// and so does the Jacobian of a thermal network, C/h - dF/dT, while its
// conductances are not negative: each conductor stands in both rows it joins
// with the same value, and a radiative one's column entry -4 sigma GR y_j^3
// is matched by the 4 sigma GR y_j^3 on that column's diagonal. The factors'
// pattern is then known before any value is. The pattern of the lower factor
// is that of the Cholesky factor of the symmetrised pattern (its elimination
// tree gives each row's columns) and the upper factor's is its transpose.
// analyse works all of that out once per pattern; factorise then only does
// the arithmetic, into storage sized by analyse, at every Newton iteration.
//
// A matrix that fails the test (a negative conductance, a tiny or zero
// pivot that a row exchange avoids) is factorised again by SuiteSparse's KLU,
// which pivots by rows; solve then uses KLU's factors. Only a matrix that is
// singular with pivoting too is refused.
//
// The order is made a postorder of the elimination tree, and runs of
// columns each of which is its successor's child become supernodes (taking
// on a few explicit zeros where that joins more of them); the last rows may
// be held dense, one supernode. A supernode's columns are consecutive and
// its rows of U end alike, so a row takes its updates as dense runs in the
// processor's vector lanes, with one indexed pass for the columns after it:
// that is where the fill of a radiating enclosure goes. The rows of a
// supernode with no columns after it (such a fill's dense block) go in
// pairs, each read of its rows of U serving both.
//
// Row r of the factors (r an elimination position) is held contiguously:
// L(r, c) for its columns c < r in increasing order, L(r, r), then U(r, c)
// for its columns c > r in increasing order.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kalvir::thermal {

// Smallest ratio of a pivot to the entries below it in its column that the
// fast path takes (and that KLU prefers the diagonal at).
inline constexpr double kPivotThreshold = 0.1;

class SparseLu {
 public:
  // The pattern of an N x N matrix: row p's off-diagonal columns are
  // COLUMNS[BEGIN[p] .. BEGIN[p + 1] - 1] (0-based, any order, repeats
  // allowed); the diagonal is always in. Finds the ordering and the
  // factors' pattern and sizes the storage; the matrix is then all zero.
  void analyse(std::int32_t n, std::span<const std::int32_t> begin, std::span<const std::int32_t> columns);
  std::int32_t size() const noexcept { return static_cast<std::int32_t>(perm_.size()); }
  // Words of both factors: what the factorisation fills.
  std::size_t factor_words() const noexcept { return values_.size(); }

  // Sets every element of the matrix to zero.
  void clear_values();
  // Element (p, p) of the matrix, in the caller's numbering.
  double& diagonal(std::int32_t p) noexcept { return given_diagonal_[static_cast<std::size_t>(p)]; }
  // Entry E of the matrix: a term of element (p, COLUMNS[E]), E an index
  // into the COLUMNS given to analyse and p its row there. Each entry is a
  // word of its own, and the entries naming the same element add up; a
  // caller that sets every entry and diagonal needs no clear_values.
  double& entry(std::size_t e) noexcept { return given_[e]; }
  // Element (p, q) of the matrix as set.
  double value(std::int32_t p, std::int32_t q) const noexcept;

  // Factorises the matrix as set: in the analysed order, or with row
  // exchanges (KLU) when a pivot fails the test above or is below SMALLEST
  // in magnitude or not finite. Returns -1, or, when the matrix is singular
  // even with exchanges, the caller's index of a column whose pivot is below
  // SMALLEST or not finite.
  std::int32_t factorise(double smallest);
  // Whether the last factorisation exchanged rows (KLU's factors).
  bool pivoted() const noexcept { return pivoting_.active; }
  // B (the caller's numbering) becomes the solution of A x = B, with the
  // factors of the last factorisation. A copy of the solver keeps the
  // pattern and the matrix, not KLU's factors: factorise it before solving.
  void solve(std::span<double> b);

 private:
  // The factorisation in the analysed order: -1, or the caller's index of
  // the row at which a pivot failed.
  std::int32_t factorise_in_order(double smallest);
  // KLU's factorisation of the matrix as set, for factorise.
  std::int32_t factorise_pivoting(double smallest);

  // KLU's analysis and factors, made at the first matrix that needs them
  // and kept for the pattern (ACTIVE while they are the last factors); a
  // copy starts without them.
  struct Pivoting;
  struct PivotingDelete {
    void operator()(Pivoting* p) const noexcept;
  };
  struct PivotingCache {
    PivotingCache() = default;
    PivotingCache(const PivotingCache&) noexcept {}
    PivotingCache& operator=(const PivotingCache&) noexcept {
      factors.reset();
      active = false;
      return *this;
    }
    PivotingCache(PivotingCache&&) noexcept = default;
    PivotingCache& operator=(PivotingCache&&) noexcept = default;
    ~PivotingCache() = default;
    std::unique_ptr<Pivoting, PivotingDelete> factors;
    bool active = false;
  };

  std::vector<std::int32_t> perm_;     // elimination position -> caller's index
  std::vector<std::int32_t> inverse_;  // caller's index -> elimination position
  std::vector<std::size_t> row_begin_; // row r's slots: row_begin_[r] .. row_begin_[r + 1] - 1
  std::vector<std::size_t> diagonal_;  // slot of (r, r)
  std::vector<std::int32_t> column_;   // per slot: its column (elimination position)
  // Per row: the first slot from which its columns are consecutive to the
  // row's end, which the factorisation then takes as a dense run.
  std::vector<std::size_t> consecutive_;
  std::vector<double> values_;         // per slot: the factors
  // The matrix as the caller sets it: per entry of its pattern (BEGIN and
  // COLUMNS as given) and per diagonal element, and each entry's column in
  // elimination positions.
  std::vector<std::int32_t> given_begin_, given_column_, given_target_;
  std::vector<double> given_, given_diagonal_;
  std::vector<std::int32_t> supernode_last_;  // per column: the last column of its supernode
  std::vector<std::int32_t> supernode_first_;  // per column: the first column of its supernode
  std::vector<double> inverse_group_;  // per first column i of a group of four: its triangle's inverse (take_group)
  std::vector<double> work_;             // a row by column, and the right-hand side in elimination order
  std::vector<double> work_next_;        // the next row by column, where two rows are taken together
  std::vector<double> panel_;            // a supernode's summed update of the columns after it
  std::vector<double> reciprocal_pivot_; // 1 / L(r, r)
  PivotingCache pivoting_;
};

// SLGEAR's Jacobian: the solver and the pattern it was analysed for (the
// view's generation and the diffusion nodes), each diffusion node's rank
// (-1 for other nodes) and, per rank, the ranks of its diffusion-node
// neighbours (COLUMNS[BEGIN[p] .. BEGIN[p + 1] - 1]); NEXT_BEGIN and
// NEXT_COLUMNS hold the pattern of a rebuilt view until it is known to
// differ.
struct SparseJacobian {
  SparseLu solver;
  std::uint64_t generation = 0;
  std::vector<std::int32_t> nodes, rank, begin, columns, next_begin, next_columns;
};

}  // namespace kalvir::thermal
