#include "runtime/program/startup.h"

#include <hdf5.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "runtime/casedata/acd_arrays.h"
#include "runtime/casedata/acd_solution.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/file_names.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/state_dump.h"
#include "runtime/fluidloop/fluid_state.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/monitor/progress_monitor.h"
#include "runtime/output/tmd/tmd_file.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "runtime/program/param_loop.h"
#include "runtime/program/run_hooks.h"

namespace {

namespace io = kalvir::platform;
using kalvir::SetupFailure;

constexpr int kRunFileCount = 22;
constexpr std::size_t kRunFileWidth = 40;
constexpr std::size_t kAttributeNameLength = 18;

std::int32_t code(SetupFailure f) { return static_cast<std::int32_t>(f); }

// Failure texts by code; the last serves every code outside the list.
constexpr std::array<std::string_view, 7> kFailureTexts{
    "\n *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***\n       *** CONTACT KALVIR CENTRAL SUPPORT ***\n\n\n",
    "\n\n *** PROGRAM FAILS TO FIND PARAMETERS FILE ***\n\n\n",
    "\n\n *** PROGRAM FAILS TO OPEN SCRATCH FILE ***\n\n\n",
    "\n\n *** PROGRAM FAILS IN USING SCRATCH FILE ***\n\n\n",
    "\n\n *** PROGRAM FAILS IN READING PARAMETERS FILE ***\n\n\n",
    "\n\n *** PROGRAM FAILS TO RESTORE OR CHANGE COMMONS ***\n\n\n",
    "\n\n *** FAILURE IN KALVIR GENERATED PROGRAM ***\n\n\n",
};

void write_failure_text(std::int32_t status) {
  std::string_view text = kalvir::setup_failure_text(status);
  // One record per line; the text ends with the newline of its last line.
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    io::write_line(kalvir::unit::kPrint, text.substr(0, nl));
    text.remove_prefix(nl + 1);
  }
}

// What the start-up failure was about beyond its code: the file that could
// not be found or opened, and where it was looked for.
std::string& failure_detail() {
  static std::string detail;
  return detail;
}

std::string working_directory() {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::string("(unknown)") : cwd.string();
}

// The MDB file of MODELNAME was not found or could not be opened.
std::string mdb_failure_detail(std::string_view model_name) {
  char name[32];
  std::int32_t ierr = 0;
  SFLNAM(model_name, 1, kalvir::CharRowsMut(name, sizeof name, 1), ierr);
  const std::string file = ierr == 0 ? std::string(kalvir::trim_right(std::string_view(name, sizeof name))) : "";
  const bool exists = !file.empty() && kalvir::platform::file_exists(file);
  return "MDB file " + file + (exists ? " cannot be opened" : " not found") + "@Working directory: " +
         working_directory();
}

void write_failure_detail() {
  const std::string& detail = failure_detail();
  std::size_t from = 0;
  while (from <= detail.size() && !detail.empty()) {
    const std::size_t at = detail.find('@', from);
    io::write_line(kalvir::unit::kPrint,
                   "       *** " + detail.substr(from, at == std::string::npos ? std::string::npos : at - from) + " ***");
    if (at == std::string::npos) break;
    from = at + 1;
  }
}

// FLAGS word += an ACD value count; a count that is negative or would not fit
// the word cannot size an array.
void add_acd_count(int word, std::int32_t count, std::string_view what) {
  const std::int64_t sum = static_cast<std::int64_t>(FLAGS(word)) + count;
  if (count < 0 || sum > std::numeric_limits<std::int32_t>::max()) {
    SETERX("Invalid number of " + std::string(what) + " in ACD file@The ACD file gives " + std::to_string(count) +
               "@The array value stores cannot hold them",
           4, 1, "MAINA");
  }
  FLAGS(word) = static_cast<std::int32_t>(sum);
}

// Opens one of the run's files; a failure has been reported by SOPSQ.
bool open_run_file(const kalvir::CharArray<kRunFileWidth>& names, int index, std::string_view form,
                   std::string_view status, std::int32_t unit) {
  std::int32_t ierr = 0;
  SOPSQ(names(index), form, status, unit, ierr);
  return ierr == 0;
}

// SPRNOD from the names the model program gave. Each group must name as
// many attributes as SPRSIZ counts, the counts must fit SPRSIZ(1), and each
// name must be 1 to 18 characters, not a built-in entity name and used once:
// otherwise a statement, a CSV column or a GFF header could not reach an
// attribute by its name, or would reach another one.
void fill_attribute_names() {
  struct Group {
    int count_word;
    std::string_view kind;
  };
  constexpr std::array<Group, 3> kGroups{{{5, "real"}, {4, "integer"}, {3, "character"}}};
  const auto fail = [](const std::string& text) { SETERX(text, 4, 2, "MAINA"); };
  const auto& given = sprnod_givennames();
  std::vector<std::string_view> seen;
  for (std::size_t g = 0; g < kGroups.size(); ++g) {
    const std::int32_t count = SPRSIZ(kGroups[g].count_word);
    const std::string kind(kGroups[g].kind);
    if (count < 0 || count > SPRSIZ(1) || count > SPRNOD.rows()) {
      fail("Invalid user attribute sizes@SPRSIZ counts " + std::to_string(count) + " " + kind +
           " attributes, its leading dimension is " + std::to_string(SPRSIZ(1)));
    }
    const std::vector<std::string>& names = given[g];
    if (static_cast<std::int64_t>(names.size()) != count) {
      fail("User attribute names do not match the sizes@The model program names " + std::to_string(names.size()) +
           " " + kind + " attributes, SPRSIZ counts " + std::to_string(count));
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
      const std::string_view name = kalvir::trim_right(names[k]);
      if (name.empty() || name.size() > kAttributeNameLength || name.find(' ') != std::string_view::npos) {
        fail("Invalid user attribute name@\"" + names[k] + "\" (" + kind +
             " attribute): 1 to 18 characters without blanks");
      }
      if (kalvir::is_entity_mnemonic(name)) {
        fail("Invalid user attribute name@\"" + std::string(name) + "\" (" + kind +
             " attribute) is the name of a built-in entity, which every statement and column would read instead");
      }
      if (std::find(seen.begin(), seen.end(), name) != seen.end())
        fail("Duplicate user attribute name@" + std::string(name));
      seen.push_back(name);
      SPRNOD(static_cast<std::int64_t>(k) + 1, static_cast<std::int64_t>(g) + 1) = name;
    }
  }
}

}  // namespace

std::string_view kalvir::setup_failure_text(std::int32_t status) {
  if (status >= 1 && status <= 6) return kFailureTexts[static_cast<std::size_t>(status - 1)];
  return kFailureTexts.back();
}

void SVMNAM(std::string_view MODELNAME) { gfl_setmodelname(MODELNAME); }

void SLDINA(std::string_view MODELNAME) {
  JOBINF.model = MODELNAME;
  JOBINF.date = ZDAYDT();
  JOBINF.time = ZDAYTM();
}

void SLDINB() {
  PRTINF.w.fill(0);
  PRTINF(1) = 60;
  PRTINF(2) = 1;
  PRTINF(3) = kalvir::unit::kPrint;
  PRTINF(4) = 1;
}

void LSETUP(std::int32_t& IPARAM, std::string_view MODELNAME, std::int32_t& STATUS) {
  STATUS = code(SetupFailure::None);
  IPARAM = 0;
  SLDINA(MODELNAME);
  SLDINB();

  std::int32_t ierr = 0;
  SCOMLD(kalvir::unit::kMdb, ierr);
  if (ierr != 0) {
    // The load reports every other failure itself; this one comes back.
    if (ierr == 1) failure_detail() = mdb_failure_detail(MODELNAME);
    STATUS = code(SetupFailure::Database);
    return;
  }
  // What the file left undefined and the routines read takes its neutral
  // value now: the model's blocks count with STEPCT from the first step, and
  // the state dump below gives every parameter case the same start.
  settle_optional_constants();

  kalvir::CharArray<kRunFileWidth> names(kRunFileCount);
  SFLNAM(MODELNAME, kRunFileCount, names, ierr);
  if (ierr != 0) {
    STATUS = code(SetupFailure::Other);
    return;
  }

  if (!open_run_file(names, kalvir::runfile::DMP, "UNFORMATTED", "UNKNOWN", kalvir::unit::kScratch)) {
    STATUS = code(SetupFailure::ScratchOpen);
    return;
  }
  prm_open(names(kalvir::runfile::MON));
  if (!open_run_file(names, kalvir::runfile::TRA, "FORMATTED", "UNKNOWN", kalvir::unit::kTrace)) {
    STATUS = code(SetupFailure::Other);
    return;
  }

  acds_open(kalvir::trim_right(MODELNAME));
  acds_staticload();

  bool exists = false;
  SFLXST(kalvir::CharRows(names.data() + (kalvir::runfile::PAR - 1) * kRunFileWidth, kRunFileWidth, 1), 1, exists,
         ierr);
  if (ierr != 0) {
    STATUS = code(SetupFailure::ParameterFile);
    return;
  }
  if (!exists) return;
  IPARAM = 1;

  if (!open_run_file(names, kalvir::runfile::PAR, "FORMATTED", "OLD", kalvir::unit::kParameters)) {
    STATUS = code(SetupFailure::ParameterFile);
    return;
  }
  if (!open_run_file(names, kalvir::runfile::COM, "UNFORMATTED", "UNKNOWN", kalvir::unit::kDump)) {
    STATUS = code(SetupFailure::ScratchUse);
    return;
  }
  DMPCOM(kalvir::unit::kDump, ierr);
  if (ierr != 0) STATUS = code(SetupFailure::ScratchUse);
}

void MAINA(std::string_view MODELNAME) {
  kalvir::install_run_hooks();
  // The library is shut down by the end of the run alone, not again by the
  // process end: a result file that could not be written must stay unclosed.
  static_cast<void>(H5dont_atexit());
  forget_run_failures();
  if (H5open() < 0) {
    SETERX("Cannot initialise the HDF5 library@The analysis-case data and result files cannot be used", 4, 1,
           "MAINA");
  }
  // Registered first, so that it runs last: nothing of the run uses HDF5
  // after it, and its status tells nothing useful. Shutting the library down
  // closes every file still open, so it stays up when a result file was left
  // open after a failure: the file keeps what its last flush stored.
  register_run_closer([] {
    if (!kalvir::tmd::files_left_open()) static_cast<void>(H5close());
  });

  std::int32_t nindex = 0;
  std::int32_t nvalues = 0;
  acda_open(MODELNAME);
  acda_getnumberofarrayvalues(nindex, nvalues);
  acda_close();
  add_acd_count(21, nindex, "array index values");
  add_acd_count(20, nvalues, "array values");
  kalvir::acd_array_counts() = {nvalues, nindex};

  gar_Allocate(gar_sizes_from_flags());
  loc_allocate();
  sprnod_allocate();
  fill_attribute_names();

  std::int32_t iparam = 0;
  std::int32_t status = 0;
  failure_detail().clear();
  LSETUP(iparam, MODELNAME, status);
  if (status != 0) {
    write_failure_text(status);
    write_failure_detail();
    std::string_view first = kalvir::setup_failure_text(status);
    first.remove_prefix(std::min(first.find_first_not_of("\n "), first.size()));
    std::string problem(kalvir::trim_right(first.substr(0, first.find('\n'))));
    if (!failure_detail().empty()) problem += "@" + failure_detail();
    note_failure("LSETUP", problem);
    FAILUR();
  }

  // The connection lists built by the load have replaced these pairs.
  gar_linearcondnodepairs.release();
  gar_radiativecondnodepairs.release();
  gar_fluidiccondnodepairs.release();

  PARAMX(iparam, MODELNAME, status, kalvir::unit::kDump, kalvir::unit::kParameters, kalvir::unit::kCsv);
  if (status != 0) {
    write_failure_text(code(SetupFailure::ParameterRead));
    note_failure("PARAMX", "*** PROGRAM FAILS IN READING PARAMETERS FILE ***");
    FAILUR();
  }
}

void FINITS(std::string_view ZLABEL, std::int32_t SUBREF) {
  const std::int32_t nf = FLAGS(flagw::NF);
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  // The magnitude in 64 bits: the most negative reference has no 32-bit one.
  const std::int64_t magnitude = SUBREF < 0 ? -static_cast<std::int64_t>(SUBREF) : SUBREF;
  if (SUBREF == 0 || magnitude > nsub) {
    SETERX("Invalid submodel reference@No submodel " + std::to_string(SUBREF) + " to initialise fluid nodes in",
           4, 3, "FINITS");
    return;
  }

  const auto first = static_cast<std::int32_t>(magnitude);

  DynamicCoreMark mark;
  const std::int32_t start = mark.saved_int();
  if (start < 1 || nf < 0 || static_cast<std::int64_t>(start) + nf > FLAGS(flagw::DYSTOR)) {
    SETERX("Insufficient dynamic core", 4, 1, "FINITS");
    return;
  }
  mark.take_int(nf);

  const std::int32_t count = SUBREF < 0 ? 1 : gar_modeldirectory(2, first);
  const std::int64_t last_column = std::min<std::int64_t>(static_cast<std::int64_t>(first) + count, nsub + 1);
  if (gar_modeldirectory(16, last_column) <= gar_modeldirectory(16, first)) return;

  const auto list = gar_dynamiccoreint.span().subspan(static_cast<std::size_t>(start - 1),
                                                      static_cast<std::size_t>(nf));
  std::int32_t ierr = 0;
  std::int32_t n = 0;
  Lschnd(SUBREF, nf, "FLUID", 1, "FINITS", SUBREF, ZLABEL, ierr, list, n);
  if (ierr != 0) {
    SETERX("Failed to initialise fluid state@", 4, 2, "FINITS");
    return;
  }

  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t k = 0; k < n && k < nf; ++k) {
    const std::int32_t h = list[static_cast<std::size_t>(k)];
    const std::int32_t i = h - nnode;
    if (i < 1 || i > nf) internal_stop("FINITS");
    FGEIND(gar_fluidnodehydraulicdiameters(i), gar_fluidnodemassflowsources(i),
           gar_fluidnodestatedescriptors.row(i), gar_fluidnodefluidtypes.row(i), gar_fluidnodelengths(i), h,
           GLOR.PABS, gar_fluidnoderelhumidities(i), gar_fluidnodeflowareas(i), gar_fluidnodespecenthalpies(i),
           gar_fluidnodemasssourcespecenthalpies(i), gar_fluidnodemasssourcetemps(i),
           gar_fluidnodeflowregimes.row(i), gar_fluidnodemasssourcespechumidities(i), gar_fluidnodepressures(i),
           gar_fluidnodevapourqualities(i), gar_fluidnodetemps(i), gar_fluidnodespechumidities(i),
           gar_fluidnodevolumes(i));
  }
}
