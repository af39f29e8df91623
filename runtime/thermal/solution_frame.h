// The frame that every transient thermal solution routine runs in: entry
// checks and their messages, work space from the dynamic cores, time-event
// arrays, placement of time steps and output times, the call-backs into the
// model program around a step, the exit, and the end-of-run warnings.
//
// A routine builds a SolutionFrame on entry (which makes the entry checks and
// takes the event list), carves its work areas, and, unless the run is
// skipped, runs its first step and its steps through the frame's helpers.
// The frame's destructor is the exit: it puts the next-free words of both
// cores back (on every way out, a fatal message included) and blanks SOLVER.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/control/global_arrays.h"

// Event list: LIST(1..N) := the numbers of the ARRAYs of form 5 or 6. When
// one more would exceed MAXN (or the room of LIST): the shortage message
// naming CALLER, IERR 1 and N 0.
void SGTEVT(std::int32_t MAXN, std::string_view CALLER, std::int32_t& N, std::span<std::int32_t> LIST,
            std::int32_t& IERR);

// Lowers TEND to the earliest event time of the N event arrays in LIST that
// lies strictly between TSTART and TEND. NAME "OUTPUT" passes over form 5
// arrays. A repeated event's time is first + n x period; a period that is not
// positive ends the run (severity 4) once the first time is not after TSTART.
void LEVTIM(std::span<const std::int32_t> LIST, std::string_view NAME, std::int32_t N, double TSTART, double& TEND);

namespace kalvir::thermal {

// The control constants a method requires.
enum class Required { NLOOP, DTIMEI, RELXCA };

// One row of the methods' entry table.
struct MethodRow {
  std::string_view name;  // "SLCRNC"
  std::span<const Required> required;
  std::span<const std::int32_t> required_codes;
  std::int32_t shortage_code;
  std::string_view shortage_tail;  // text behind the number of extra words
};

// The row of a solution routine; internal stop for a name outside the table.
const MethodRow& method_row(std::string_view name);

// A proposed step held between DTMIN and DTMAX.
double clamp_step(double h);
// The step of a retry after step H was rejected: PROPOSAL clamped, or DTMIN
// when that is not shorter than H, so that a retry can never repeat for ever.
double retry_step(double proposal, double h);

// The shortage text of a routine, number of extra words in 9 columns.
std::string shortage_text(std::string_view name, std::string_view tail, std::int64_t extra);
// The tail of the shortage text that most routines write.
inline constexpr std::string_view kShortageTail =
    " words needed, increase DYSTOR on $EXECUTION record, see User Manual description of $EXECUTION block";

// The start-time check of every solution routine: false, after the message
// that says why (SEVERITY and CODE, under ROUTINE), when TIMEND is not set
// (the undefined marker) or not after TIMEO; NOT_AFTER is the routine's text
// for the second. The routine then skips its run.
bool end_time_valid(std::string_view routine, std::string_view not_after, std::int32_t severity, std::int32_t code);

// The event list of a solution routine: the time-event arrays (SGTEVT, the
// shortage naming ROUTINE) at the start of the free integer core, taken from
// MARK for the whole solution.
std::span<const std::int32_t> take_event_list(DynamicCoreMark& mark, std::string_view routine);

// End of a step of length h from t0 within the output limit: two steps'
// look-ahead, cut at the first event time inside it, and a remainder between
// one and two steps split into two equal steps.
double place_step_end(std::span<const std::int32_t> events, double t0, double h, double limit);

// Ends the run (severity 4) under ROUTINE's name when a step is not positive;
// CODE is one that the routine's own checks leave free.
void require_positive_step_of(std::string_view routine, double h, std::int32_t code = 7);

// End-of-run warning of ROUTINE: COUNT of STEPS steps exceeded LIMIT, "up to
// 10%" below a tenth, else "more than 10%", written for REPORTER.
void exceeded_warning(std::string_view routine, std::int64_t count, std::int64_t steps, std::string_view limit,
                      std::int32_t code_up_to, std::int32_t code_more, std::string_view reporter,
                      double threshold = 0.1, std::size_t width = 0);

// Ends the run (severity 4, code 8, reported by ROUTINE) naming a diffusion
// node whose capacitance is negative or not finite: no method can step such
// a node (some would run on silently, others diverge).
[[noreturn]] void unsound_capacitance_stop(std::string_view routine, std::int32_t node);
// The check of every diffusion node's capacitance at the start of a solution.
void require_sound_capacitances(std::string_view routine);
// One warning (severity 2, code 9) per active linear or radiative conductor
// and run whose value is negative, naming it: a negative conductance may be
// meant (a correction term), so the run goes on with it.
void warn_negative_conductances(std::string_view routine);

class SolutionFrame {
 public:
  // Entry: MODULE, SOLVER, the start-time check, the OUTINT default, the
  // required constants and the event list.
  explicit SolutionFrame(const MethodRow& row);
  ~SolutionFrame();
  SolutionFrame(const SolutionFrame&) = delete;
  SolutionFrame& operator=(const SolutionFrame&) = delete;

  bool skipped() const noexcept { return skipped_; }
  const MethodRow& row() const noexcept { return row_; }

  // Work space: reports the shortage (severity 4) when the larger of the two
  // excesses over DYSTOR, as the method computes them, is positive.
  void check_space(std::int64_t real_excess, std::int64_t int_excess) const;
  // Consecutive slices from the next-free words, advancing them.
  std::span<double> take_real(std::int32_t words);
  std::span<std::int32_t> take_int(std::int32_t words);

  // First step (items 2.1 to 2.3): output times, DTIMEU from DTIMEI and
  // the limits, placement. The method sets TIMEM and calls start_callbacks.
  void first_step();
  // V10001, the checks of the capacitances, the conductors and every node's
  // net conductance, the node ties, S5CSGM.
  void start_callbacks();
  // OUTPUT at the start time (TIMEN set to TIMEO for the call).
  void output_at_start();
  // Step placement with step h: two-step look-ahead, event cuts, halving.
  // A step that comes out not positive ends the run (severity 4).
  void place_step(double h);
  // Ends the run (severity 4) when a step is not positive.
  void require_positive_step(double h) const;
  // Step placement for methods that step past output times (Gear): as
  // place_step, but limited by TIMEND and the step events only.
  void place_step_past_outputs(double h);
  // After an output served at time T inside or at the end of a step: the
  // nominal output time advances by OUTINT when T reached it, and the next
  // output time is the nominal one capped at TIMEND and cut at the output
  // events after T.
  void output_served(double t);
  // No further output in this run: the next output time moves past TIMEND.
  void park_output() noexcept;
  // After an accepted step: V20001 and, when due, OUTPUT with the advance of
  // the output times.
  void accept_tail();
  // TIMEM, TIMEN, TIMEO := TIMEND.
  void finish();

  // End-of-run warning for a count of steps in which a limit was exceeded:
  // "up to 10%" when count / steps is below THRESHOLD; the text padded with
  // blanks to WIDTH characters.
  void end_warning(std::int64_t count, std::int64_t steps, std::string_view limit, std::int32_t code_up_to,
                   std::int32_t code_more, std::string_view routine, double threshold = 0.1,
                   std::size_t width = 0) const;

  double nominal_output_time() const noexcept { return nominal_output_; }
  double next_output_time() const noexcept { return next_output_; }
  std::span<const std::int32_t> events() const noexcept { return events_; }

 private:
  void next_output_from(double tstart);

  const MethodRow& row_;
  DynamicCoreMark mark_;
  bool skipped_ = false;
  std::span<const std::int32_t> events_;
  double nominal_output_ = 0.0;
  double next_output_ = 0.0;
};

}  // namespace kalvir::thermal
