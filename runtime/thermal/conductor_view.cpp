#include "runtime/thermal/conductor_view.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "runtime/control/flags.h"
#include "runtime/control/run_end.h"

namespace kalvir::thermal {
namespace {

inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

[[noreturn]] void corrupt_list() {
  internal_stop("Connection list entry names a node or conductor outside the model");
}

constexpr int kLinear = 1, kRadiative = 2, kFluidic = 3;

// The values a kind's entries copy: conductor k is values[k - 1].
struct Source {
  const double* values;
  std::int32_t count;
};
Source source_of(int kind) noexcept {
  const auto& a = kind == kLinear ? gar_linearconds : kind == kRadiative ? gar_radiativeconds : gar_fluidicconds;
  const std::int32_t n = FLAGS(kind == kLinear ? flagw::NGL : kind == kRadiative ? flagw::NGR : flagw::NGF);
  return {a.data(), static_cast<std::int32_t>(std::min<std::int64_t>(n, a.size()))};
}

bool same_bits(double a, double b) noexcept {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The entries of one kind that take part in the sums, from the record-form
// runs of that kind, with the conductor-to-entries map.
void build_kind(std::int32_t nnode, int kind, std::span<const std::int32_t> active, const NetworkFlags& flags,
                ConductorView::Kind& out) {
  const std::int32_t nmax = nnode + FLAGS(flagw::NF);
  const std::int64_t words = gar_pcsthermal.size();
  const std::int32_t* const pcs = gar_pcsthermal.data();
  const Source src = source_of(kind);
  const std::int32_t nconductors = static_cast<std::int32_t>(active.size());
  out.begin.assign(static_cast<std::size_t>(nnode) + 1, 0);
  out.other.clear();
  out.g.clear();
  out.node.clear();
  std::vector<std::int32_t> cond;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, i);
    const std::int32_t count = gar_pcsptrsthermal(2 * kind, i);
    if (count < 0 || (count > 0 && (start < 1 || start - 1 + 2LL * count > words))) corrupt_list();
    for (std::int32_t e = 0; e < count; ++e) {
      const std::int32_t j = pcs[start - 1 + 2 * e];
      const std::int32_t k = pcs[start + 2 * e];
      if (j < 1 || j > nmax || k == 0 || std::abs(static_cast<std::int64_t>(k)) > nconductors) corrupt_list();
      if (kind != kFluidic && k < 0) corrupt_list();
      // A fluidic entry with a negative index never counts.
      if (k < 0 || active[at(k)] == 0 || !neighbour_in_network(flags, j, nnode)) continue;
      if (k > src.count) corrupt_list();
      out.other.push_back(j - 1);
      out.g.push_back(src.values[k - 1]);
      out.node.push_back(i);
      cond.push_back(k);
    }
    out.begin[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(out.other.size());
  }
  // Conductor -> its entries, in entry order.
  out.cond_begin.assign(static_cast<std::size_t>(nconductors) + 1, 0);
  for (std::int32_t k : cond) ++out.cond_begin[static_cast<std::size_t>(k)];
  for (std::size_t k = 1; k < out.cond_begin.size(); ++k) out.cond_begin[k] += out.cond_begin[k - 1];
  out.entry.resize(cond.size());
  std::vector<std::int32_t> fill(out.cond_begin.begin(), out.cond_begin.end() - 1);
  for (std::size_t e = 0; e < cond.size(); ++e) out.entry[static_cast<std::size_t>(fill[at(cond[e])]++)] = static_cast<std::int32_t>(e);
  out.last.assign(src.values, src.values + std::min<std::int32_t>(src.count, nconductors));
}

// Copies the values of kind's conductors whose bits changed and, with
// dirty, marks their entries' nodes. Most calls find nothing (one memcmp) or a few
// runs of changed conductors, so the scan compares blocks of values.
void refresh_kind(int kind, ConductorView::Kind& v, std::vector<std::uint8_t>* dirty) {
  const Source src = source_of(kind);
  const auto n = static_cast<std::size_t>(std::min<std::int64_t>(src.count, static_cast<std::int64_t>(v.last.size())));
  if (n == 0 || std::memcmp(src.values, v.last.data(), n * sizeof(double)) == 0) return;
  constexpr std::size_t kBlock = 16;
  for (std::size_t k0 = 0; k0 < n; k0 += kBlock) {
    const std::size_t k1 = std::min(n, k0 + kBlock);
    std::uint64_t differ = 0;
    for (std::size_t k = k0; k < k1; ++k)
      differ |= std::bit_cast<std::uint64_t>(src.values[k]) ^ std::bit_cast<std::uint64_t>(v.last[k]);
    if (differ == 0) continue;
    for (std::size_t k = k0; k < k1; ++k) {
      const double value = src.values[k];
      if (same_bits(value, v.last[k])) continue;
      v.last[k] = value;
      for (auto q = static_cast<std::size_t>(v.cond_begin[k]); q < static_cast<std::size_t>(v.cond_begin[k + 1]); ++q) {
        const auto e = static_cast<std::size_t>(v.entry[q]);
        v.g[e] = value;
        if (dirty != nullptr) (*dirty)[at(v.node[e])] = 1;
      }
    }
  }
}

}  // namespace

void ConductorView::build(const NetworkFlags& flags) {
  nnode = FLAGS(flagw::NNODE);
  ++generation;
  try {
    build_kind(nnode, kLinear, flags.gl_active, flags, lin);
    build_kind(nnode, kRadiative, flags.gr_active, flags, rad);
    build_kind(nnode, kFluidic, flags.gf_active, flags, flu);
    const auto n = static_cast<std::size_t>(nnode);
    gr.assign(n, 0.0);
    fluid_end.assign(n, 0);
    cube.resize(n, 0.0);
    fourth.resize(n, 0.0);
    dirty_.assign(n, 0);
  } catch (const std::bad_alloc&) {
    internal_stop("Allocation would exceed memory limit");
  } catch (const std::length_error&) {
    internal_stop("Allocation would exceed memory limit");
  }
  for (std::int32_t i = 1; i <= nnode; ++i) {
    bool fluid = false;
    for (const Kind* k : {&lin, &rad, &flu})
      for (std::size_t e = k->first(i); e < k->end(i); ++e) fluid = fluid || k->other[e] >= nnode;
    fluid_end[at(i)] = fluid;
    gr[at(i)] = radiative_sum(i);
  }
}

void ConductorView::refresh_values() {
  refresh_kind(kLinear, lin, nullptr);
  refresh_kind(kFluidic, flu, nullptr);
  refresh_kind(kRadiative, rad, &dirty_);
  for (std::size_t ii = 0; ii < dirty_.size(); ++ii) {
    if (dirty_[ii] == 0) continue;
    dirty_[ii] = 0;
    gr[ii] = radiative_sum(static_cast<std::int32_t>(ii + 1));
  }
}

double ConductorView::linear_fluidic_sum(std::int32_t i) const noexcept {
  double sum = 0.0;
  for (std::size_t e = lin.first(i); e < lin.end(i); ++e) sum += lin.g[e];
  for (std::size_t e = flu.first(i); e < flu.end(i); ++e) sum += flu.g[e];
  return sum;
}

double ConductorView::radiative_sum(std::int32_t i) const noexcept {
  double sum = 0.0;
  for (std::size_t e = rad.first(i); e < rad.end(i); ++e) sum += rad.g[e];
  return sum;
}

}  // namespace kalvir::thermal
