#include "runtime/thermal/solution_frame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {
namespace {

constexpr std::array kNloopDtimeiRelxca{Required::NLOOP, Required::DTIMEI, Required::RELXCA};
constexpr std::array kNloopRelxca{Required::NLOOP, Required::RELXCA};
constexpr std::array<std::int32_t, 3> kCodes345{3, 4, 5};
constexpr std::array<std::int32_t, 2> kCodes34{3, 4};

constexpr std::string_view kShortageCn =
    " words needed; increase DYSTOR on $EXECUTION line. See User Manual description of $EXECUTION block";
constexpr std::string_view kShortage = kShortageTail;

// The entry table of the six transient routines.
const std::array<MethodRow, 6> kMethods{{
    {"SLCRNC", kNloopDtimeiRelxca, kCodes345, 6, kShortageCn},
    {"SLFRWD", {}, {}, 3, kShortage},
    {"SLFWBK", kNloopDtimeiRelxca, kCodes345, 6, kShortage},
    {"SLGEAR", kNloopRelxca, kCodes34, 5, kShortage},
    {"SLGRDJ", kNloopRelxca, kCodes34, 5, kShortage},
    {"SLMODE", kNloopDtimeiRelxca, kCodes345, 6, kShortage},
}};

struct RequiredInfo {
  std::string_view name;
  bool (*undefined)();
};
constexpr RequiredInfo required_info(Required r) {
  switch (r) {
    case Required::NLOOP:
      return {"NLOOP", [] { return SUNDCK(GLOI.NLOOP); }};
    case Required::DTIMEI:
      return {"DTIMEI", [] { return SDUNDF(GLOR.DTIMEI); }};
    case Required::RELXCA:
      break;
  }
  return {"RELXCA", [] { return SDUNDF(GLOR.RELXCA); }};
}

bool solver_is_cyclic() { return GLOC.SOLVER.view().substr(0, 2) == "CY"; }

std::string cat(std::string_view a, std::string_view b) {
  std::string s(a);
  s += b;
  return s;
}

}  // namespace

const MethodRow& method_row(std::string_view name) {
  for (const MethodRow& r : kMethods)
    if (same_trimmed(r.name, name)) return r;
  internal_stop(cat("No solution frame for routine ", name));
}

double clamp_step(double h) { return std::min(std::max(h, GLOR.DTMIN), GLOR.DTMAX); }

double retry_step(double proposal, double h) {
  const double next = clamp_step(proposal);
  return next < h ? next : GLOR.DTMIN;
}

std::string shortage_text(std::string_view name, std::string_view tail, std::int64_t extra) {
  std::array<char, 16> number{};
  if (extra > 999999999 || extra < -99999999)
    std::snprintf(number.data(), number.size(), "*********");
  else
    std::snprintf(number.data(), number.size(), "%9lld", static_cast<long long>(extra));
  std::string s(name);
  s += ": Insufficient work space@An extra ";
  s += number.data();
  s += tail;
  return s;
}

bool end_time_valid(std::string_view routine, std::string_view not_after, std::int32_t severity, std::int32_t code) {
  if (SDUNDF(GLOR.TIMEND)) {
    SETERX(cat(routine, ": Control constant TIMEND not set@The solution is skipped. See the table of control "
                        "constants in docs/model_program.md"),
           severity, code, routine);
    return false;
  }
  if (GLOR.TIMEO >= GLOR.TIMEND || std::isnan(GLOR.TIMEO) || std::isnan(GLOR.TIMEND)) {
    SETERX(not_after, severity, code, routine);
    return false;
  }
  return true;
}

SolutionFrame::SolutionFrame(const MethodRow& row) : row_(row) {
  assign_padded(GLOC.MODULE.span(), row.name);
  if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "TRTH");
  settle_optional_constants();

  // An undefined TIMEND is no end time: the run is skipped as for one not
  // after TIMEO, instead of running to the marker's tiny value.
  skipped_ = !end_time_valid(row.name,
                             cat(row.name, ": TIMEND is not greater than TIMEO@See Engineering Manual for control "
                                           "constant definitions"),
                             3, 1);
  if (SDUNDF(GLOR.OUTINT)) {
    // A skipped run keeps OUTINT undefined: a default of zero or less stored
    // here would be taken over by the next solution call as a real interval.
    if (!skipped_) GLOR.OUTINT = GLOR.TIMEND - GLOR.TIMEO;
    SETERX(outint_default_text(row.name), 2, 2, row.name);
  }
  for (std::size_t k = 0; k < row.required.size(); ++k) {
    const RequiredInfo info = required_info(row.required[k]);
    if (info.undefined()) SETERX(required_constant_text(row.name, info.name), 4, row.required_codes[k], row.name);
  }

  events_ = take_event_list(mark_, row.name);
}

std::span<const std::int32_t> take_event_list(DynamicCoreMark& mark, std::string_view routine) {
  // Event list: first slice of the free integer core.
  const std::int32_t dystor = FLAGS(flagw::DYSTOR);
  const std::int32_t first = FLAGS(flagw::NEXTINT);
  const std::int32_t maxn = std::max(0, dystor - first + 1);
  std::span<std::int32_t> room;
  if (first >= 1 && first <= gar_dynamiccoreint.size())
    room = std::span<std::int32_t>(gar_dynamiccoreint.data() + (first - 1),
                                   static_cast<std::size_t>(std::min<std::int64_t>(maxn, gar_dynamiccoreint.size() - first + 1)));
  std::int32_t n = 0, ierr = 0;
  SGTEVT(dystor - first, routine, n, room, ierr);
  mark.take_int(n);
  return {room.data(), static_cast<std::size_t>(n)};
}

double place_step_end(std::span<const std::int32_t> events, double t0, double h, double limit) {
  double tn = std::min(limit, t0 + 2.0 * h);
  LEVTIM(events, "TIMESTEP", static_cast<std::int32_t>(events.size()), t0, tn);
  if (tn > t0 + h) tn = (tn + t0) * 0.5;
  return tn;
}

void require_positive_step_of(std::string_view routine, double h, std::int32_t code) {
  if (h > 0.0) return;
  SETERX(cat(routine, ": Time step is not positive@Check that OUTINT, DTIMEI, DTMIN and DTMAX are greater than zero"),
         4, code, routine);
}

void exceeded_warning(std::string_view routine, std::int64_t count, std::int64_t steps, std::string_view limit,
                      std::int32_t code_up_to, std::int32_t code_more, std::string_view reporter, double threshold,
                      std::size_t width) {
  if (count == 0) return;
  const bool up_to = steps > 0 && static_cast<double>(count) / static_cast<double>(steps) < threshold;
  std::string text(routine);
  text += ": ";
  text += limit;
  text += up_to ? " exceeded in up to 10% of time steps" : " exceeded in more than 10% of time steps";
  if (text.size() < width) text.resize(width, ' ');
  SETERX(text, 2, up_to ? code_up_to : code_more, reporter);
}

SolutionFrame::~SolutionFrame() {
  if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "");
}

void SolutionFrame::check_space(std::int64_t real_excess, std::int64_t int_excess) const {
  const std::int64_t extra = std::max(real_excess, int_excess);
  if (extra > 0) SETERX(shortage_text(row_.name, row_.shortage_tail, extra), 4, row_.shortage_code, row_.name);
}

std::span<double> SolutionFrame::take_real(std::int32_t words) {
  const std::int32_t first = mark_.take_real(words);
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccorereal.size())
    internal_stop(cat(row_.name, ": work area outside the real dynamic core"));
  return {gar_dynamiccorereal.data() + (first - 1), static_cast<std::size_t>(words)};
}

std::span<std::int32_t> SolutionFrame::take_int(std::int32_t words) {
  const std::int32_t first = mark_.take_int(words);
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccoreint.size())
    internal_stop(cat(row_.name, ": work area outside the integer dynamic core"));
  return {gar_dynamiccoreint.data() + (first - 1), static_cast<std::size_t>(words)};
}

void SolutionFrame::next_output_from(double tstart) {
  next_output_ = std::min(nominal_output_, GLOR.TIMEND);
  LEVTIM(events_, "OUTPUT", static_cast<std::int32_t>(events_.size()), tstart, next_output_);
}

void SolutionFrame::first_step() {
  nominal_output_ = GLOR.TIMEO + GLOR.OUTINT;
  next_output_from(GLOR.TIMEO);
  // A method that does not require DTIMEI starts at DTMIN when it is
  // undefined, or, with no smallest step set, at the step the method has put
  // in DTIMEU (Gear: the stability figure).
  const double fallback = GLOR.DTMIN > 0.0 ? GLOR.DTMIN : GLOR.DTIMEU;
  const double dtimei = SDUNDF(GLOR.DTIMEI) ? fallback : GLOR.DTIMEI;
  GLOR.DTIMEU = std::max(std::min(dtimei, GLOR.DTMAX), GLOR.DTMIN);
  place_step(GLOR.DTIMEU);
}

void unsound_capacitance_stop(std::string_view routine, std::int32_t node) {
  fatal_node_message(cat(routine, ": Capacitance is negative or not finite@"), node, routine, 8);
}

void require_sound_capacitances(std::string_view routine) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (gar_thermalnodestatuses(i)[0] != 'D') continue;
    const double c = gar_thermalnodecapacitances(i);
    // A magnitude below the zero limit is a node without capacitance.
    if (!std::isfinite(c) || c <= -kTiny) unsound_capacitance_stop(routine, i);
  }
}

namespace {

// The conductors warned of in this run, by kind (linear, radiative).
struct WarnedConductors {
  std::uint64_t run = 0;
  std::vector<bool> linear, radiative;
};

}  // namespace

void warn_negative_conductances(std::string_view routine) {
  static WarnedConductors warned;
  if (warned.run != gar_allocation_count()) {
    warned.run = gar_allocation_count();
    warned.linear.assign(static_cast<std::size_t>(std::max(FLAGS(flagw::NGL), 0)), false);
    warned.radiative.assign(static_cast<std::size_t>(std::max(FLAGS(flagw::NGR), 0)), false);
  }
  struct Kind {
    int run;  // its run in the record-form list
    std::vector<bool>& done;
    const gar::R64& values;
    const gar::C1& letters;
    std::string_view what;
  };
  const std::array<Kind, 2> kinds{{{1, warned.linear, gar_linearconds, gar_linearcondacts, "linear conductance GL"},
                                   {2, warned.radiative, gar_radiativeconds, gar_radiativecondacts,
                                    "radiative conductance GR"}}};
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i)
    for (const Kind& kind : kinds) {
      const std::int32_t start = gar_pcsptrsthermal(2 * kind.run - 1, i);
      const std::int32_t count = gar_pcsptrsthermal(2 * kind.run, i);
      for (std::int32_t e = 0; e < count; ++e) {
        const std::int32_t j = gar_pcsthermal(start + 2 * e);
        const std::int32_t k = gar_pcsthermal(start + 2 * e + 1);
        if (k < 1 || static_cast<std::size_t>(k) > kind.done.size() || kind.done[static_cast<std::size_t>(k - 1)])
          continue;
        if (!(kind.values(k) < 0.0) || kind.letters(k)[0] != 'A') continue;
        kind.done[static_cast<std::size_t>(k - 1)] = true;
        std::array<char, 24> value{};
        std::snprintf(value.data(), value.size(), "%.6G", kind.values(k));
        std::string text(routine);
        text += ": Negative ";
        text += kind.what;
        text += "(" + std::to_string(NODNUM(i)) + "," + std::to_string(NODNUM(j)) + ") = " + value.data();
        text += "@The run goes on with it@";
        std::array<char, 200> buffer{};
        assign_padded(buffer, text);
        MESBLD(i, buffer);
        SETERX(trim_right(std::string_view(buffer.data(), buffer.size())), 2, 9, routine);
      }
    }
}

void SolutionFrame::start_callbacks() {
  call_variables1_block();
  // After the block: it may set the values the solution starts from.
  require_sound_capacitances(row_.name);
  warn_negative_conductances(row_.name);
  require_positive_net_conductances(row_.name);
  SSNCNT(FLAGS(24), FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  S5CSGM(gar_thermalnodecapacitances.span(), FLAGS(flagw::NNODE), gar_thermalnodestatuses, GLOR.CSGMIN,
         GLOI.NCSGMN, GLOR.STEFAN, gar_thermalnodetemps.span(), GLOR.TABS);
}

void SolutionFrame::output_at_start() {
  const double placed = GLOR.TIMEN;
  GLOR.TIMEN = GLOR.TIMEO;
  call_outputs_block();
  GLOR.TIMEN = placed;
}

// Methods that step past output times (Gear) place, serve and park with the
// three below instead of place_step and accept_tail.
void SolutionFrame::place_step_past_outputs(double h) {
  require_positive_step(h);
  const double t0 = GLOR.TIMEO;
  double tn = std::min(GLOR.TIMEND, t0 + 2.0 * h);
  LEVTIM(events_, "TIMESTEP", static_cast<std::int32_t>(events_.size()), t0, tn);
  if (tn > t0 + h) tn = (tn + t0) * 0.5;
  GLOR.TIMEN = tn;
  GLOR.DTIMEU = tn - t0;
  require_positive_step(GLOR.DTIMEU);
}

void SolutionFrame::output_served(double t) {
  if (t >= nominal_output_) nominal_output_ += GLOR.OUTINT;
  next_output_from(t);
}

void SolutionFrame::park_output() noexcept { next_output_ = std::numeric_limits<double>::infinity(); }

void SolutionFrame::place_step(double h) {
  require_positive_step(h);
  const double t0 = GLOR.TIMEO;
  const double tn = place_step_end(events_, t0, h, next_output_);
  GLOR.TIMEN = tn;
  GLOR.DTIMEU = tn - t0;
  // A step that is not positive would stop the clock (or run it backwards):
  // it comes from OUTINT, DTIMEI, DTMIN or DTMAX not positive, or from times
  // so large that the step vanishes in rounding.
  require_positive_step(GLOR.DTIMEU);
}

void SolutionFrame::require_positive_step(double h) const { require_positive_step_of(row_.name, h); }

void SolutionFrame::accept_tail() {
  call_variables2_block();
  if (GLOR.TIMEN >= next_output_) {
    call_outputs_block();
    if (GLOR.TIMEN >= nominal_output_) nominal_output_ += GLOR.OUTINT;
    next_output_from(GLOR.TIMEN);
  }
}

void SolutionFrame::finish() { GLOR.TIMEM = GLOR.TIMEN = GLOR.TIMEO = GLOR.TIMEND; }

void SolutionFrame::end_warning(std::int64_t count, std::int64_t steps, std::string_view limit,
                                std::int32_t code_up_to, std::int32_t code_more, std::string_view routine,
                                double threshold, std::size_t width) const {
  exceeded_warning(row_.name, count, steps, limit, code_up_to, code_more, routine, threshold, width);
}

}  // namespace kalvir::thermal

using namespace kalvir;

void SGTEVT(std::int32_t MAXN, std::string_view CALLER, std::int32_t& N, std::span<std::int32_t> LIST,
            std::int32_t& IERR) {
  N = 0;
  IERR = 0;
  const std::int64_t limit = std::min<std::int64_t>(MAXN, static_cast<std::int64_t>(LIST.size()));
  const std::int64_t narrays = std::min<std::int64_t>(FLAGS(19), gar_arrayinfopointers.size());
  LoopGuard guard("SGTEVT");
  for (std::int32_t k = 1; k <= narrays; ++k) {
    guard.tick();
    const std::int32_t p = gar_arrayinfopointers(k);
    if (p < 1 || p > gar_arrayinfolist.size()) continue;
    const std::int32_t form = gar_arrayinfolist(p);
    if (form != array_form::kStepEvents && form != array_form::kStepAndOutputEvents) continue;
    if (N + 1 > limit) {
      std::string text(CALLER);
      text += ": Insufficient dynamic core@Increase DYSTOR setting on $EXECUTION statement";
      SETERX(text, 4, 1, "SGTEVT");
      IERR = 1;
      N = 0;
      return;
    }
    LIST[static_cast<std::size_t>(N)] = k;
    ++N;
  }
}

void LEVTIM(std::span<const std::int32_t> LIST, std::string_view NAME, std::int32_t N, double TSTART, double& TEND) {
  const bool outputs_only = same_trimmed(NAME, "OUTPUT");
  std::array<std::int32_t, 8> idim{};
  for (std::int32_t e = 0; e < N && static_cast<std::size_t>(e) < LIST.size(); ++e) {
    const std::int32_t array = LIST[static_cast<std::size_t>(e)];
    std::int32_t ihead = 0, istart = 0, ndim = 0, nval = 0, nelem = 0, iform = 0, ierr = 0;
    APARS(array, ihead, istart, ndim, idim, nval, nelem, iform, ierr);
    if (ierr != 0) continue;
    if (outputs_only && iform == array_form::kStepEvents) continue;
    if (nelem < 1) continue;
    const double first = gar_arrayvaluesreal(istart);
    double t = first;
    // A first time after TSTART is the next event whatever the period says:
    // only a repeat that must be stepped past TSTART needs a usable period,
    // so a run that ends before the event never trips on it.
    if (nelem > 1 && !(first > TSTART)) {
      const double period = gar_arrayvaluesreal(istart + 1);
      if (!(period > 0.0) || !std::isfinite(period) || !std::isfinite(first)) {
        std::string text = "LEVTIM: Period of time-event array ";
        text += trim_right(gar_arraynames(array));
        text += " is not positive@An event array holds one event time, or a first event time and a positive period";
        SETERX(text, 4, 1, "LEVTIM");
        return;
      }
      // The first event after TSTART, found directly: walking to it one
      // period at a time could take billions of passes.
      // A few corrections mend the rounding of the division; a period too
      // small to move the time at all gives no event.
      double n = std::floor((TSTART - first) / period) + 1.0;
      t = first + n * period;
      for (int fix = 0; fix < 4 && t <= TSTART; ++fix) t = first + (++n) * period;
      for (int fix = 0; fix < 4 && n > 1.0 && first + (n - 1.0) * period > TSTART; ++fix)
        t = first + (--n) * period;
      if (t <= TSTART) continue;
    }
    if (t > TSTART && t < TEND) TEND = t;
  }
}
