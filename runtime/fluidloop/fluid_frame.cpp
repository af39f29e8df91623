#include "runtime/fluidloop/fluid_frame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/conductance_sums.h"
#include "runtime/fluidloop/geometry_check.h"
#include "runtime/fluidloop/support.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/solution_frame.h"

using namespace kalvir;

void STSOLT(std::string_view TEXT) { assign_padded(GLOC.SOLTYP.span(), TEXT); }

namespace kalvir::fluidloop {
namespace {

// The relaxation report's texts are blank-padded to this.
constexpr std::size_t kReportWidth = 60;

constexpr std::array kMixedChecks{
    RequiredCheck{Required::NLOOP, 3, Scope::Always},
    RequiredCheck{Required::RELXMA, 4, Scope::Always},
    RequiredCheck{Required::FRLXCA, 5, Scope::Always},
    RequiredCheck{Required::FSTEPS, 6, Scope::Always},
    RequiredCheck{Required::RELXCA, 7, Scope::Always},
    RequiredCheck{Required::DTIMEI, 8, Scope::Always},
};
constexpr std::array kExplicitChecks{
    RequiredCheck{Required::NLOOP, 3, Scope::Always},
    RequiredCheck{Required::RELXCA, 4, Scope::ThermalNodes},
    RequiredCheck{Required::RELXMA, 5, Scope::FluidNodes},
    RequiredCheck{Required::FRLXCA, 6, Scope::FluidNodes},
};
constexpr std::array kImplicitChecks{
    RequiredCheck{Required::NLOOP, 3, Scope::Always},
    RequiredCheck{Required::DTIMEI, 4, Scope::Always},
    RequiredCheck{Required::RELXMA, 5, Scope::FluidNodes},
    RequiredCheck{Required::FRLXCA, 6, Scope::FluidNodes},
    RequiredCheck{Required::RELXCA, 7, Scope::ThermalNodes},
};

// The history table of the delayed time levels.
std::int64_t history(const FrameSizes& s, std::int64_t extra) { return s.history ? 100 * (s.nf + 1) + extra : 0; }

const std::array<FluidMethodRow, 3> kFluidMethods{{
    {"FLTMTS", "FLSITM", 3, kMixedChecks, 9, 10, 11, 12, true,
     [](const FrameSizes& s) {
       return 15 * s.nf + s.profile + 2 * s.nm + 5 * s.nnode + 5 + history(s, 1);
     }},
    {"FLTNTF", "FLTFIT", 4, kExplicitChecks, 7, 8, 0, 9, false,
     [](const FrameSizes& s) {
       return s.profile + 8 * s.nf + std::max(s.nf + 3 * s.nnode + 3, 2 * s.nm + s.nnode) + history(s, 0);
     }},
    {"FLTNTS", "FLTSIT", 4, kImplicitChecks, 8, 9, 0, 10, false,
     [](const FrameSizes& s) {
       return s.profile + history(s, 0) + std::max(4 * s.nnode + 10 * s.nf + 4, s.nnode + 8 * s.nf + 2 * s.nm);
     }},
}};

struct RequiredInfo {
  std::string_view name;
  bool undefined;
};
RequiredInfo required_info(Required r) {
  switch (r) {
    case Required::NLOOP:
      return {"NLOOP", SUNDCK(GLOI.NLOOP)};
    case Required::RELXMA:
      return {"RELXMA", SDUNDF(GLOR.RELXMA)};
    case Required::FRLXCA:
      return {"FRLXCA", SDUNDF(GLOR.FRLXCA)};
    case Required::FSTEPS:
      return {"FSTEPS", SUNDCK(GLOI.FSTEPS)};
    case Required::DTIMEI:
      return {"DTIMEI", SDUNDF(GLOR.DTIMEI)};
    case Required::RELXCA:
      break;
  }
  return {"RELXCA", SDUNDF(GLOR.RELXCA)};
}

bool solver_is_cyclic() { return GLOC.SOLVER.view().substr(0, 2) == "CY"; }

std::string text_of(std::string_view a, std::string_view b = {}, std::string_view c = {}, std::string_view d = {}) {
  std::string s(a);
  s += b;
  s += c;
  s += d;
  return s;
}

}  // namespace

const FluidMethodRow& fluid_method_row(std::string_view name) {
  for (const FluidMethodRow& r : kFluidMethods)
    if (same_trimmed(r.name, name)) return r;
  internal_stop(text_of("No fluid-loop frame for routine ", name));
}

DtpmaxVerdict dtpmax_verdict(double change, double& proposal) {
  proposal = GLOR.DTIMEU;
  if (!(change > GLOR.DTPMAX)) return DtpmaxVerdict::Accept;
  if (!(GLOR.DTIMEU > 1.0001 * GLOR.DTMIN)) return DtpmaxVerdict::AcceptAtMinimum;
  proposal = 0.95 * GLOR.DTIMEU * GLOR.DTPMAX / change;
  return DtpmaxVerdict::Reject;
}

FluidFrame::FluidFrame(const FluidMethodRow& row) : row_(row) {
  assign_padded(GLOC.MODULE.span(), row.name);
  if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "TRFL1P");
  GLOI.SUMFLL = 0;
  GLOI.SUMTHL = 0;
  settle_optional_constants();
  if (GLOI.NLOOPH == 0) GLOI.NLOOPH = GLOI.NLOOP;
  if (GLOI.NLOOPT == 0) GLOI.NLOOPT = GLOI.NLOOP;

  const std::int32_t nf = FLAGS(flagw::NF);
  presence_[0] = FLAGS(flagw::NNODE) > 0 ? 'Y' : 'N';
  presence_[1] = nf > 0 ? 'Y' : 'N';
  time_levels_ = same_trimmed(GLOC.TIMELA.view(), "YES") ? 100 : 1;
  humid_ = nf > 0 && FTAIRW(nf);

  check_constants();
  FGEOCK(row.name);
  events_ = thermal::take_event_list(mark_, row.name);
  take_work_space();
  if (row.fsteps_code != 0 && GLOI.FSTEPS < 1)
    SETERX(text_of(row.name, ": Control constant FSTEPS must be greater than zero"), 4, row.fsteps_code, row.name);
}

FluidFrame::~FluidFrame() {
  if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "");
}

void FluidFrame::check_constants() {
  const std::string_view name = row_.name;
  skipped_ = !kalvir::thermal::end_time_valid(
      name, text_of(name, ": TIMEND is not greater than TIMEO@See Engineering Manual for control constant definitions"),
      row_.start_severity, 1);
  if (SDUNDF(GLOR.OUTINT)) {
    // A skipped run keeps OUTINT undefined: a default of zero or less stored
    // here would be taken over by the next solution call as a real interval.
    if (!skipped_) GLOR.OUTINT = GLOR.TIMEND - GLOR.TIMEO;
    SETERX(outint_default_text(name), 2, 2, name);
  }
  for (const RequiredCheck& c : row_.checks) {
    if ((c.scope == Scope::ThermalNodes && presence_[0] != 'Y') || (c.scope == Scope::FluidNodes && presence_[1] != 'Y'))
      continue;
    const RequiredInfo info = required_info(c.constant);
    if (!info.undefined) continue;
    SETERX(required_constant_text(name, info.name), 4, c.code, name);
  }
}

void FluidFrame::take_work_space() {
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t int_needed = static_cast<std::int64_t>(FLAGS(flagw::NEXTINT)) + 5LL * nf + nm;
  if (int_needed > dystor)
    SETERX(thermal::shortage_text(row_.name, thermal::kShortageTail, int_needed - dystor), 4, row_.int_code, row_.name);
  const std::int32_t int_first = mark_.take_int(5 * nf + nm);
  if (int_first < 1 || static_cast<std::int64_t>(int_first) - 1 + 5LL * nf + nm > gar_dynamiccoreint.size())
    internal_stop(text_of(row_.name, ": work area outside the integer dynamic core"));
  const std::span<std::int32_t> ints(gar_dynamiccoreint.data() + (int_first - 1),
                                     static_cast<std::size_t>(5 * nf + nm));
  table_ = profile_index(ints.first(5 * static_cast<std::size_t>(nf)), nf);
  codes_ = ints.subspan(5 * static_cast<std::size_t>(nf));
  FPNTRS(nf, table_, profile_length_);

  const FrameSizes sizes{nnode, nf, nm, profile_length_, time_levels_ == 100};
  const std::int64_t real_needed = FLAGS(flagw::NEXTREAL) + row_.real_words(sizes);
  if (real_needed > dystor)
    SETERX(thermal::shortage_text(row_.name, thermal::kShortageTail, real_needed - dystor), 4, row_.real_code,
           row_.name);
  condensation_rates_ = take_real(nf);
  condensation_loads_ = take_real(nnode);
}

std::span<double> FluidFrame::take_real(std::int32_t words) {
  const std::int32_t first = mark_.take_real(words);
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccorereal.size())
    internal_stop(text_of(row_.name, ": work area outside the real dynamic core"));
  return {gar_dynamiccorereal.data() + (first - 1), static_cast<std::size_t>(words)};
}

std::span<std::int32_t> FluidFrame::take_int(std::int32_t words) {
  const std::int32_t first = mark_.take_int(words);
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccoreint.size())
    internal_stop(text_of(row_.name, ": work area outside the integer dynamic core"));
  return {gar_dynamiccoreint.data() + (first - 1), static_cast<std::size_t>(words)};
}

HydraulicWork FluidFrame::take_hydraulic_work(std::span<double> viscosity, std::span<double> density,
                                              std::span<double> volume_rate) {
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  std::int32_t next = FLAGS(flagw::NEXTREAL);
  HydraulicBlocks blocks;
  FHDYAR(nm, nf, profile_length_, next, blocks);
  take_real(next - blocks.area);
  return hydraulic_work(blocks, nf, nm, profile_length_, viscosity, density, volume_rate, codes_, table_);
}

void FluidFrame::start_outputs() {
  nominal_output_ = GLOR.TIMEO + GLOR.OUTINT;
  output_limit_ = std::min(nominal_output_, GLOR.TIMEND);
  LEVTIM(events_, "OUTPUT", static_cast<std::int32_t>(events_.size()), GLOR.TIMEO, output_limit_);
}

void FluidFrame::place_step(double h) {
  thermal::require_positive_step_of(row_.name, h, row_.step_code);
  const double t0 = GLOR.TIMEO;
  const double t1 = thermal::place_step_end(events_, t0, h, output_limit_);
  GLOR.TIMEN = t1;
  GLOR.DTIMEU = t1 - t0;
  GLOR.TIMEM = (t0 + t1) / 2.0;
  // A step that is not positive would stop the clock or run it backwards.
  thermal::require_positive_step_of(row_.name, GLOR.DTIMEU, row_.step_code);
}

void FluidFrame::output_at_start() {
  const double placed = GLOR.TIMEN;
  GLOR.TIMEN = GLOR.TIMEO;
  call_outputs_block();
  GLOR.TIMEN = placed;
}

void FluidFrame::start_callbacks() {
  variables1();
  STSOLT("THERMAL");
  call_variables1_block();
  SGMCAL(FLAGS(flagw::NM));
  SSNCNT(FLAGS(24), FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  if (row_.mixed_sums)
    CSGHYD(presence(), table_, codes_);
  else
    FFCSGM(presence(), table_, codes_);
}

void FluidFrame::variables1() {
  STSOLT("");
  call_variables1_block();
}

void FluidFrame::accept_tail() {
  call_variables2_block();
  if (GLOR.TIMEN >= output_limit_) {
    call_outputs_block();
    if (GLOR.TIMEN >= nominal_output_) nominal_output_ += GLOR.OUTINT;
    output_limit_ = std::min(nominal_output_, GLOR.TIMEND);
    LEVTIM(events_, "OUTPUT", static_cast<std::int32_t>(events_.size()), GLOR.TIMEN, output_limit_);
  }
}

void FluidFrame::count_step(bool relxca_missed, bool frlxca_missed, bool relxma_missed, bool dtpmax_at_minimum) {
  ++accepted_;
  relxca_ += relxca_missed;
  frlxca_ += frlxca_missed;
  relxma_ += relxma_missed;
  dtpmax_ += dtpmax_at_minimum;
}

void FluidFrame::relaxation_report() const {
  const std::int64_t steps = accepted_ + 1;
  thermal::exceeded_warning(row_.name, relxca_, steps, "RELXCA", 1, 2, row_.loop, 0.1, kReportWidth);
  thermal::exceeded_warning(row_.name, frlxca_, steps, "FRLXCA", 3, 4, row_.loop, 0.1, kReportWidth);
  thermal::exceeded_warning(row_.name, relxma_, steps, "RELXMA", 5, 6, row_.loop, 0.1, kReportWidth);
  thermal::exceeded_warning(row_.name, dtpmax_, steps, "DTPMAX", 7, 8, row_.loop, 0.1, kReportWidth);
}

void FluidFrame::finish() { GLOR.TIMEM = GLOR.TIMEN = GLOR.TIMEO = GLOR.TIMEND; }

}  // namespace kalvir::fluidloop
