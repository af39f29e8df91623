// The network helpers against hand-made lists and hand sums.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/thermal/network_sums.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace network_sums_test {

TEST(NetworkSums, SunpakFollowsJumpsAndPassesOverLeftOutNodes) {
  NetworkSpec spec;
  spec.nodes = {{0, 1, 'D', 0}, {0, 1, 'D', 0}, {0, 1, 'X', 0}, {0, 1, 'C', 0}};
  build_network(spec);
  // Node 1: linear (2, 5) then a jump to 13 where (3, 6) and (4, 7) follow
  // and the run goes back to its 0 at 4; radiative run empty; fluidic
  // (2, -8), (2, 9).
  const std::vector<std::int32_t> packed{2, 5, -13, 0, -6, 0, 2, -8, 2, 9, -12, 0, 3, 6, 4, 7, -4};
  const std::vector<std::int32_t> starts{1};
  struct Seen {
    std::int32_t kind, cond, other;
    bool operator==(const Seen&) const = default;
  };
  for (int include : {0, 1}) {
    std::vector<Seen> seen;
    std::int32_t kind = 0, pos = 0, cond = 0, other = 0;
    for (int guard = 0; guard < 20; ++guard) {
      SUNPAK(include, 1, gar_thermalnodestatuses, packed, starts, kind, pos, cond, other);
      if (kind > 3) break;
      seen.push_back({kind, cond, other});
    }
    std::vector<Seen> expected{{1, 5, 2}};
    if (include != 0) expected.insert(expected.end(), {{1, 6, 3}, {1, 7, 4}});
    expected.insert(expected.end(), {{3, -8, 2}, {3, 9, 2}});
    EXPECT_EQ(seen, expected) << "INCLUDE " << include;
    EXPECT_EQ(pos, 0);
  }
}

TEST(NetworkSums, RecordFormSumsMatchHandSums) {
  NetworkSpec spec;
  spec.nodes = {{100.0, 50.0, 'D', 0.0}, {20.0, 0.0, 'B', 0.0}, {300.0, 1.0, 'X', 0.0}, {-10.0, 0.0, 'B', 0.0}};
  spec.fluid_temps = {60.0};
  spec.gl = {{1, 2, 2.0}, {1, 3, 5.0}, {1, 5, 0.5}, {1, 4, 1.5, 'I'}};
  spec.gr = {{1, 4, 3.0}, {1, 5, 0.25}};
  spec.gf = {{2, 1, 4.0}, {1, 2, 6.0}};
  build_network(spec);
  std::vector<std::int32_t> gf(2), gl(4), gr(2), net(4), diff(4);
  SLOGST2(2, 4, 2, 4, gar_fluidiccondacts, gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, diff,
          gf, gl, gr, net);
  EXPECT_EQ(gl, (std::vector<std::int32_t>{1, 1, 1, 0}));
  EXPECT_EQ(net, (std::vector<std::int32_t>{1, 1, 0, 1}));
  EXPECT_EQ(diff, (std::vector<std::int32_t>{1, 0, 0, 0}));
  const kalvir::thermal::NetworkFlags flags{gf, gl, gr, net};
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN;
  const double ti = 100.0 + tabs, t4 = -10.0 + tabs, t5 = 60.0 + tabs;

  double glf = 0, glft = 0, grs = 0, grt4 = 0;
  S1GSUM(flags, 1, sigma, gar_thermalnodetemps.span(), tabs, glf, glft, grs, grt4);
  EXPECT_DOUBLE_EQ(glf, 2.0 + 0.5 + 4.0);
  EXPECT_DOUBLE_EQ(glft, 2.0 * (20.0 + tabs) + 0.5 * t5 + 4.0 * (20.0 + tabs));
  EXPECT_DOUBLE_EQ(grs, sigma * 3.25);
  EXPECT_NEAR(grt4, sigma * (3.0 * std::pow(t4, 4) + 0.25 * std::pow(t5, 4)), 1e-9);

  double sg = 0, sgt = 0;
  S4GSUM(flags, 1, sigma, gar_thermalnodetemps.span(), tabs, sg, sgt);
  const double h4 = sigma * 3.0 * (ti * ti + t4 * t4) * (ti + t4);
  const double h5 = sigma * 0.25 * (ti * ti + t5 * t5) * (ti + t5);
  EXPECT_NEAR(sg, 6.5 + h4 + h5, 1e-12);
  EXPECT_NEAR(sgt, 2.0 * 20.0 + 0.5 * 60.0 + 4.0 * 20.0 + h4 * -10.0 + h5 * 60.0, 1e-9);

  // The packed walk uses the letters: the X neighbour and the inactive
  // conductor are left out, the fluid node is counted.
  double g = 0;
  SDGSUM(1, sigma, gar_thermalnodetemps.span(), tabs, g);
  EXPECT_NEAR(g, 6.5 + h4 + h5, 1e-12);
}

}  // namespace network_sums_test
}  // namespace kalvir::test
