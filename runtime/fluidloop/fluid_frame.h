// The frame that the single-phase fluid-loop transients FLTMTS, FLTNTF and
// FLTNTS run in: run tags, defaults of the iteration limits, the checks of
// the control constants with their messages, work space from the dynamic
// cores (event list, profile index table with the link codes, condensation
// rates and loads), the start-up calls of the model blocks, the placement of
// steps and output times, the end-of-run relaxation report and the exit.
//
// A routine builds a FluidFrame from its row on entry (which runs the checks
// and takes the work space), carves its loop's work arrays with take_real,
// and unless the run is skipped runs its start and its steps through the
// frame's helpers. The destructor is the exit: both next-free words go back
// to their values on entry, on every way out, and SOLVER is blanked unless
// the cyclic analysis set it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/control/global_arrays.h"
#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/profile_solver.h"

// SOLTYP := TEXT, blank-padded or cut to 7 characters.
void STSOLT(std::string_view TEXT);

namespace kalvir::fluidloop {

// The control constants whose definition a routine checks.
enum class Required { NLOOP, RELXMA, FRLXCA, FSTEPS, RELXCA, DTIMEI };
// When a check applies: always, with thermal nodes, with fluid nodes.
enum class Scope { Always, ThermalNodes, FluidNodes };

// One check of an undefined constant, with its message code.
struct RequiredCheck {
  Required constant;
  std::int32_t code;
  Scope scope;
};

// Sizes that the real work-space requirement of a routine depends on.
struct FrameSizes {
  std::int64_t nnode, nf, nm, profile;
  bool history;  // TIMELA "YES": the loop keeps 100 time levels
};

// One row of the single-phase routines' entry table.
struct FluidMethodRow {
  std::string_view name;           // "FLTMTS"
  std::string_view loop;           // the time loop that writes the relaxation report
  std::int32_t start_severity;     // TIMEO >= TIMEND: 3 skips the transient, 4 ends the run
  std::span<const RequiredCheck> checks;
  std::int32_t int_code;           // integer work space short
  std::int32_t real_code;          // real work space short
  std::int32_t fsteps_code;        // FSTEPS < 1, 0 when not checked
  std::int32_t step_code;          // a step that is not positive: a code the checks leave free
  bool mixed_sums;                 // CSGHYD (separate fluid minimum) instead of FFCSGM
  std::int64_t (*real_words)(const FrameSizes&);  // the loop's real words
};

// The row of FLTMTS, FLTNTF or FLTNTS; internal stop for another name.
const FluidMethodRow& fluid_method_row(std::string_view name);

// How a step's largest temperature change meets DTPMAX.
enum class DtpmaxVerdict { Accept, AcceptAtMinimum, Reject };
// Reject when the change exceeds DTPMAX and DTIMEU is above 1.0001 DTMIN;
// accepted at the minimum step when it exceeds DTPMAX there. PROPOSAL, on a
// rejection, is 0.95 DTIMEU DTPMAX / change (the method limits it).
DtpmaxVerdict dtpmax_verdict(double change, double& proposal);

class FluidFrame {
 public:
  // Entry: tags, iteration defaults, checks, event list, profile index
  // table (FPNTRS) with the link codes, condensation rates and loads.
  explicit FluidFrame(const FluidMethodRow& row);
  ~FluidFrame();
  FluidFrame(const FluidFrame&) = delete;
  FluidFrame& operator=(const FluidFrame&) = delete;

  const FluidMethodRow& row() const noexcept { return row_; }
  // TIMEO >= TIMEND let the run go on without a transient.
  bool skipped() const noexcept { return skipped_; }
  // "Y" or "N" for thermal nodes, then for fluid nodes.
  std::string_view presence() const noexcept { return {presence_, 2}; }
  bool humid_air() const noexcept { return humid_; }
  std::int32_t time_levels() const noexcept { return time_levels_; }
  std::span<const std::int32_t> events() const noexcept { return events_; }
  const ProfileIndex& table() const noexcept { return table_; }
  std::int32_t profile_length() const noexcept { return profile_length_; }
  std::span<std::int32_t> link_codes() const noexcept { return codes_; }
  std::span<double> condensation_rates() const noexcept { return condensation_rates_; }
  std::span<double> condensation_loads() const noexcept { return condensation_loads_; }

  // The loop's work arrays: consecutive slices of the real core, given back
  // at the exit.
  std::span<double> take_real(std::int32_t words);
  // The same from the integer core (the implicit method's frozen flags).
  std::span<std::int32_t> take_int(std::int32_t words);
  // The hydraulic blocks of the loop (FHDYAR: matrix, new pressures, head
  // terms, link conductances, right-hand side) over the loop's node vectors,
  // with the frame's profile index table and link codes.
  HydraulicWork take_hydraulic_work(std::span<double> viscosity, std::span<double> density,
                                    std::span<double> volume_rate);

  // Output times from TIMEO: nominal TIMEO + OUTINT, limit cut at TIMEND and
  // at output events.
  void start_outputs();
  // TIMEN, DTIMEU and TIMEM of a step of length h from TIMEO by the step
  // placement rule; a step that is not positive ends the run.
  void place_step(double h);
  // The outputs block at the start time (TIMEN set to TIMEO for the call).
  void output_at_start();
  // The calls before the first step: variables 1 with a blank and with the
  // THERMAL solution type, link conductances, node ties, conductance sums
  // and first hydraulics (CSGHYD or FFCSGM).
  void start_callbacks();
  // STSOLT blank, then variables 1.
  void variables1();
  // After an accepted step: variables 2 and, when due, the outputs block
  // with the advance of the output times.
  void accept_tail();
  // Counts an accepted step and the limits it did not meet.
  void count_step(bool relxca_missed, bool frlxca_missed, bool relxma_missed, bool dtpmax_at_minimum);
  // The warnings of the relaxation report, under the loop's name.
  void relaxation_report() const;
  // TIMEM, TIMEN, TIMEO := TIMEND.
  void finish();

  double nominal_output_time() const noexcept { return nominal_output_; }
  double output_limit() const noexcept { return output_limit_; }

 private:
  void check_constants();
  void take_work_space();

  const FluidMethodRow& row_;
  DynamicCoreMark mark_;
  bool skipped_ = false;
  char presence_[2] = {'N', 'N'};
  bool humid_ = false;
  std::int32_t time_levels_ = 1;
  std::span<const std::int32_t> events_;
  ProfileIndex table_;
  std::int32_t profile_length_ = 0;
  std::span<std::int32_t> codes_;
  std::span<double> condensation_rates_, condensation_loads_;
  double nominal_output_ = 0.0, output_limit_ = 0.0;
  std::int64_t accepted_ = 0, relxca_ = 0, frlxca_ = 0, relxma_ = 0, dtpmax_ = 0;
};

}  // namespace kalvir::fluidloop
