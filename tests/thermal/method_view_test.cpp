// The methods other than Crank-Nicolson read their node sums from the compact
// view of the network. Each run below is pinned, bit for bit, to what the
// methods gave while they walked the connection lists: the view must add the
// same terms in the same order, or a convergence test may fall the other way.
// SLGEAR's sparse factorisation (another elimination order) and SLMODE's
// LAPACK eigensolver round differently from the dense routines the pins
// were taken with: those two runs are held to 1.0E-9 K, with the same
// call-backs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>

#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear_diagonal.h"
#include "runtime/thermal/gear_full.h"
#include "runtime/thermal/modal.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace method_view_test {

// The pinned network with fluidic conductors as well: into a diffusion node
// without capacitance, from the fluid node, and one off from the start.
void build_network_with_fluidic() { build_pinned_network({{2, 4, 0.25}, {10, 5, 0.15}, {3, 1, 0.05, 'I'}}); }

struct PinnedCase {
  const char* what;
  void (*method)();
  std::array<double, 9> temps;
  std::size_t v1_calls, v2_calls, outputs;
  double tolerance = 0.0;  // K; 0: bit for bit
};
void PrintTo(const PinnedCase& c, std::ostream* os) { *os << c.what; }

class PinnedRun : public ::testing::TestWithParam<PinnedCase> {};

TEST_P(PinnedRun, ReproducesTheListWalkBitForBit) {
  const PinnedCase& c = GetParam();
  build_network_with_fluidic();
  c.method();
  for (std::int32_t i = 1; i <= 9; ++i) {
    const double want = c.temps[static_cast<std::size_t>(i - 1)];
    if (c.tolerance == 0.0)
      EXPECT_EQ(gar_thermalnodetemps(i), want) << "node " << i;
    else
      EXPECT_NEAR(gar_thermalnodetemps(i), want, c.tolerance) << "node " << i;
  }
  EXPECT_EQ(block_log().v1_timem.size(), c.v1_calls);
  EXPECT_EQ(block_log().v2_timen.size(), c.v2_calls);
  EXPECT_EQ(block_log().out_timen.size(), c.outputs);
  EXPECT_EQ(gar_radiativecondacts(3)[0], 'I');
}

// The values of the list walk (the Gear runs' since their error test
// measures the step's truncation error and their data are taken at the
// step's end).
INSTANTIATE_TEST_SUITE_P(
    Methods, PinnedRun,
    ::testing::Values(
        PinnedCase{"SLFWBK", &SLFWBK,
                   {24.563280480081463, 9.8123303909051245, 6.3968326054968569, 2.3771625339893476,
                    0.94435068585936166, -270.0, 15.0, 300.0, 30.471701108880978},
                   79, 78, 7},
        PinnedCase{"SLFRWD", &SLFRWD,
                   {24.262409542970545, 10.137957781218072, 8.0231824055002132, 3.2574950444035302,
                    1.5017994696313708, -270.0, 15.0, 300.0, 30.362528131812226},
                   19, 18, 7},
        PinnedCase{"SLGRDJ", &SLGRDJ,
                   {24.416151411703424, 9.4285994627837795, 5.5911598781466409, 1.8943707259637108,
                    0.63429914585634606, -270.0, 15.0, 300.0, 30.441941038199502},
                   136, 29, 7},
        PinnedCase{"SLGEAR", &SLGEAR,
                   {24.416137987266211, 9.4285670420032943, 5.5911245053101766, 1.8943530148790728,
                    0.6343675057826772, -270.0, 15.0, 300.0, 30.441938434106305},
                   86, 29, 7, 1.0e-9},
        PinnedCase{"SLMODE", &SLMODE,
                   {24.612845923073223, 10.05311070271614, 6.7759398055588917, 2.5954618028316485,
                    1.0532362840660312, -270.0, 15.0, 300.0, 30.423648951425321},
                   20, 18, 7, 1.0e-9}),
    CaseName{});

}  // namespace method_view_test
}  // namespace kalvir::test
