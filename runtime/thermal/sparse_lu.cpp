#include "runtime/thermal/sparse_lu.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <string>
#include <utility>

#include <amd.h>
#include <klu.h>

#include "runtime/control/run_end.h"
#include "runtime/platform/target_clones.h"

namespace kalvir::thermal {

namespace {

// Weight of an update in the dense tail against one through an index. The
// tail's updates run in vector lanes, but so do those of the supernodes
// that the near-dense rows form without it: measured on an enclosure's
// fill, a weight between 0.7 and 2 does best, below 0.5 the tail grows too
// wide.
constexpr double kDenseUpdate = 1.0;

// Explicit zeros a column may take on to join its parent's supernode,
// besides a quarter of its own entries (measured on an enclosure's fill:
// fewer zeros leave more updates through an index, more make more work).
constexpr std::size_t kSupernodeZeros = 8;

// The first position from which the factors are best held dense, given the
// number of entries of U in each row (UPPER_COUNT): n when no dense tail
// pays.
std::size_t dense_tail(std::span<const std::size_t> upper_count) {
  const std::size_t n = upper_count.size();
  std::vector<double> sparse_before(n + 1, 0.0);
  for (std::size_t c = 0; c < n; ++c) {
    const auto u = static_cast<double>(upper_count[c]);
    sparse_before[c + 1] = sparse_before[c] + u * u;
  }
  std::size_t best = n;
  double best_cost = sparse_before[n], dense_after = 0.0;
  for (std::size_t t = n; t-- > 0;) {
    const auto u = static_cast<double>(n - 1 - t);
    dense_after += kDenseUpdate * u * u;
    if (sparse_before[t] + dense_after < best_cost) {
      best_cost = sparse_before[t] + dense_after;
      best = t;
    }
  }
  return best;
}

// The symmetrised pattern of the N x N matrix whose row p has the columns
// COLUMNS[BEGIN[p] .. BEGIN[p + 1] - 1] (N = BEGIN.size() - 1): row p of the
// result, SYMMETRIC[SYMMETRIC_BEGIN[p] .. SYMMETRIC_BEGIN[p + 1] - 1], holds
// every q joined to p in either direction, sorted and without repeats, and
// p itself only when DIAGONAL.
void symmetric_pattern(std::span<const std::int32_t> begin, std::span<const std::int32_t> columns, bool diagonal,
                       std::vector<std::int32_t>& symmetric_begin, std::vector<std::int32_t>& symmetric) {
  const std::size_t n = begin.size() - 1;
  std::vector<std::int32_t> count(n + 1, 0);
  for (std::size_t p = 0; p < n; ++p) {
    if (diagonal) ++count[p + 1];
    for (auto e = static_cast<std::size_t>(begin[p]); e < static_cast<std::size_t>(begin[p + 1]); ++e) {
      const auto q = static_cast<std::size_t>(columns[e]);
      if (q == p) continue;
      ++count[p + 1];
      ++count[q + 1];
    }
  }
  std::partial_sum(count.begin(), count.end(), count.begin());
  symmetric.resize(static_cast<std::size_t>(count[n]));
  std::vector<std::int32_t> fill(count.begin(), count.end() - 1);
  for (std::size_t p = 0; p < n; ++p) {
    if (diagonal) symmetric[static_cast<std::size_t>(fill[p]++)] = static_cast<std::int32_t>(p);
    for (auto e = static_cast<std::size_t>(begin[p]); e < static_cast<std::size_t>(begin[p + 1]); ++e) {
      const auto q = static_cast<std::size_t>(columns[e]);
      if (q == p) continue;
      symmetric[static_cast<std::size_t>(fill[p]++)] = static_cast<std::int32_t>(q);
      symmetric[static_cast<std::size_t>(fill[q]++)] = static_cast<std::int32_t>(p);
    }
  }
  symmetric_begin.assign(n + 1, 0);
  std::size_t out = 0;
  for (std::size_t p = 0; p < n; ++p) {
    const auto b = symmetric.begin() + count[p], e = symmetric.begin() + count[p + 1];
    std::sort(b, e);
    const auto u = std::unique(b, e);
    for (auto it = b; it != u; ++it) symmetric[out++] = *it;
    symmetric_begin[p + 1] = static_cast<std::int32_t>(out);
  }
  symmetric.resize(out);
}

// The pivot test of the columns a row reaches: LARGEST becomes the largest
// multiplier |L(r, i) / L(i, i)| so far, for the COUNT values L(r, i) in L
// and 1 / L(i, i) in RECIPROCAL.
inline void note_multipliers(const double* l, const double* reciprocal, std::size_t count, double& largest) noexcept {
  for (std::size_t q = 0; q < count; ++q) largest = std::max(largest, std::abs(l[q] * reciprocal[q]));
}

// Columns I .. I + 3 of a supernode ending in column LAST, whose rows of U
// go on in OUTER columns after it, taken off row r held in W: their
// L(r, i) go to VALUE from slot S on, their updates of the supernode's
// later columns to W, and those of the columns after it are added to PANEL.
// The four L(r, i) solve a unit upper triangle of the four rows of U; V
// holds its inverse (see take_inverse), so that they come at once instead
// of one after the other. LARGEST and RECIPROCAL: note_multipliers.
// FRESH: PANEL is set rather than added to (the segment's first update).
inline void take_group(double* value, const std::size_t* diagonal, const double* v, const double* reciprocal,
                       double* w, double* panel, std::size_t i, std::size_t last, std::size_t outer, std::size_t& s,
                       bool fresh, double& largest) noexcept {
  constexpr std::size_t B = 4;
  const double* u[B];
  for (std::size_t q = 0; q < B; ++q) u[q] = value + diagonal[i + q] - (i + q);  // u[q][c] = U(i + q, c)
  const double w0 = w[i], w1 = w[i + 1], w2 = w[i + 2], w3 = w[i + 3];
  const double l[B] = {w0, w1 + w0 * v[0], (w2 + w0 * v[1]) + w1 * v[3],
                       (w3 + w0 * v[2]) + (w1 * v[4] + w2 * v[5])};
  for (std::size_t q = 0; q < B; ++q) value[s++] = l[q];
  note_multipliers(l, reciprocal + i, B, largest);
  for (std::size_t c = i + B; c <= last; ++c) {
    double sum = l[0] * u[0][c];
    for (std::size_t q = 1; q < B; ++q) sum += l[q] * u[q][c];
    w[c] -= sum;
  }
  const std::size_t o0 = last + 1;
  for (std::size_t c = 0; c < outer; ++c) {
    double sum = l[0] * u[0][o0 + c];
    for (std::size_t q = 1; q < B; ++q) sum += l[q] * u[q][o0 + c];
    panel[c] = fresh ? sum : panel[c] + sum;
  }
}

// take_group for two columns I and I + 1: L(r, i + 1) takes the first
// column's update in a register, and one pass over the later columns and
// PANEL takes both updates.
inline void take_two(double* value, const std::size_t* diagonal, const double* reciprocal, double* w, double* panel,
                     std::size_t i, std::size_t last, std::size_t outer, std::size_t& s, bool fresh,
                     double& largest) noexcept {
  const double* u0 = value + diagonal[i] - i;  // u0[c] = U(i, c)
  const double* u1 = value + diagonal[i + 1] - (i + 1);
  const double l[2] = {w[i], w[i + 1] - w[i] * u0[i + 1]};
  value[s++] = l[0];
  value[s++] = l[1];
  note_multipliers(l, reciprocal + i, 2, largest);
  for (std::size_t c = i + 2; c <= last; ++c) w[c] -= l[0] * u0[c] + l[1] * u1[c];
  const std::size_t o0 = last + 1;
  for (std::size_t c = 0; c < outer; ++c) {
    const double sum = l[0] * u0[o0 + c] + l[1] * u1[o0 + c];
    panel[c] = fresh ? sum : panel[c] + sum;
  }
}

// take_group for two rows at once (W and W_NEXT, their L going to VALUE
// from slots S and S_NEXT) of a supernode with no columns after it: each
// row's arithmetic is take_group's, but the four rows of U are read once.
inline void take_pair_group(double* value, const std::size_t* diagonal, const double* v, const double* reciprocal,
                            double* w, double* w_next, std::size_t i, std::size_t last, std::size_t& s,
                            std::size_t& s_next, double& largest, double& largest_next) noexcept {
  constexpr std::size_t B = 4;
  const double* u[B];
  for (std::size_t q = 0; q < B; ++q) u[q] = value + diagonal[i + q] - (i + q);  // u[q][c] = U(i + q, c)
  auto solve = [&](const double* x, double* l) {
    l[0] = x[0];
    l[1] = x[1] + x[0] * v[0];
    l[2] = (x[2] + x[0] * v[1]) + x[1] * v[3];
    l[3] = (x[3] + x[0] * v[2]) + (x[1] * v[4] + x[2] * v[5]);
  };
  double l[B], m[B];
  solve(w + i, l);
  solve(w_next + i, m);
  for (std::size_t q = 0; q < B; ++q) value[s++] = l[q];
  for (std::size_t q = 0; q < B; ++q) value[s_next++] = m[q];
  note_multipliers(l, reciprocal + i, B, largest);
  note_multipliers(m, reciprocal + i, B, largest_next);
  // Both rows and the four of U are distinct storage: said so, the loop
  // runs in vector lanes without checks for overlap.
  const double* __restrict u0 = u[0];
  const double* __restrict u1 = u[1];
  const double* __restrict u2 = u[2];
  const double* __restrict u3 = u[3];
  double* __restrict x = w;
  double* __restrict y = w_next;
  const double l0 = l[0], l1 = l[1], l2 = l[2], l3 = l[3], m0 = m[0], m1 = m[1], m2 = m[2], m3 = m[3];
  for (std::size_t c = i + B; c <= last; ++c) {
    x[c] -= ((l0 * u0[c] + l1 * u1[c]) + l2 * u2[c]) + l3 * u3[c];
    y[c] -= ((m0 * u0[c] + m1 * u1[c]) + m2 * u2[c]) + m3 * u3[c];
  }
}

// The inverse V of the unit upper triangle of U on rows and columns
// I .. I + 3, by its entries above the diagonal: V(0,1), V(0,2), V(0,3),
// V(1,2), V(1,3), V(2,3).
inline void take_inverse(const double* value, const std::size_t* diagonal, std::size_t i, double* v) noexcept {
  auto u = [&](std::size_t a, std::size_t b) { return value[diagonal[i + a] + (b - a)]; };
  const double v23 = -u(2, 3), v12 = -u(1, 2);
  const double v13 = -(u(1, 2) * v23 + u(1, 3));
  const double v01 = -u(0, 1);
  const double v02 = -(u(0, 1) * v12 + u(0, 2));
  const double v03 = -((u(0, 1) * v13 + u(0, 2) * v23) + u(0, 3));
  v[0] = v01;
  v[1] = v02;
  v[2] = v03;
  v[3] = v12;
  v[4] = v13;
  v[5] = v23;
}

}  // namespace

void SparseLu::analyse(std::int32_t n, std::span<const std::int32_t> begin, std::span<const std::int32_t> columns) {
  const auto nn = static_cast<std::size_t>(std::max(n, 0));
  pivoting_ = PivotingCache{};
  allocate_or_stop([&] {
    std::vector<std::int32_t> unique_begin, adj;
    symmetric_pattern(begin.first(nn + 1), columns, false, unique_begin, adj);

    // Without a join (AMD takes no empty pattern) any order is as good.
    perm_.resize(nn);
    std::iota(perm_.begin(), perm_.end(), 0);
    if (!adj.empty()) {
      const int status = amd_order(n, unique_begin.data(), adj.data(), perm_.data(), nullptr, nullptr);
      if (status == AMD_OUT_OF_MEMORY) throw std::bad_alloc();
      if (status != AMD_OK) internal_stop("SparseLu: AMD refused the Jacobian's pattern");
    }
    std::vector<std::int32_t> parent(nn, -1), ancestor(nn, -1);
    // Elimination tree of the pattern in the order PERM_ (Liu's algorithm,
    // with path compression through ANCESTOR).
    auto elimination_tree = [&] {
      inverse_.assign(nn, 0);
      for (std::size_t r = 0; r < nn; ++r) inverse_[static_cast<std::size_t>(perm_[r])] = static_cast<std::int32_t>(r);
      std::fill(parent.begin(), parent.end(), -1);
      std::fill(ancestor.begin(), ancestor.end(), -1);
      for (std::size_t r = 0; r < nn; ++r) {
        const auto p = static_cast<std::size_t>(perm_[r]);
        for (auto e = static_cast<std::size_t>(unique_begin[p]); e < static_cast<std::size_t>(unique_begin[p + 1]); ++e) {
          std::int32_t k = inverse_[static_cast<std::size_t>(adj[e])];
          while (k != -1 && static_cast<std::size_t>(k) < r) {
            const std::int32_t next = ancestor[static_cast<std::size_t>(k)];
            ancestor[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(r);
            if (next == -1) parent[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(r);
            k = next;
          }
        }
      }
    };
    elimination_tree();
    // Postorder of the tree: the same fill, but each subtree's columns
    // consecutive, so that a column's chain of single children lines up
    // into supernodes.
    {
      std::vector<std::int32_t> first_child(nn, -1), next_sibling(nn, -1), post, stack;
      for (std::size_t c = nn; c-- > 0;)
        if (parent[c] >= 0) {
          next_sibling[c] = first_child[static_cast<std::size_t>(parent[c])];
          first_child[static_cast<std::size_t>(parent[c])] = static_cast<std::int32_t>(c);
        }
      post.reserve(nn);
      for (std::size_t root = 0; root < nn; ++root) {
        if (parent[root] >= 0) continue;
        stack.push_back(static_cast<std::int32_t>(root));
        while (!stack.empty()) {
          const std::int32_t top = stack.back();
          std::int32_t& child = first_child[static_cast<std::size_t>(top)];
          if (child >= 0) {
            stack.push_back(child);
            child = next_sibling[static_cast<std::size_t>(child)];
          } else {
            post.push_back(top);
            stack.pop_back();
          }
        }
      }
      std::vector<std::int32_t> order(nn);
      for (std::size_t r = 0; r < nn; ++r) order[r] = perm_[static_cast<std::size_t>(post[r])];
      perm_.swap(order);
    }
    elimination_tree();
    // Column c of L below the diagonal (by symmetry row c of U right of it):
    // the rows r whose neighbours before r reach c climbing the tree.
    std::vector<std::vector<std::int32_t>> upper(nn);
    std::vector<std::int32_t> mark(nn, -1);
    for (std::size_t r = 0; r < nn; ++r) {
      const auto p = static_cast<std::size_t>(perm_[r]);
      const auto ri = static_cast<std::int32_t>(r);
      mark[r] = ri;
      for (auto e = static_cast<std::size_t>(unique_begin[p]); e < static_cast<std::size_t>(unique_begin[p + 1]); ++e)
        for (std::int32_t k = inverse_[static_cast<std::size_t>(adj[e])]; k < ri && mark[static_cast<std::size_t>(k)] != ri;
             k = parent[static_cast<std::size_t>(k)]) {
          mark[static_cast<std::size_t>(k)] = ri;
          upper[static_cast<std::size_t>(k)].push_back(ri);
        }
    }
    // A column whose parent follows it joins the parent's supernode when
    // that adds few explicit zeros: its column of L becomes the parent's
    // and the parent. The tree stays the same, and so does every column's
    // being part of its parent's.
    for (std::size_t c = nn >= 2 ? nn - 1 : 0; c-- > 0;) {
      if (parent[c] != static_cast<std::int32_t>(c + 1)) continue;
      const std::size_t own = upper[c].size(), joined = upper[c + 1].size() + 1;
      if (joined - own > kSupernodeZeros + own / 4) continue;
      upper[c].assign(1, static_cast<std::int32_t>(c + 1));
      upper[c].insert(upper[c].end(), upper[c + 1].begin(), upper[c + 1].end());
    }
    // The last rows are held dense, explicit zeros and all, from the first
    // position where that costs less: a column c of the factors with u
    // entries of U (as many of L) costs u * u updates, a dense one
    // (n - 1 - c)^2. The fill of a radiating enclosure, whose nodes all see
    // each other, makes its rows near dense anyway, and the dense tail is
    // one supernode.
    std::vector<std::size_t> upper_count(nn), lower_count(nn, 0);
    for (std::size_t c = 0; c < nn; ++c) upper_count[c] = upper[c].size();
    const std::size_t dense = dense_tail(upper_count);
    for (std::size_t c = dense; c < nn; ++c) {
      upper[c].resize(nn - 1 - c);
      std::iota(upper[c].begin(), upper[c].end(), static_cast<std::int32_t>(c + 1));
    }
    for (std::size_t c = 0; c < nn; ++c)
      for (std::int32_t r : upper[c]) ++lower_count[static_cast<std::size_t>(r)];
    // Row r: L(r, c) for the columns c whose column of L holds r (columns
    // taken in increasing order leave the row sorted), then the diagonal,
    // then row r of U.
    row_begin_.assign(nn + 1, 0);
    diagonal_.assign(nn, 0);
    for (std::size_t r = 0; r < nn; ++r) {
      diagonal_[r] = row_begin_[r] + lower_count[r];
      row_begin_[r + 1] = diagonal_[r] + 1 + upper[r].size();
    }
    column_.assign(row_begin_[nn], 0);
    std::vector<std::size_t> next_lower(row_begin_.begin(), row_begin_.end() - 1);
    for (std::size_t c = 0; c < nn; ++c) {
      for (std::int32_t r : upper[c]) column_[next_lower[static_cast<std::size_t>(r)]++] = static_cast<std::int32_t>(c);
      column_[diagonal_[c]] = static_cast<std::int32_t>(c);
      std::copy(upper[c].begin(), upper[c].end(), column_.begin() + static_cast<std::ptrdiff_t>(diagonal_[c] + 1));
    }
    values_.assign(row_begin_[nn], 0.0);
    consecutive_.assign(nn, 0);
    for (std::size_t r = 0; r < nn; ++r) {
      std::size_t s = row_begin_[r + 1] - 1;  // the diagonal at least
      while (s > row_begin_[r] && column_[s - 1] + 1 == column_[s]) --s;
      consecutive_[r] = s;
    }
    // Supernodes: runs of consecutive columns c, c + 1 of L where c's
    // column holds c + 1 and the whole of c + 1's column. Every later row
    // then holds all of a run's columns or none, and the run's rows of U end
    // in the same columns.
    supernode_last_.assign(nn, 0);
    for (std::size_t c = nn; c-- > 0;)
      supernode_last_[c] = c + 1 < nn && !upper[c].empty() && upper[c].front() == static_cast<std::int32_t>(c + 1) &&
                                   upper[c].size() == upper[c + 1].size() + 1
                               ? supernode_last_[c + 1]
                               : static_cast<std::int32_t>(c);
    std::size_t widest = 0;
    for (std::size_t c = 0; c < nn; ++c) widest = std::max(widest, upper[c].size());
    panel_.assign(widest, 0.0);
    supernode_first_.assign(nn, 0);
    for (std::size_t c = 1; c < nn; ++c)
      supernode_first_[c] = supernode_last_[c - 1] == supernode_last_[c] ? supernode_first_[c - 1] : static_cast<std::int32_t>(c);
    inverse_group_.assign(6 * nn, 0.0);

    given_begin_.assign(begin.begin(), begin.begin() + static_cast<std::ptrdiff_t>(nn + 1));
    given_column_.assign(columns.begin(), columns.begin() + begin[nn]);
    given_target_.resize(given_column_.size());
    for (std::size_t e = 0; e < given_column_.size(); ++e)
      given_target_[e] = inverse_[static_cast<std::size_t>(given_column_[e])];
    given_.assign(given_column_.size(), 0.0);
    given_diagonal_.assign(nn, 0.0);
    work_.assign(nn, 0.0);
    work_next_.assign(nn, 0.0);
    reciprocal_pivot_.assign(nn, 0.0);
  });
}

double SparseLu::value(std::int32_t p, std::int32_t q) const noexcept {
  const auto pp = static_cast<std::size_t>(p);
  double sum = 0.0;
  for (auto e = static_cast<std::size_t>(given_begin_[pp]); e < static_cast<std::size_t>(given_begin_[pp + 1]); ++e)
    if (given_column_[e] == q) sum += given_[e];
  return p == q ? sum + given_diagonal_[pp] : sum;
}

void SparseLu::clear_values() {
  std::fill(given_.begin(), given_.end(), 0.0);
  std::fill(given_diagonal_.begin(), given_diagonal_.end(), 0.0);
}

// Built three times, for processors with 512-bit vectors (whose 32
// registers hold both rows' multipliers of the dense block's groups), with
// 256-bit ones and for the baseline; the loader picks the one the processor
// runs.
KALVIR_CLONES("arch=x86-64-v4", "avx2", "default") std::int32_t SparseLu::factorise_in_order(double smallest) {
  const std::size_t n = perm_.size();
  const std::int32_t* column = column_.data();
  double* value = values_.data();
  double* panel = panel_.data();
  double* reciprocal_pivot = reciprocal_pivot_.data();
  const double* reciprocal = reciprocal_pivot;
  // Row r of both factors at once, from the rows before it: L(r, k) is
  // final once the rows k' < k have been taken off, so taking the columns
  // k < r in increasing order leaves in W, as row k of U is taken off,
  // L(r, c) for c < r and L(r, r) U(r, c) for c > r. Every column such an
  // update reaches is in row r's pattern.
  //
  // Row r of the matrix into W: zero over the factors' pattern, then the
  // entries, then the diagonal.
  auto load = [&](std::size_t r, double* w) __attribute__((always_inline)) {
    const std::size_t run = consecutive_[r];
    for (std::size_t s = row_begin_[r]; s < run; ++s) w[column[s]] = 0.0;
    std::fill(w + column[run], w + column[run] + (row_begin_[r + 1] - run), 0.0);
    const auto p = static_cast<std::size_t>(perm_[r]);
    for (auto e = static_cast<std::size_t>(given_begin_[p]); e < static_cast<std::size_t>(given_begin_[p + 1]); ++e)
      w[given_target_[e]] += given_[e];
    w[r] += given_diagonal_[p];
  };
  // Takes off row r (held in W) the columns of one supernode from column I
  // on, L(r, .) going to VALUE from slot S: up to its last column, or to
  // r - 1 for r's own supernode. Within the supernode the columns are
  // consecutive, so its part of each update is a dense run; the columns
  // after it, the same for all its rows, take the sum of the rows' updates
  // at once. LARGEST: note_multipliers.
  auto take_supernode = [&](std::size_t r, double* w, std::size_t& s, std::size_t i, double& largest)
                            __attribute__((always_inline)) {
    const auto k = static_cast<std::size_t>(supernode_first_[i]);
    const auto last_column = static_cast<std::size_t>(supernode_last_[i]);
    const std::size_t end = std::min(last_column + 1, r);
    if (end == i + 1 && last_column == i && k == i) {
      const double lrk = w[i];
      value[s++] = lrk;
      note_multipliers(&lrk, reciprocal + i, 1, largest);
      // Row i of U: through the index up to where its columns run
      // consecutively, then as a dense run.
      const std::size_t run = std::max(consecutive_[i], diagonal_[i] + 1), end_slot = row_begin_[i + 1];
      for (std::size_t t = diagonal_[i] + 1; t < run; ++t) w[column[t]] -= lrk * value[t];
      if (run < end_slot) {
        double* wr = w + column[run];
        const double* ur = value + run;
        for (std::size_t c = 0; c < end_slot - run; ++c) wr[c] -= lrk * ur[c];
      }
      return;
    }
    const std::size_t outer = row_begin_[last_column + 1] - diagonal_[last_column] - 1;
    // Four columns at a time: their L(r, i) first, each taken off the
    // next ones of the four (in registers), then one pass over the columns
    // after them with the four updates summed, which reads and writes W
    // once for four.
    for (; i + 4 <= end; i += 4)
      take_group(value, diagonal_.data(), inverse_group_.data() + 6 * i, reciprocal, w, panel, i, last_column, outer, s,
                 i == k, largest);
    if (i + 2 <= end) {
      take_two(value, diagonal_.data(), reciprocal, w, panel, i, last_column, outer, s, i == k, largest);
      i += 2;
    }
    for (; i < end; ++i) {
      const double lri = w[i];
      value[s++] = lri;
      note_multipliers(&lri, reciprocal + i, 1, largest);
      const double* ui = value + diagonal_[i] + 1;  // U(i, i + 1 ..)
      const std::size_t inner = last_column - i;
      double* wi = w + i + 1;
      for (std::size_t c = 0; c < inner; ++c) wi[c] -= lri * ui[c];
      const double* uo = ui + inner;
      if (i == k)
        for (std::size_t c = 0; c < outer; ++c) panel[c] = lri * uo[c];
      else
        for (std::size_t c = 0; c < outer; ++c) panel[c] += lri * uo[c];
    }
    // Those columns end in a consecutive run (often all of them: the
    // supernode's parent's), which takes the sums as a dense run.
    const std::size_t first_outer = diagonal_[last_column] + 1;
    const std::int32_t* outer_column = column + first_outer;
    const std::size_t run = std::max(consecutive_[last_column], first_outer) - first_outer;
    for (std::size_t c = 0; c < run; ++c) w[outer_column[c]] -= panel[c];
    if (run < outer) {
      double* wo = w + outer_column[run] - run;
      for (std::size_t c = run; c < outer; ++c) wo[c] -= panel[c];
    }
  };
  // Row r's pivot and row of U; returns false for a pivot too small or a
  // multiplier of the row (LARGEST) too large: the multipliers of an
  // elimination without exchanges stay bounded while each pivot is the
  // threshold's share of its column.
  auto finish = [&](std::size_t r, const double* w, double largest) __attribute__((always_inline)) {
    if (!(largest <= 1.0 / kPivotThreshold)) return false;
    const std::size_t d = diagonal_[r], last = row_begin_[r + 1];
    const double pivot = w[r];
    if (!(std::abs(pivot) >= smallest && std::isfinite(pivot))) return false;
    value[d] = pivot;
    // Each U(r, c) divides by this pivot: a product keeps the division off
    // the row.
    const double reciprocal = 1.0 / pivot;
    reciprocal_pivot[r] = reciprocal;
    const std::size_t run = std::max(consecutive_[r], d + 1);
    for (std::size_t s = d + 1; s < run; ++s) value[s] = w[column[s]] * reciprocal;
    if (run < last) {
      const double* from = w + column[run];
      double* to = value + run;
      for (std::size_t c = 0; c < last - run; ++c) to[c] = from[c] * reciprocal;
    }
    // Rows r - 3 .. r of U make a group of four of their supernode (which
    // groups from its first column on): its triangle's inverse serves every
    // later row.
    const auto first_column = static_cast<std::size_t>(supernode_first_[r]);
    if (r >= first_column + 3 && (r - 3 - first_column) % 4 == 0)
      take_inverse(value, diagonal_.data(), r - 3, inverse_group_.data() + 6 * (r - 3));
    return true;
  };
  double* w = work_.data();
  double* w_next = work_next_.data();
  for (std::size_t r = 0; r < n; ++r) {
    const auto own_first = static_cast<std::size_t>(supernode_first_[r]);
    const auto own_last = static_cast<std::size_t>(supernode_last_[r]);
    // Two rows of a supernode that ends the factors' columns (the dense
    // block a radiating enclosure's fill makes) go through its columns
    // together: each group's four rows of U are loaded once for both, and
    // each row still takes the same updates in the same order as alone.
    const bool pair = r + 1 <= own_last && row_begin_[own_last + 1] == diagonal_[own_last] + 1;
    std::size_t s = row_begin_[r];
    double largest = 0.0;
    load(r, w);
    while (s < diagonal_[r] && static_cast<std::size_t>(column[s]) < (pair ? own_first : r))
      take_supernode(r, w, s, static_cast<std::size_t>(column[s]), largest);
    if (!pair) {
      if (!finish(r, w, largest)) return perm_[r];
      continue;
    }
    std::size_t s_next = row_begin_[r + 1];
    double largest_next = 0.0;
    load(r + 1, w_next);
    while (static_cast<std::size_t>(column[s_next]) < own_first)
      take_supernode(r + 1, w_next, s_next, static_cast<std::size_t>(column[s_next]), largest_next);
    std::size_t i = own_first;
    for (; i + 4 <= r; i += 4)
      take_pair_group(value, diagonal_.data(), inverse_group_.data() + 6 * i, reciprocal, w, w_next, i, own_last, s,
                      s_next, largest, largest_next);
    if (i < r) take_supernode(r, w, s, i, largest);
    if (!finish(r, w, largest)) return perm_[r];
    take_supernode(r + 1, w_next, s_next, i, largest_next);
    if (!finish(r + 1, w_next, largest_next)) return perm_[r + 1];
    ++r;
  }
  return -1;
}

// KLU's analysis and factors of the matrix, in compressed columns of its
// symmetrised pattern with the diagonal (row indices sorted), and where each
// given entry and diagonal element goes there.
struct SparseLu::Pivoting {
  klu_common common{};
  klu_symbolic* symbolic = nullptr;
  klu_numeric* numeric = nullptr;
  std::vector<std::int32_t> begin, row, entry_slot, diagonal_slot;
  std::vector<double> value;

  Pivoting() { klu_defaults(&common); }
  Pivoting(const Pivoting&) = delete;
  Pivoting& operator=(const Pivoting&) = delete;
  ~Pivoting() {
    if (numeric != nullptr) klu_free_numeric(&numeric, &common);
    if (symbolic != nullptr) klu_free_symbolic(&symbolic, &common);
  }
};

void SparseLu::PivotingDelete::operator()(Pivoting* p) const noexcept { delete p; }

std::int32_t SparseLu::factorise_pivoting(double smallest) {
  const std::size_t n = perm_.size();
  const auto nn = static_cast<std::int32_t>(n);
  auto klu_failed = [](const klu_common& common) {
    if (common.status == KLU_OUT_OF_MEMORY) throw std::bad_alloc();
    internal_stop("SparseLu: KLU failed with status " + std::to_string(common.status));
  };
  allocate_or_stop([&] {
    if (pivoting_.factors) return;
    auto p = std::unique_ptr<Pivoting, PivotingDelete>(new Pivoting);
    p->common.tol = kPivotThreshold;
    // The pattern is symmetric: its rows are its columns.
    symmetric_pattern(given_begin_, given_column_, true, p->begin, p->row);
    // Slot of element (row, col): row's place in column col.
    auto slot = [&](std::size_t row, std::size_t col) {
      const auto first = p->row.begin() + p->begin[col], end = p->row.begin() + p->begin[col + 1];
      return static_cast<std::int32_t>(std::lower_bound(first, end, static_cast<std::int32_t>(row)) - p->row.begin());
    };
    p->entry_slot.resize(given_column_.size());
    for (std::size_t q = 0; q < n; ++q)
      for (auto e = static_cast<std::size_t>(given_begin_[q]); e < static_cast<std::size_t>(given_begin_[q + 1]); ++e)
        p->entry_slot[e] = slot(q, static_cast<std::size_t>(given_column_[e]));
    p->diagonal_slot.resize(n);
    for (std::size_t q = 0; q < n; ++q) p->diagonal_slot[q] = slot(q, q);
    p->value.assign(p->row.size(), 0.0);
    p->symbolic = klu_analyze(nn, p->begin.data(), p->row.data(), &p->common);
    if (p->symbolic == nullptr) klu_failed(p->common);
    pivoting_.factors = std::move(p);
  });
  Pivoting& p = *pivoting_.factors;
  std::fill(p.value.begin(), p.value.end(), 0.0);
  for (std::size_t e = 0; e < given_.size(); ++e) p.value[static_cast<std::size_t>(p.entry_slot[e])] += given_[e];
  for (std::size_t q = 0; q < n; ++q) p.value[static_cast<std::size_t>(p.diagonal_slot[q])] += given_diagonal_[q];
  if (p.numeric != nullptr) klu_free_numeric(&p.numeric, &p.common);
  p.numeric = klu_factor(p.begin.data(), p.row.data(), p.value.data(), p.symbolic, &p.common);
  if (p.numeric == nullptr) {
    if (p.common.status == KLU_SINGULAR) return p.common.singular_col;
    allocate_or_stop([&] { klu_failed(p.common); });
  }
  // KLU stops only at an exact zero: a pivot that is not finite, or below
  // SMALLEST, is as singular here.
  const auto* pivots = static_cast<const double*>(p.numeric->Udiag);
  for (std::size_t k = 0; k < n; ++k)
    if (!(std::abs(pivots[k]) >= smallest && std::isfinite(pivots[k]))) return p.symbolic->Q[k];
  pivoting_.active = true;
  return -1;
}

std::int32_t SparseLu::factorise(double smallest) {
  pivoting_.active = false;
  if (factorise_in_order(smallest) < 0) return -1;
  return factorise_pivoting(smallest);
}

void SparseLu::solve(std::span<double> b) {
  const std::size_t n = perm_.size();
  if (pivoting_.active) {
    Pivoting& p = *pivoting_.factors;
    if (klu_solve(p.symbolic, p.numeric, static_cast<std::int32_t>(n), 1, b.data(), &p.common) == 0)
      internal_stop("SparseLu: KLU failed with status " + std::to_string(p.common.status));
    return;
  }
  const std::int32_t* column = column_.data();
  const double* value = values_.data();
  double* y = work_.data();
  for (std::size_t r = 0; r < n; ++r) y[r] = b[static_cast<std::size_t>(perm_[r])];
  // Each row's sum in two halves, so that two additions are under way at a
  // time.
  auto sum = [&](std::size_t from, std::size_t to) {
    double even = 0.0, odd = 0.0;
    std::size_t t = from;
    for (; t + 2 <= to; t += 2) {
      even += value[t] * y[column[t]];
      odd += value[t + 1] * y[column[t + 1]];
    }
    if (t < to) even += value[t] * y[column[t]];
    return even + odd;
  };
  for (std::size_t r = 0; r < n; ++r) y[r] = (y[r] - sum(row_begin_[r], diagonal_[r])) * reciprocal_pivot_[r];
  for (std::size_t r = n; r-- > 0;) y[r] -= sum(diagonal_[r] + 1, row_begin_[r + 1]);
  for (std::size_t r = 0; r < n; ++r) b[static_cast<std::size_t>(perm_[r])] = y[r];
}

}  // namespace kalvir::thermal
