// The compact view of the network that the solution sweeps read. For every
// thermal node and each kind of conductor (linear, radiative, fluidic) it
// holds the conductors that take part in the node's sums, as (neighbour,
// conductance) pairs in the order of the record-form connection list.
// A view made for the Crank-Nicolson sweeps (sweep_order) orders each
// node's entries of a kind for them instead: neighbours above the node and
// fluid nodes first, then those below it in ascending order, so that the
// neighbours a sweep in node order has moved last come last.
// Inactive conductors, fluidic entries whose conductor index is not positive
// and neighbours outside the network are left out when the view is built, so
// that a sweep reads two contiguous arrays per kind without a test per
// conductor.
//
// build() makes the view from the flags of SLOGST2; a method calls it at
// entry and again only after a status change. Between builds,
// refresh_values() copies the values of the conductors that changed since
// the last copy. Both check the net conductance of the nodes they may have
// left without a solution (require_positive_net_conductance), so that every
// method stops on a change of conductors that no method could solve.
//
// Each node keeps the sum of its radiative values in the view's order (they
// seldom change, and outside the Crank-Nicolson sweeps' order that is what a
// walk of the connection list adds up, bit for bit); the linear values
// change with temperature in many models, so their sums are taken where they
// are used.
//
// The view also keeps the cube and fourth power of each node's absolute
// temperature, which a method stores when it moves a temperature, so that a
// radiative sum takes no powers of the neighbours.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {

struct ConductorView {
  // One kind's entries. Node i's entries are begin[i - 1] .. begin[i] - 1.
  struct Kind {
    std::vector<std::int32_t> begin;
    // Neighbour j - 1: a thermal node's index into T, or NNODE + k - 1 for
    // fluid node k.
    std::vector<std::int32_t> other;
    std::vector<double> g;  // the conductor's value as last copied
    // Conductor k's entries: entry[cond_begin[k - 1] .. cond_begin[k] - 1];
    // node[e] is the node (1-based) entry e belongs to.
    std::vector<std::int32_t> cond_begin, entry, node;
    std::vector<double> last;  // per conductor, the value last copied

    std::size_t first(std::int32_t i) const noexcept { return static_cast<std::size_t>(begin[static_cast<std::size_t>(i - 1)]); }
    std::size_t end(std::int32_t i) const noexcept { return static_cast<std::size_t>(begin[static_cast<std::size_t>(i)]); }
  };

  std::int32_t nnode = 0;
  Kind lin, rad, flu;
  // Per node: sum of the radiative values (without STEFAN), and whether
  // some entry's neighbour is a fluid node (such nodes take the general path
  // of the sweeps).
  std::vector<double> gr;
  std::vector<std::uint8_t> fluid_end;
  // Per node: kept powers of T + TABS.
  std::vector<double> cube, fourth;
  // Entries in the sweeps' order (set before the first build).
  bool sweep_order = false;
  // Counts the builds, so that what a method derives from the view's
  // layout can tell when to derive it again.
  std::uint64_t generation = 0;

  // Builds the view from the record-form connection list and the flags; an
  // entry that names a node or conductor outside the model stops the run.
  void build(const NetworkFlags& flags);
  // Copies the values of the conductors that changed since the last copy.
  void refresh_values();

  void set_powers(std::int32_t i, double t, double tabs) noexcept {
    const double ta = t + tabs;
    const double ta2 = ta * ta;
    cube[static_cast<std::size_t>(i - 1)] = ta2 * ta;
    fourth[static_cast<std::size_t>(i - 1)] = ta2 * ta2;
  }

 private:
  std::vector<std::uint8_t> dirty_;  // nodes whose radiative values changed
  // Nodes whose net conductance is checked again when their conductors
  // change: those with a conductor whose value is not positive, or none;
  // the nodes of a refresh's changed conductors wait in queue_.
  std::vector<std::uint8_t> fragile_, queued_;
  std::vector<std::int32_t> queue_;
  // How many nodes are fragile: while none is, a positive value changed in a
  // refresh needs no further look.
  std::size_t fragile_count_ = 0;
  double radiative_sum(std::int32_t i) const noexcept;
  // require_positive_net_conductance of node i, in the name of the running
  // routine (MODULE), at the temperatures of the global array.
  void check_net_conductance(std::int32_t i) const;
};

// Temperature of entry neighbour o (ConductorView::Kind::other) as T holds
// it: thermal node o + 1 of T, or fluid node o + 1 - NNODE.
inline double view_temperature(std::span<const double> T, std::int32_t o, std::int32_t nnode) noexcept {
  return o < nnode ? T[static_cast<std::size_t>(o)] : gar_fluidnodetemps(o + 1 - nnode);
}

// A view for a method that reads the letters afresh at every sum instead of
// keeping flags of its own (the Gear and modal methods): follow() after each
// call that may have changed letters or values rebuilds the view when the
// flags the letters give differ from those it was built from, and otherwise
// copies the changed values. It neither reads nor clears the status-change
// flag, which those methods leave to the next method.
class LetterView {
 public:
  const ConductorView& view() const noexcept { return view_; }
  ConductorView& view() noexcept { return view_; }  // for its kept powers
  bool built() const noexcept { return view_.generation != 0; }
  void follow();

 private:
  std::vector<std::int32_t> gf_, gl_, gr_, in_network_;
  std::vector<std::int32_t> next_gf_, next_gl_, next_gr_, next_in_network_;
  ConductorView view_;
};

// The sums of the list walks from the view, term for term in the walks'
// order (a left-out inactive conductor's term was an exact zero):
// S4GSUM's SG and SGT (radiative, linear, then fluidic entries, relative
// temperatures, radiative conductances linearised at T).
void view_s4gsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T, double tabs,
                 double& sg, double& sgt) noexcept;
// S1GSUM's GLF, GLFT, GR and GRT4 (absolute temperatures; the kept sum for
// GR, the fourth powers from T).
void view_s1gsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T, double tabs,
                 double& glf, double& glft, double& gr, double& grt4) noexcept;
// SDGSUM's SUMG (linear, radiative linearised at T, then fluidic entries).
double view_sdgsum(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T,
                   double tabs) noexcept;
// S5CSGM over the view: CSGMIN := the smallest C/G of the diffusion nodes
// (status D) with C and G not zero, NCSGMN its node.
void view_s5csgm(const ConductorView& view, std::span<const double> C, double& csgmin, std::int32_t& ncsgmn,
                 double stefan, std::span<const double> T, double tabs);

// Calls fn(kind, j, value) for each of node i's entries in the order of the
// packed walk: linear (kind 1), radiative (2), then fluidic (3) entries; j is
// the 1-based neighbour (a fluid node above NNODE), value the conductor's.
template <class Fn>
void for_each_view_entry(const ConductorView& view, std::int32_t i, Fn fn) {
  int kind = 1;
  for (const ConductorView::Kind* k : {&view.lin, &view.rad, &view.flu}) {
    for (std::size_t e = k->first(i), last = k->end(i); e < last; ++e) fn(kind, k->other[e] + 1, k->g[e]);
    ++kind;
  }
}

// Calls conductive(j, g, yj) for node i's linear and fluidic entries and
// radiative(j, STEFAN x GR, yj) for its radiative ones, in the order of the
// packed walk; yj is the neighbour's absolute temperature.
template <class Conductive, class Radiative>
void for_each_view_conductor(const ConductorView& view, std::int32_t i, std::span<const double> T, double tabs,
                             double stefan, Conductive conductive, Radiative radiative) {
  const std::int32_t nnode = view.nnode;
  for_each_view_entry(view, i, [&](int kind, std::int32_t j, double value) {
    const double yj = view_temperature(T, j - 1, nnode) + tabs;
    if (kind == 2)
      radiative(j, stefan * value, yj);
    else
      conductive(j, value, yj);
  });
}

}  // namespace kalvir::thermal
