#include "runtime/parameters/case_files.h"

#include <algorithm>
#include <cctype>

#include "runtime/control/control_constants.h"
#include "runtime/control/file_names.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/gff/gff_header.h"
#include "runtime/output/gff/gff_records.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "runtime/parameters/case_file.h"
#include "runtime/parameters/csv_file.h"
#include "runtime/parameters/node_changes.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace kalvir::parameters {
namespace {

namespace io = kalvir::platform;

constexpr std::int32_t kMaxGffFiles = 9999;

void close_csv() {
  discard_csv_line(kalvir::unit::kCsv);
  forget_csv_columns(kalvir::unit::kCsv);
  io::unit_close(kalvir::unit::kCsv);
}
void close_gff() { io::unit_close(kalvir::unit::kGff); }
// A case print file gives standard output back, so that what the end of the
// run prints is not left in the last case's file.
void close_case_print() { io::unit_close(io::kStdoutUnit); }

// The saved state of the GFF output, for the whole run.
struct GffState {
  bool first = true;
  std::int32_t last_case = -1;
  double last_time = -1.0E20;
  std::int32_t count = 0;
  kalvir::gff::BlockFlags blocks{};
};
GffState gff;

std::string stem(std::string_view model) {
  const std::string_view name = kalvir::trim_right(model);
  return std::string(kalvir::trim_right(name.substr(0, std::min<std::size_t>(name.size(), 8))));
}

}  // namespace

std::string safe_title(std::string_view title) {
  std::string t(kalvir::trim_right(title));
  for (std::size_t i = 0; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    const bool kept = std::isalnum(c) != 0 || c == '-' || c == '_' || (c == '.' && (i == 0 || t[i - 1] != '.'));
    if (!kept) t[i] = '-';
  }
  return t;
}

void reset_gff_for_tests() {
  close_gff();
  gff = GffState{};
}

}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARFIL(std::int32_t PARMONLY, std::string_view MODELNAME, std::int32_t CSVMULT, std::int32_t CASENO,
            std::int32_t CSVENT, std::string_view CSVLIST, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t OUTMULT, std::int32_t PRINTUNIT, std::int32_t CSVUNIT, std::int32_t& IERR) {
  IERR = 0;
  const std::string stem = kp::stem(MODELNAME);
  const std::string title = kp::safe_title(TITLE);
  std::string root = stem + "_PAR" + kalvir::int_field(10000 + (CASENO % 10000), 5).substr(1);
  if (!title.empty()) root += "_" + title;
  kalvir::assign_padded(ROOT, root);

  if (OUTMULT != 0) {
    SOPSQ(root + ".out", "FORMATTED", "UNKNOWN", PRINTUNIT, IERR);
    if (IERR != 0) return;
    register_run_closer(kp::close_case_print);
  }
  if (CSVENT == 0) return;

  std::string name;
  if (CASENO == 0) {
    name = CSVMULT == 0 ? stem + "_PAR.csv" : root + ".csv";
  } else if (CASENO == 1 && PARMONLY != 0 && CSVMULT == 0) {
    name = stem + "_PAR.csv";
  } else if (CSVMULT != 0) {
    name = root + ".csv";
  } else {
    return;  // the run's single file stays open for this case's rows
  }
  kp::discard_csv_line(CSVUNIT);
  SOPSQ(name, "FORMATTED", "UNKNOWN", CSVUNIT, IERR);
  if (IERR != 0) return;
  register_run_closer(kp::close_csv);
  // The header waits for the model the case runs (the case loop writes it
  // after the case's restore, initial block and statements).
  kp::defer_csv_header(CSVLIST, 1, CSVUNIT);
}

void PARGFF(std::string_view GFFSTR, std::string_view ROOT, std::int32_t NCASE, std::int32_t UNIT) {
  kp::GffState& g = kp::gff;
  DynamicCoreMark mark;
  const std::int64_t need = std::int64_t{std::max(FLAGS(flagw::NNODE), 1)} + std::max(FLAGS(flagw::NF), 1);
  const std::span<std::int32_t> work = kp::take_core(mark, need);
  if (work.empty()) {
    SETERX("Insufficient space to generate parameter case GFF file@ Reserve more memory using DYSTOR on the "
           "$EXECUTION line of the model file.",
           4, 1, "PARGFF");
    return;
  }
  const double timen = GLOR.TIMEN;
  if (g.first || NCASE > g.last_case || (NCASE == g.last_case && g.last_time >= timen)) {
    kp::close_gff();
    g.count = g.first || NCASE != g.last_case ? 1 : g.count + 1;
    if (g.count > kp::kMaxGffFiles) {
      SETERX("No more than 9999 GFF files allowed", 4, 3, "PARGFF");
      return;
    }
    const std::string name =
        std::string(kalvir::trim_right(ROOT)) + ".GFF" + (g.count > 1 ? std::to_string(g.count) : std::string());
    std::int32_t status = 0;
    SOPSQ(name, "FORMATTED", "UNKNOWN", UNIT, status);
    if (status != 0) {
      SETERX("Cannot open GFF file " + kalvir::padded(name, 255) + "@I/O error " +
                 kalvir::int_field(status, 6),
             4, 2, "PARGFF");
      return;
    }
    register_run_closer(kp::close_gff);
    std::int32_t st = 0;
    GZBLKS(kalvir::padded(GFFSTR, 256), 256, kalvir::gff::kBlockNames, g.blocks, st);
    const std::string title =
        kalvir::padded("Parameter case " + kalvir::int_field(NCASE, 4) + " " + std::string(GLOC.PARNAM.view()), 100);
    GHEADB(UNIT, JOBINF.date.view(), JOBINF.model.view(), JOBINF.time.view(), title, g.blocks);
  }
  GRECDB(UNIT, g.blocks, GLOC.FORMAT.view(), timen, work);
  g.first = false;
  g.last_time = timen;
  g.last_case = NCASE;
}

void PARCHK() {
  if (PARNUM(3) != 0) {
    const kalvir::FailurePlace place(kp::options_place("CSV_ENTITIES"));
    std::int32_t status = 0;
    kp::check_csv_columns(PARCHR.csvlist.view(), 1, status);
  }
  if (PARNUM(7) != 0) {
    const kalvir::FailurePlace place(kp::options_place("TMD_ENTITIES"));
    ParTmdCheck(PARCHR.tmdstr.view());
  }
}

void PARWRT(std::string_view BLOCK) {
  const std::int32_t from = PARNUM(5);
  if (!((BLOCK == "VARIABLES2" && from == 1) || (BLOCK == "OUTPUTS" && from == 0))) return;
  const std::int32_t ncase = PARNUM(2);
  if (PARNUM(4) != 0) PARGFF(PARCHR.gffstr.view(), PARCHR.fileroot.view(), ncase, kalvir::unit::kGff);
  if (PARNUM(7) != 0) {
    // A TMD entity string the writer refuses names the option it came from.
    const kalvir::FailurePlace place(kp::options_place("TMD_ENTITIES"));
    ParTmd(PARCHR.tmdstr.view(), PARCHR.fileroot.view(), ncase);
  }
  if (PARNUM(3) != 0) {
    const kalvir::FailurePlace place(kp::options_place("CSV_ENTITIES"));
    std::int32_t status = 0;
    PARCSV(PARCHR.csvlist.view(), ncase, 1, kalvir::unit::kCsv, status);
    if (status != 0) FAILUR();
  }
}
