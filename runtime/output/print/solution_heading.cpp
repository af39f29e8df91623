#include "runtime/output/print/solution_heading.h"

#include <array>
#include <cmath>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

std::string LFMTR(std::int32_t IW, std::int32_t ID, std::int32_t IS, double X) {
  std::string form;
  if (SDUNDF(X)) {
    form = "(F" + std::to_string(IW) + ".0)";
  } else {
    const double limit = std::pow(10.0, X >= 0.0 ? IW - ID - 1 : IW - ID - 2);
    const double smallest = std::pow(10.0, IS - ID - 1);
    const double a = std::fabs(X);
    if (X == 0.0 || (a < limit && a >= smallest))
      form = "(F" + std::to_string(IW) + "." + std::to_string(ID) + ")";
    else
      form = "(1PE" + std::to_string(IW) + "." + std::to_string(IS - 1) + ")";
  }
  return kalvir::padded(form, 14);
}

namespace kalvir::print {

std::string heading_value(std::int32_t IW, std::int32_t ID, std::int32_t IS, double X) {
  const std::string form = LFMTR(IW, ID, IS, X);
  std::vector<std::string> records;
  const std::array<platform::FormatItem, 1> items{X};
  const auto parsed = platform::Format::parse(trim_right(form));
  // A value that cannot be written in its form shows as asterisks; the
  // heading never stops the run.
  if (!parsed || parsed->write(items, records) != 0 || records.size() != 1 ||
      records[0].size() != static_cast<std::size_t>(IW))
    return std::string(static_cast<std::size_t>(std::max(IW, 0)), '*');
  return records[0];
}

}  // namespace kalvir::print

namespace {

using kalvir::print::heading_value;

// The solution-heading variants, chosen by SOLVER.
enum class Variant { SteadyThermal, Thermal, SteadyFluid, OnePhaseFltmts, OnePhase, TwoPhase, Other };

Variant variant_of(std::string_view solver, std::string_view module) {
  const std::string s = kalvir::padded(solver, 6);
  if (kalvir::same_trimmed(solver, "SSTH")) return Variant::SteadyThermal;
  if (s.substr(2, 2) == "TH") return Variant::Thermal;
  if (s.substr(0, 4) == "SSFL") return Variant::SteadyFluid;
  if (s.substr(2, 4) == "FL1P")
    return kalvir::same_trimmed(module, "FLTMTS") ? Variant::OnePhaseFltmts : Variant::OnePhase;
  if (s.substr(2, 4) == "FL2P") return Variant::TwoPhase;
  return Variant::Other;
}

// User number of internal node index `node` (thermal or fluid), 0 when the
// index is undefined or outside the model.
std::int32_t user_number(std::int32_t node) {
  if (SUNDCK(node) || node < 1) return 0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  if (node <= nnode) return node <= gar_thermalnodenums.size() ? gar_thermalnodenums(node) : 0;
  const std::int64_t f = static_cast<std::int64_t>(node) - nnode;
  return f <= FLAGS(flagw::NF) && f <= gar_fluidnodenums.size() ? gar_fluidnodenums(f) : 0;
}

// Writes `record`, extended by the node reference of internal node `node`
// when its user number is known and positive: "  AT NODE <n> IN SUB-MODEL  "
// on the record, then the submodel path as an overprint from the column
// after it.
void put_with_node_reference(std::string record, std::int32_t node) {
  const std::int32_t number = user_number(node);
  if (number <= 0) {
    kalvir::print::put(record);
    return;
  }
  const std::int32_t digits = LENDGT(number);
  record += "  AT NODE ";
  record += std::to_string(number);
  record += " IN SUB-MODEL  ";
  kalvir::print::put(record);

  const std::int32_t nsub = FLAGS(flagw::NSUB);
  std::vector<kalvir::Chars<24>> path(static_cast<std::size_t>(std::max(nsub, 1)));
  std::int32_t npath = 0;
  std::int32_t ierr = 0;
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, NDSSMD(node),
         std::span<char>(reinterpret_cast<char*>(path.data()), path.size() * 24), 24, npath, ierr);
  if (ierr == 0) LSPCNM(path, npath, 44 + digits, GLOI.WIDTH);
}

}  // namespace

void PRHEAD() {
  using kalvir::print::put;
  if (kalvir::print::lines_left() < 10) PRPAGE();

  const std::string solver = GLOC.SOLVER.str();
  const std::string module = GLOC.MODULE.str();
  const std::int32_t width = GLOI.WIDTH;
  auto integer = [](std::int32_t v) { return kalvir::int_field(v, 6); };

  const std::string time = " TIMEN =" + heading_value(10, 2, 2, GLOR.TIMEN);
  const std::string routine = "      MODULE " + module + (solver.starts_with("CY") ? "-CYC" : "    ");
  const std::string iterations = "  LOOPCT =" + integer(GLOI.LOOPCT);
  const std::string relaxation = "  RELXMC =" + heading_value(10, 4, 4, GLOR.RELXMC);
  const std::string dtimeu = heading_value(10, 4, 4, GLOR.DTIMEU);
  const std::string dtcour = heading_value(10, 4, 4, GLOR.DTCOUR);
  const std::string balances =
      "ENBALA =" + heading_value(10, 4, 4, GLOR.ENBALA) + "      ENBALR =" + heading_value(7, 4, 1, GLOR.ENBALR);
  const std::string csgmin = " CSGMIN =" + heading_value(10, 4, 4, GLOR.CSGMIN);
  const std::string fcsgmn = " FCSGMN =" + heading_value(10, 4, 4, GLOR.FCSGMN);

  // The main part: a first record and, after a break point, the rest; the rest
  // joins the first record (6 blanks apart) when WIDTH exceeds the variant's
  // one-line limit.
  auto main_part = [&](const std::string& first, const std::string& rest, std::int32_t one_line_limit) {
    if (width > one_line_limit) {
      put(" " + first + "      " + rest);
      return 1;
    }
    put(" " + first);
    put(" " + rest);
    return 2;
  };
  auto empties = [&](int n) {
    for (int i = 0; i < n; ++i) put("");
  };

  put("");
  std::int32_t lines = 0;
  switch (variant_of(solver, module)) {
    case Variant::SteadyThermal:
      lines = 3 + main_part(time + routine + iterations, balances, 101);
      empties(2);
      break;
    case Variant::Thermal:
      put(" " + time + routine + "  DTIMEU =" + dtimeu);
      put_with_node_reference(csgmin, GLOI.NCSGMN);
      empties(2);
      lines = 5;
      break;
    case Variant::SteadyFluid:
      lines = 3 + main_part(time + routine + iterations, balances + "    DTCOUR = " + dtcour, 125);
      empties(2);
      break;
    case Variant::OnePhaseFltmts: {
      const std::string rest = "FSTEPS =" + integer(GLOI.FSTEPS) + "      DTIMEU =" + dtimeu +
                               "      DTCOUR =" + dtcour;
      lines = 3 + main_part(time + routine + relaxation, rest, 128);
      put_with_node_reference(csgmin, GLOI.NCSGMN);
      put_with_node_reference(fcsgmn, GLOI.FNCSGM);
      empties(2);
      lines += 3;
      break;
    }
    case Variant::OnePhase:
      lines = 2 + main_part(time + routine + relaxation, "DTIMEU =" + dtimeu + "      DTCOUR =" + dtcour, 108);
      put_with_node_reference(csgmin, GLOI.NCSGMN);
      empties(2);
      lines += 2;
      break;
    case Variant::TwoPhase:
      lines = 4 + main_part(time + routine + "  DTIMEU =" + dtimeu, "DTCOUR =" + dtcour, 84);
      empties(3);
      break;
    case Variant::Other:
      put(" " + time);
      empties(2);
      lines = 4;
      break;
  }
  kalvir::print::count_lines(lines);
}
