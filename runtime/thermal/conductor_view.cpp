#include "runtime/thermal/conductor_view.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"

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

// Puts node i's entries from FIRST on in the order the sweeps want them:
// first the neighbours that a sweep in ascending node order has not moved
// yet when it reaches node i (higher nodes and fluid nodes), then the lower
// nodes, the most recently moved last. A sweep can then add up nearly all
// of a node's terms while the node just before it is still being updated.
void order_for_sweep(std::int32_t i, std::int32_t first, ConductorView::Kind& out, std::vector<std::int32_t>& cond) {
  const auto b = static_cast<std::size_t>(first), e = out.other.size();
  if (e - b < 2) return;
  const std::int32_t own = i - 1;
  auto key = [own](std::int32_t o) { return o > own ? -1 : o; };
  std::vector<std::size_t> perm(e - b);
  for (std::size_t q = 0; q < perm.size(); ++q) perm[q] = b + q;
  std::stable_sort(perm.begin(), perm.end(),
                   [&](std::size_t x, std::size_t y) { return key(out.other[x]) < key(out.other[y]); });
  std::vector<std::int32_t> other(perm.size()), cs(perm.size());
  std::vector<double> g(perm.size());
  for (std::size_t q = 0; q < perm.size(); ++q) {
    other[q] = out.other[perm[q]];
    g[q] = out.g[perm[q]];
    cs[q] = cond[perm[q]];
  }
  std::copy(other.begin(), other.end(), out.other.begin() + static_cast<std::ptrdiff_t>(b));
  std::copy(g.begin(), g.end(), out.g.begin() + static_cast<std::ptrdiff_t>(b));
  std::copy(cs.begin(), cs.end(), cond.begin() + static_cast<std::ptrdiff_t>(b));
}

// The entries of one kind that take part in the sums, from the record-form
// runs of that kind, with the conductor-to-entries map.
void build_kind(std::int32_t nnode, int kind, std::span<const std::int32_t> active, const NetworkFlags& flags,
                bool sweep_order, ConductorView::Kind& out) {
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
    if (sweep_order) order_for_sweep(i, out.begin[at(i)], out, cond);
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

// Copies the values of kind's conductors whose bits changed and calls
// note(node, value) for each of their entries, or with NOTE_ALL false only
// for those of a conductor whose new value is not positive; returns whether
// any changed. Most calls find nothing (one memcmp) or a few runs of changed
// conductors, so the scan compares blocks of values.
template <class Note>
bool refresh_kind(int kind, ConductorView::Kind& v, bool note_all, Note note) {
  const Source src = source_of(kind);
  const auto n = static_cast<std::size_t>(std::min<std::int64_t>(src.count, static_cast<std::int64_t>(v.last.size())));
  if (n == 0 || std::memcmp(src.values, v.last.data(), n * sizeof(double)) == 0) return false;
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
      const auto q0 = static_cast<std::size_t>(v.cond_begin[k]), q1 = static_cast<std::size_t>(v.cond_begin[k + 1]);
      if (note_all || !(value > 0.0)) {
        for (std::size_t q = q0; q < q1; ++q) {
          const auto e = static_cast<std::size_t>(v.entry[q]);
          v.g[e] = value;
          note(v.node[e], value);
        }
      } else {
        for (std::size_t q = q0; q < q1; ++q) v.g[static_cast<std::size_t>(v.entry[q])] = value;
      }
    }
  }
  return true;
}

}  // namespace

void ConductorView::build(const NetworkFlags& flags) {
  nnode = FLAGS(flagw::NNODE);
  ++generation;
  allocate_or_stop([&] {
    build_kind(nnode, kLinear, flags.gl_active, flags, sweep_order, lin);
    build_kind(nnode, kRadiative, flags.gr_active, flags, sweep_order, rad);
    build_kind(nnode, kFluidic, flags.gf_active, flags, sweep_order, flu);
    const auto n = static_cast<std::size_t>(nnode);
    gr.assign(n, 0.0);
    fluid_end.assign(n, 0);
    cube.resize(n, 0.0);
    fourth.resize(n, 0.0);
    dirty_.assign(n, 0);
    fragile_.assign(n, 0);
    fragile_count_ = 0;
    queued_.assign(n, 0);
    queue_.clear();
    queue_.reserve(n);
  });
  for (std::int32_t i = 1; i <= nnode; ++i) {
    bool fluid = false, all_positive = true;
    for (const Kind* k : {&lin, &rad, &flu})
      for (std::size_t e = k->first(i); e < k->end(i); ++e) {
        fluid = fluid || k->other[e] >= nnode;
        all_positive = all_positive && k->g[e] > 0.0;
      }
    fluid_end[at(i)] = fluid;
    gr[at(i)] = radiative_sum(i);
    // A node whose entries are all positive has a positive sum; the others
    // (a conductor not positive, or no conductor at all) are summed.
    const bool entries = lin.end(i) > lin.first(i) || rad.end(i) > rad.first(i) || flu.end(i) > flu.first(i);
    fragile_[at(i)] = !all_positive || !entries;
    if (fragile_[at(i)] != 0) {
      ++fragile_count_;
      check_net_conductance(i);
    }
  }
}

void ConductorView::refresh_values() {
  // A node whose conductors change is checked again when one of them is not
  // positive (or was not at some time since the build).
  const auto watch = [this](std::int32_t i, double value) {
    const std::size_t ii = at(i);
    if (!(value > 0.0) && fragile_[ii] == 0) {
      fragile_[ii] = 1;
      ++fragile_count_;
    }
    if (fragile_[ii] != 0 && queued_[ii] == 0) {
      queued_[ii] = 1;
      queue_.push_back(i);
    }
  };
  // While no node is fragile, a positive value needs no look.
  refresh_kind(kLinear, lin, fragile_count_ != 0, watch);
  refresh_kind(kFluidic, flu, fragile_count_ != 0, watch);
  // Without a changed radiative conductor no node's sum needs redoing, and
  // the walk over every node is spared.
  if (refresh_kind(kRadiative, rad, true, [&](std::int32_t i, double value) {
        dirty_[at(i)] = 1;
        watch(i, value);
      })) {
    for (std::size_t ii = 0; ii < dirty_.size(); ++ii) {
      if (dirty_[ii] == 0) continue;
      dirty_[ii] = 0;
      gr[ii] = radiative_sum(static_cast<std::int32_t>(ii + 1));
    }
  }
  for (const std::int32_t i : queue_) {
    queued_[at(i)] = 0;
    check_net_conductance(i);
  }
  queue_.clear();
}

void ConductorView::check_net_conductance(std::int32_t i) const {
  if (gar_thermalnodestatuses(i)[0] != 'D') return;
  const double sum = view_sdgsum(*this, i, GLOR.STEFAN, gar_thermalnodetemps.span(), GLOR.TABS);
  require_positive_net_conductance(trim_right(GLOC.MODULE.view()), i, sum);
}

double ConductorView::radiative_sum(std::int32_t i) const noexcept {
  double sum = 0.0;
  for (std::size_t e = rad.first(i); e < rad.end(i); ++e) sum += rad.g[e];
  return sum;
}

void LetterView::follow() {
  const auto n = static_cast<std::size_t>(FLAGS(flagw::NNODE));
  const auto size = [](std::int32_t count) { return static_cast<std::size_t>(std::max(count, 1)); };
  allocate_or_stop([&] {
    next_gf_.resize(size(FLAGS(flagw::NGF)));
    next_gl_.resize(size(FLAGS(flagw::NGL)));
    next_gr_.resize(size(FLAGS(flagw::NGR)));
    next_in_network_.resize(n);
  });
  SLOGST2(FLAGS(flagw::NGF), FLAGS(flagw::NGL), FLAGS(flagw::NGR), FLAGS(flagw::NNODE), gar_fluidiccondacts,
          gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, {}, next_gf_, next_gl_, next_gr_,
          next_in_network_);
  if (view_.generation != 0 && next_gf_ == gf_ && next_gl_ == gl_ && next_gr_ == gr_ &&
      next_in_network_ == in_network_) {
    view_.refresh_values();
    return;
  }
  gf_.swap(next_gf_);
  gl_.swap(next_gl_);
  gr_.swap(next_gr_);
  in_network_.swap(next_in_network_);
  view_.build({gf_, gl_, gr_, in_network_});
}

void view_s4gsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T, double tabs,
                 double& sg, double& sgt) noexcept {
  const std::int32_t nnode = view.nnode;
  const double ti = T[at(i)] + tabs;
  double g_sum = 0.0, gt_sum = 0.0;
  for (std::size_t e = view.rad.first(i), last = view.rad.end(i); e < last; ++e) {
    const double tj_rel = view_temperature(T, view.rad.other[e], nnode);
    const double tj = tj_rel + tabs;
    const double g = stefan * view.rad.g[e] * (ti * ti + tj * tj) * (ti + tj);
    g_sum += g;
    gt_sum += g * tj_rel;
  }
  for (const ConductorView::Kind* kind : {&view.lin, &view.flu}) {
    for (std::size_t e = kind->first(i), last = kind->end(i); e < last; ++e) {
      const double g = kind->g[e];
      g_sum += g;
      gt_sum += g * view_temperature(T, kind->other[e], nnode);
    }
  }
  sg = g_sum;
  sgt = gt_sum;
}

void view_s1gsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T, double tabs,
                 double& glf, double& glft, double& gr, double& grt4) noexcept {
  const std::int32_t nnode = view.nnode;
  double r_t4 = 0.0;
  for (std::size_t e = view.rad.first(i), last = view.rad.end(i); e < last; ++e) {
    const double tj = view_temperature(T, view.rad.other[e], nnode) + tabs;
    r_t4 += view.rad.g[e] * (tj * tj) * (tj * tj);
  }
  double lf = 0.0, lf_t = 0.0;
  for (const ConductorView::Kind* kind : {&view.lin, &view.flu})
    for (std::size_t e = kind->first(i), last = kind->end(i); e < last; ++e) {
      lf += kind->g[e];
      lf_t += kind->g[e] * (view_temperature(T, kind->other[e], nnode) + tabs);
    }
  glf = lf;
  glft = lf_t;
  gr = view.gr[at(i)] * stefan;
  grt4 = r_t4 * stefan;
}

double view_sdgsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T,
                   double tabs) noexcept {
  const double ti = T[at(i)] + tabs;
  double sum = 0.0;
  for_each_view_conductor(
      view, i, T, tabs, 1.0, [&](std::int32_t, double g, double) { sum += g; },
      [&](std::int32_t, double g, double tj) { sum += stefan * g * (ti * ti + tj * tj) * (ti + tj); });
  return sum;
}

void view_s5csgm(const ConductorView& view, std::span<const double> C, double& csgmin, std::int32_t& ncsgmn,
                 double stefan, std::span<const double> T, double tabs) {
  csgmin = kHuge;
  LoopGuard guard("S5CSGM");
  for (std::int32_t i = 1; i <= view.nnode; ++i) {
    guard.tick();
    if (gar_thermalnodestatuses(i)[0] != 'D') continue;
    const double c = C[at(i)];
    if (!(std::abs(c) >= kTiny)) continue;
    const double g = view_sdgsum(view, i, stefan, T, tabs);
    if (!(std::abs(g) >= kTiny)) continue;
    const double r = c / g;
    if (r < csgmin) {
      csgmin = r;
      ncsgmn = i;
    }
  }
}

}  // namespace kalvir::thermal
