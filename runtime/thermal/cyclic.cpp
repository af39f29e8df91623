#include "runtime/thermal/cyclic.h"

#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/output/print/cycle_report.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear.h"
#include "runtime/thermal/modal.h"
#include "runtime/thermal/network_sums.h"
#include "runtime/thermal/solution_frame.h"

namespace kalvir::thermal {
namespace {

CyclicFluidLoops fluid_loops;

constexpr std::array<CyclicRoutine, 10> kRoutines{{
    {"SLFRWD", "CYTH", &SLFRWD},
    {"SLFWBK", "CYTH", &SLFWBK},
    {"SLCRNC", "CYTH", &SLCRNC},
    {"SLGEAR", "CYTH", &SLGEAR},
    {"SLGRDJ", "CYTH", &SLGRDJ},
    {"SLMODE", "CYTH", &SLMODE},
    {"FLTNTS", "CYFL1P", [] { filled_hook(fluid_loops.FLTNTS, "CyclicFluidLoops::FLTNTS")(); }},
    {"FLTMTS", "CYFL1P", [] { filled_hook(fluid_loops.FLTMTS, "CyclicFluidLoops::FLTMTS")(); }},
    {"FLTNTF", "CYFL1P", [] { filled_hook(fluid_loops.FLTNTF, "CyclicFluidLoops::FLTNTF")(); }},
    {"FGENFI", "CYFL2P", [] { filled_hook(fluid_loops.FGENFI, "CyclicFluidLoops::FGENFI")(); }},
}};

constexpr double kRateOff = 1.0e10;
constexpr double kNone = -1.0e10;
constexpr std::int64_t kCyclePassLimit = 2000000000;

// The routine named by ROUTINE over 6 characters, trailing blanks ignored.
const CyclicRoutine* find_routine(std::string_view routine) {
  const std::string_view name = trim_right(routine.substr(0, std::min<std::size_t>(routine.size(), 6)));
  for (const CyclicRoutine& r : kRoutines)
    if (r.name == name) return &r;
  return nullptr;
}

// Largest change of one kind and its node.
struct Largest {
  double value = kNone;
  std::int32_t node = 0;
  void offer(double d, std::int32_t n) {
    if (d > value) {
      value = d;
      node = n;
    }
  }
};

// Temperature rate of fluid node i from the heat flows into it.
double fluid_rate(std::int32_t i) {
  const std::int32_t slot = FTYPEI(gar_fluidnodefluidtypes(i));
  std::array<double, 5> flows{};
  filled_hook(fluid_loops.SFCDHF, "CyclicFluidLoops::SFCDHF")(i, slot, flows[0], flows[1], flows[2], flows[3],
                                                              flows[4]);
  double rate = 0.0;
  LFDTTM(i, slot, flows, rate);
  return rate;
}

}  // namespace

std::span<const CyclicRoutine> cyclic_routines() { return kRoutines; }

void set_cyclic_fluid_loops(const CyclicFluidLoops& loops) { fluid_loops = loops; }

}  // namespace kalvir::thermal

using namespace kalvir;
using namespace kalvir::thermal;

void SCNDHF(std::int32_t I, double& QF, double& QL, double& QRAD) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  const double ti = gar_thermalnodetemps(I) + tabs;
  QF = QL = QRAD = 0.0;
  // Calls f(conductor, absolute temperature of the other end) for each
  // counted entry of one kind.
  auto walk = [&](int kind, const gar::C1& acts, auto&& f) {
    const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, I);
    const std::int32_t count = gar_pcsptrsthermal(2 * kind, I);
    for (std::int32_t e = 0; e < count; ++e) {
      const std::int32_t j = gar_pcsthermal(start + 2LL * e);
      const std::int32_t k = gar_pcsthermal(start + 2LL * e + 1);
      if (kind == 3 && k <= 0) continue;
      if (acts(k)[0] != 'A') continue;
      if (j <= nnode && gar_thermalnodestatuses(j)[0] == 'X') continue;
      f(k, (j <= nnode ? gar_thermalnodetemps(j) : gar_fluidnodetemps(j - nnode)) + tabs);
    }
  };
  walk(2, gar_radiativecondacts, [&](std::int32_t k, double tj) {
    QRAD += stefan * gar_radiativeconds(k) * ((tj * tj) * (tj * tj) - (ti * ti) * (ti * ti));
  });
  walk(1, gar_linearcondacts, [&](std::int32_t k, double tj) { QL += gar_linearconds(k) * (tj - ti); });
  walk(3, gar_fluidiccondacts, [&](std::int32_t k, double tj) { QF += gar_fluidicconds(k) * (tj - ti); });
}

void LPDTTM(std::int32_t I, double& RATE) {
  RATE = 0.0;
  const double c = gar_thermalnodecapacitances(I);
  if (gar_thermalnodestatuses(I)[0] != 'D' || !(std::abs(c) >= kTinySingle)) return;
  double qf = 0.0, ql = 0.0, qrad = 0.0;
  SCNDHF(I, qf, ql, qrad);
  RATE = (node_heat_load(I) + qf + ql + qrad) / c;
}

void LFDTTM(std::int32_t I, std::int32_t SLOT, std::span<const double, 5> FLOWS, double& RATE) {
  const std::int32_t node = FLAGS(flagw::NNODE) + I;
  const double p = gar_fluidnodepressures(I), t = gar_fluidnodetemps(I), x = gar_fluidnodevapourqualities(I);
  const double rho = XRHO(p, t, x, SLOT, node);
  const double cp = XCP(p, t, x, SLOT, node);
  const double capacity = rho * cp * gar_fluidnodevolumes(I);
  if (!(std::abs(capacity) >= kTiny)) {
    RATE = 1.0e20;
    return;
  }
  const char status = gar_fluidnodestatuses(I)[0];
  if (status == 'H' || status == 'K' || status == 'R') {
    RATE = 0.0;
    return;
  }
  RATE = (FLOWS[0] + FLOWS[1] + FLOWS[2] + FLOWS[3] + FLOWS[4] + gar_fluidnodeheatsources(I)) / capacity;
}

void SOLCYC(std::string_view ROUTINE, double TOLT, double TOLR, double PERIOD, std::int32_t MAXCYC,
            std::string_view GROUP, std::string_view OUTOPT) {
  // The cycle reads TIMEO and the radiation constants before any routine.
  settle_optional_constants();
  DynamicCoreMark mark;
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  const std::int64_t extra =
      static_cast<std::int64_t>(FLAGS(flagw::NEXTREAL)) + 2LL * nnode + 2LL * nf + 2 - FLAGS(flagw::DYSTOR);
  if (extra > 0)
    SETERX(shortage_text("SOLCYC",
                         " words needed, increase DYSTOR on $EXECUTION record, see User Manual description of "
                         "$EXECUTION block",
                         extra),
           4, 1, "SOLCYC");
  const std::int32_t words = 2 * nnode + 2 * nf + 1;
  const std::int32_t first = mark.take_real(words);
  // The next-free word comes with the model: a value outside the core must
  // not place the stored state outside it.
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccorereal.size())
    internal_stop("SOLCYC: work area outside the real dynamic core");
  double* core = gar_dynamiccorereal.data() + (first - 1);
  const std::span<double> stored_t(core, static_cast<std::size_t>(nnode));
  const std::span<double> stored_r(core + nnode, static_cast<std::size_t>(nnode));
  const std::span<double> stored_ft(core + 2 * nnode, static_cast<std::size_t>(nf));
  const std::span<double> stored_fr(core + 2 * nnode + nf, static_cast<std::size_t>(nf));
  const bool rates = TOLR < kRateOff;

  // The tested nodes, thermal then fluid (internal indices). A bad group is
  // reported once by the group reader; a group without nodes cannot show
  // convergence, so the analysis does not start.
  std::vector<char> tested(static_cast<std::size_t>(nnode + nf), 0);
  std::int32_t ntested = 0;
  for (std::int32_t i = 1; i <= nnode + nf; ++i) {
    std::int32_t ierr = 0;
    const bool on = NDOFZL(1, FLAGS(flagw::NSUB), nnode, i, i == 1 ? 1 : 0, "SOLCYC", GROUP, ierr);
    tested[static_cast<std::size_t>(i - 1)] = on && ierr == 0;
    ntested += on && ierr == 0;
  }
  if (ntested == 0) {
    SETERX("SOLCYC: Node group selects no node@No temperature can be tested for convergence; cyclic analysis not "
           "done",
           3, 5, "SOLCYC");
    return;
  }
  const double start = GLOR.TIMEO, end = GLOR.TIMEND;
  const Chars<18> saved_outime = GLOC.OUTIME;
  GLOR.TIMEND = start + PERIOD;
  GLOR.TIMEM = GLOR.TIMEN = start;
  call_variables1_block();
  for (std::int32_t i = 1; i <= nnode; ++i) {
    stored_t[static_cast<std::size_t>(i - 1)] = gar_thermalnodetemps(i);
    if (rates) LPDTTM(i, stored_r[static_cast<std::size_t>(i - 1)]);
  }
  if (nm > 0) filled_hook(fluid_loops.SGMCAL, "CyclicFluidLoops::SGMCAL")(nm);
  for (std::int32_t i = 1; i <= nf; ++i) {
    stored_ft[static_cast<std::size_t>(i - 1)] = gar_fluidnodetemps(i);
    if (rates) stored_fr[static_cast<std::size_t>(i - 1)] = fluid_rate(i);
  }

  std::int64_t passes = 0;
  for (std::int32_t cycle = 1;;) {
    if (++passes > kCyclePassLimit) {
      SETERX("SOLCYC: Failed to converge within the maximum number of iterations", 3, 3, "SOLCYC");
      SETERX("SOLCYC: Failed to converge within MAXCYC iterations", 3, 4, "SOLCYC");
      break;
    }
    assign_padded(GLOC.OUTIME.span(), OUTOPT);
    GLOR.TIMEO = start;
    GLOR.TIMEND = start + PERIOD;
    const CyclicRoutine* routine = find_routine(ROUTINE);
    if (routine == nullptr)
      SETERX("SOLCYC: Solver name incorrect@ Only transient solver can be used for cycle analysis with SOLCYC", 4, 2,
             "SOLCYC");
    assign_padded(GLOC.SOLVER.span(), routine->tag);
    routine->run();

    Largest dt, dr;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const auto ii = static_cast<std::size_t>(i - 1);
      if (!tested[ii]) continue;
      const double t = gar_thermalnodetemps(i);
      dt.offer(std::abs(t - stored_t[ii]), i);
      stored_t[ii] = t;
      if (rates) {
        double r = 0.0;
        LPDTTM(i, r);
        dr.offer(std::abs(r - stored_r[ii]), i);
        stored_r[ii] = r;
      }
    }
    if (nm > 0) filled_hook(fluid_loops.SGMCAL, "CyclicFluidLoops::SGMCAL")(nm);
    for (std::int32_t i = 1; i <= nf; ++i) {
      const auto ii = static_cast<std::size_t>(i - 1);
      if (!tested[static_cast<std::size_t>(nnode) + ii]) continue;
      const double t = gar_fluidnodetemps(i);
      dt.offer(std::abs(t - stored_ft[ii]), nnode + i);
      stored_ft[ii] = t;
      if (rates) {
        const double r = fluid_rate(i);
        dr.offer(std::abs(r - stored_fr[ii]), nnode + i);
        stored_fr[ii] = r;
      }
    }
    LPRCYC(dr.value, cycle, dr.node, dt.node, dt.value);
    if (!(dt.value > TOLT || dr.value > TOLR)) break;
    if (++cycle > MAXCYC) {
      SETERX("SOLCYC: Failed to converge within MAXCYC iterations", 3, 4, "SOLCYC");
      break;
    }
  }

  GLOR.TIMEND = end;
  GLOR.TIMEO = start;
  assign_padded(GLOC.SOLVER.span(), "");
  GLOC.OUTIME = saved_outime;
}
