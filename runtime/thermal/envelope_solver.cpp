#include "runtime/thermal/envelope_solver.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "runtime/control/run_end.h"
#include "runtime/thermal/lanes.h"

namespace kalvir::thermal {
namespace {

// Vertices reached from START by breadth-first search over the unvisited
// ones, in the order they are reached, and the number of levels.
struct Levels {
  std::vector<std::int32_t> order;
  std::int32_t depth = 0;
  std::vector<std::int32_t> last_level;
};

void breadth_first(std::int32_t start, std::span<const std::int32_t> begin, std::span<const std::int32_t> adj,
                   const std::vector<std::uint8_t>& done, std::vector<std::int32_t>& mark, std::int32_t stamp,
                   Levels& out) {
  out.order.clear();
  out.last_level.clear();
  out.order.push_back(start);
  mark[static_cast<std::size_t>(start)] = stamp;
  std::size_t level_begin = 0;
  out.depth = 0;
  while (level_begin < out.order.size()) {
    const std::size_t level_end = out.order.size();
    ++out.depth;
    out.last_level.assign(out.order.begin() + static_cast<std::ptrdiff_t>(level_begin),
                          out.order.begin() + static_cast<std::ptrdiff_t>(level_end));
    for (std::size_t q = level_begin; q < level_end; ++q) {
      const auto v = static_cast<std::size_t>(out.order[q]);
      for (auto e = static_cast<std::size_t>(begin[v]); e < static_cast<std::size_t>(begin[v + 1]); ++e) {
        const auto w = static_cast<std::size_t>(adj[e]);
        if (done[w] != 0 || mark[w] == stamp) continue;
        mark[w] = stamp;
        out.order.push_back(adj[e]);
      }
    }
    level_begin = level_end;
  }
}

}  // namespace

void reverse_cuthill_mckee(std::int32_t n, std::span<const std::int32_t> begin, std::span<const std::int32_t> adj,
                           std::vector<std::int32_t>& order) {
  const auto nn = static_cast<std::size_t>(std::max(n, 0));
  auto degree = [&](std::int32_t v) { return begin[static_cast<std::size_t>(v) + 1] - begin[static_cast<std::size_t>(v)]; };
  std::vector<std::uint8_t> done(nn, 0);
  std::vector<std::int32_t> mark(nn, 0);
  std::int32_t stamp = 0;
  // Vertices by increasing degree: each part starts from its lowest-degree
  // vertex not yet placed.
  std::vector<std::int32_t> by_degree(nn);
  std::iota(by_degree.begin(), by_degree.end(), 0);
  std::stable_sort(by_degree.begin(), by_degree.end(),
                   [&](std::int32_t a, std::int32_t b) { return degree(a) < degree(b); });
  order.clear();
  order.reserve(nn);
  Levels levels, trial;
  std::vector<std::int32_t> neighbours;
  for (std::int32_t seed : by_degree) {
    if (done[static_cast<std::size_t>(seed)] != 0) continue;
    // A pseudo-peripheral start (George and Liu): move to the lowest-degree
    // vertex of the last level while that deepens the level structure.
    std::int32_t start = seed;
    breadth_first(start, begin, adj, done, mark, ++stamp, levels);
    for (int tries = 0; tries < 8; ++tries) {
      const std::int32_t candidate = *std::min_element(
          levels.last_level.begin(), levels.last_level.end(),
          [&](std::int32_t a, std::int32_t b) { return degree(a) < degree(b); });
      breadth_first(candidate, begin, adj, done, mark, ++stamp, trial);
      if (trial.depth <= levels.depth) break;
      start = candidate;
      std::swap(levels, trial);
    }
    // Cuthill-McKee from the start: each vertex's unplaced neighbours in
    // order of increasing degree.
    const std::size_t head = order.size();
    order.push_back(start);
    done[static_cast<std::size_t>(start)] = 1;
    for (std::size_t q = head; q < order.size(); ++q) {
      const auto v = static_cast<std::size_t>(order[q]);
      neighbours.clear();
      for (auto e = static_cast<std::size_t>(begin[v]); e < static_cast<std::size_t>(begin[v + 1]); ++e) {
        const auto w = static_cast<std::size_t>(adj[e]);
        if (done[w] != 0) continue;
        done[w] = 1;
        neighbours.push_back(adj[e]);
      }
      std::stable_sort(neighbours.begin(), neighbours.end(),
                       [&](std::int32_t a, std::int32_t b) { return degree(a) < degree(b); });
      order.insert(order.end(), neighbours.begin(), neighbours.end());
    }
  }
  std::reverse(order.begin(), order.end());
}

void EnvelopeSolver::analyse(std::int32_t n, std::span<const std::int32_t> begin,
                             std::span<const std::int32_t> columns) {
  const auto nn = static_cast<std::size_t>(std::max(n, 0));
  allocate_or_stop([&] {
    // The symmetric pattern without the diagonal and without repeats.
    std::vector<std::int32_t> count(nn + 1, 0);
    for (std::size_t p = 0; p < nn; ++p)
      for (auto e = static_cast<std::size_t>(begin[p]); e < static_cast<std::size_t>(begin[p + 1]); ++e) {
        const auto q = static_cast<std::size_t>(columns[e]);
        if (q == p) continue;
        ++count[p + 1];
        ++count[q + 1];
      }
    std::partial_sum(count.begin(), count.end(), count.begin());
    std::vector<std::int32_t> adj(static_cast<std::size_t>(count[nn]));
    std::vector<std::int32_t> fill(count.begin(), count.end() - 1);
    for (std::size_t p = 0; p < nn; ++p)
      for (auto e = static_cast<std::size_t>(begin[p]); e < static_cast<std::size_t>(begin[p + 1]); ++e) {
        const auto q = static_cast<std::size_t>(columns[e]);
        if (q == p) continue;
        adj[static_cast<std::size_t>(fill[p]++)] = static_cast<std::int32_t>(q);
        adj[static_cast<std::size_t>(fill[q]++)] = static_cast<std::int32_t>(p);
      }
    std::vector<std::int32_t> unique_begin(nn + 1, 0);
    std::size_t out = 0;
    for (std::size_t p = 0; p < nn; ++p) {
      const auto b = adj.begin() + count[p], e = adj.begin() + count[p + 1];
      std::sort(b, e);
      const auto u = std::unique(b, e);
      for (auto it = b; it != u; ++it) adj[out++] = *it;
      unique_begin[p + 1] = static_cast<std::int32_t>(out);
    }
    adj.resize(out);

    reverse_cuthill_mckee(n, unique_begin, adj, perm_);
    inverse_.assign(nn, 0);
    for (std::size_t r = 0; r < nn; ++r) inverse_[static_cast<std::size_t>(perm_[r])] = static_cast<std::int32_t>(r);
    first_.assign(nn, 0);
    lower_start_.assign(nn + 1, 0);
    upper_start_.assign(nn + 1, 0);
    for (std::size_t r = 0; r < nn; ++r) {
      const auto p = static_cast<std::size_t>(perm_[r]);
      auto f = static_cast<std::int32_t>(r);
      for (auto e = static_cast<std::size_t>(unique_begin[p]); e < static_cast<std::size_t>(unique_begin[p + 1]); ++e)
        f = std::min(f, inverse_[static_cast<std::size_t>(adj[e])]);
      first_[r] = f;
      lower_start_[r + 1] = lower_start_[r] + (r - static_cast<std::size_t>(f)) + 1;
      upper_start_[r + 1] = upper_start_[r] + (r - static_cast<std::size_t>(f));
    }
    lower_.assign(lower_start_[nn], 0.0);
    upper_.assign(upper_start_[nn], 0.0);
    work_.assign(nn, 0.0);
    reciprocal_pivot_.assign(nn, 0.0);
  });
}

void EnvelopeSolver::clear_values() {
  std::fill(lower_.begin(), lower_.end(), 0.0);
  std::fill(upper_.begin(), upper_.end(), 0.0);
}

// Built twice, for the machine's wider vectors and for the baseline; the
// loader picks the one the processor runs.
__attribute__((target_clones("avx2", "default"))) std::int32_t EnvelopeSolver::factorise(double smallest) {
  const std::size_t n = perm_.size();
  // Row k of L and column k of U together, k = 0, 1, ...: L(k, j) and
  // U(j, k) for j < k need only rows and columns before k, and the
  // finished parts of row k and column k left of j.
  for (std::size_t k = 0; k < n; ++k) {
    const auto fk = static_cast<std::size_t>(first_[k]);
    double* lk = lower_.data() + lower_start_[k];  // lk[m - fk] = L(k, m)
    double* uk = upper_.data() + upper_start_[k];  // uk[m - fk] = U(m, k)
    for (std::size_t j = fk; j < k; ++j) {
      const auto fj = static_cast<std::size_t>(first_[j]);
      const double* lj = lower_.data() + lower_start_[j];
      const double* uj = upper_.data() + upper_start_[j];
      const std::size_t b = std::max(fk, fj);
      lk[j - fk] -= dot_wide(lk + (b - fk), uj + (b - fj), j - b);
      uk[j - fk] = (uk[j - fk] - dot_wide(lj + (b - fj), uk + (b - fk), j - b)) * reciprocal_pivot_[j];
    }
    double& pivot = lk[k - fk];
    pivot -= dot_wide(lk, uk, k - fk);
    if (!(std::abs(pivot) >= smallest && std::isfinite(pivot))) return perm_[k];
    // Each U(k, c) of a later column divides by this pivot: a product
    // keeps the division off the chain through the column.
    reciprocal_pivot_[k] = 1.0 / pivot;
  }
  return -1;
}

void EnvelopeSolver::solve(std::span<double> b) {
  const std::size_t n = perm_.size();
  double* y = work_.data();
  for (std::size_t r = 0; r < n; ++r) y[r] = b[static_cast<std::size_t>(perm_[r])];
  for (std::size_t r = 0; r < n; ++r) {
    const auto f = static_cast<std::size_t>(first_[r]);
    const double* lr = lower_.data() + lower_start_[r];
    y[r] = (y[r] - dot(lr, y + f, r - f)) * reciprocal_pivot_[r];
  }
  for (std::size_t c = n; c-- > 0;) {
    const auto f = static_cast<std::size_t>(first_[c]);
    const double* uc = upper_.data() + upper_start_[c];
    const double yc = y[c];
    for (std::size_t m = f; m < c; ++m) y[m] -= uc[m - f] * yc;
  }
  for (std::size_t r = 0; r < n; ++r) b[static_cast<std::size_t>(perm_[r])] = y[r];
}

}  // namespace kalvir::thermal
