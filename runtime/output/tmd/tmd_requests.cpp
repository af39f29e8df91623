#include "runtime/output/tmd/tmd_requests.h"

#include <array>
#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/tmd/tmd_file.h"
#include "runtime/output/tmd/tmd_write.h"

namespace kalvir::tmd {
namespace {

constexpr std::int32_t kMaxBasenames = kSlots - 1;
constexpr std::size_t kNameLength = 255;
constexpr std::size_t kDescriptionLength = 100;
constexpr double kNeverWritten = -1.0e20;

// DMPTMD basenames in the order of first use; entry j owns slot j.
struct BasenameTable {
  std::int32_t count = 0;
  std::array<Chars<kNameLength>, kMaxBasenames> basenames;
  std::array<double, kMaxBasenames> lastwrite{};
  std::array<std::int32_t, kMaxBasenames> solution{};
};

// The parameter-case file of slot 100.
struct CaseState {
  double lastwrite = kNeverWritten;
  std::int32_t lastcase = -1;
  Chars<kNameLength> filename;
  std::int32_t solution = 0;
};

BasenameTable& basename_table() {
  static BasenameTable table;
  return table;
}

CaseState& case_state() {
  static CaseState state;
  return state;
}

// "<root>.TMD" for the first solution, "<root>.TMD<n>" for the n-th; leading
// blanks of the root stay.
std::string file_name(std::string_view root, std::int32_t solution) {
  std::string name = std::string(trim_right(root)) + ".TMD";
  if (solution >= 2) name += IToC(solution);
  if (name.size() > kNameLength) name.resize(kNameLength);
  return name;
}

struct Parsed {
  std::int32_t nodes = 0;
  std::int32_t conductors = 0;
  std::int32_t constants = 0;
  std::vector<std::int32_t> entflags;
  ConductorKindFlags condflags{};
};

Parsed parse(std::string_view entities, std::string_view routine, const RunInfo& run) {
  static const Array2<Chars<18>> kNoNames;
  Parsed p;
  p.entflags.assign(static_cast<std::size_t>(kNodalFlags + std::max(run.nreal(), 0) + std::max(run.nint(), 0) +
                                             std::max(run.nchar(), 0)),
                    0);
  GffParseEntityList(entities, routine, run.attributenames != nullptr ? *run.attributenames : kNoNames,
                     run.sprsiz[0], run.sprsiz[1], run.nchar(), run.nint(), run.nreal(), p.nodes, p.conductors,
                     p.constants, p.entflags, std::span<std::int32_t, 6>(p.condflags));
  return p;
}

void update(const RunInfo& run, std::int32_t subref, const Parsed& p, std::int32_t slot, std::string_view routine,
            std::string_view zlabel) {
  tmvvariablesupdate(run, subref, p.condflags, "", slot, routine, p.entflags, p.conductors, p.constants, p.nodes,
                     zlabel);
}

// A request continues the slot's open file only when that file was made for
// the same selection; otherwise its slabs would not fit the file.
bool file_fits_request(std::int32_t slot) {
  const TmdSlot& s = tmd_slot(slot);
  return s.open() && same_selection(s.selection, tmv_module());
}

}  // namespace

void reset_for_tests() {
  close_all_files();
  basename_table() = BasenameTable{};
  case_state() = CaseState{};
  tmv_module() = TmvThermalModelVariables{};
}

}  // namespace kalvir::tmd

void DMPTMD(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF, std::string_view FILEROOT) {
  DmptmdReal(SUBREF, ZENTS, FILEROOT, "DMPTMD", ZLABEL.substr(0, std::min<std::size_t>(ZLABEL.size(), 255)),
             kalvir::tmd::gather_run_info());
}

void ParTmd(std::string_view ENTITIES, std::string_view FILEROOT, std::int32_t NCASE) {
  ParTmdBase(ENTITIES, FILEROOT, NCASE, gcc_getparnam(), "ParTmd", kalvir::tmd::gather_run_info());
}

void ParTmdCheck(std::string_view ENTITIES) {
  static_cast<void>(kalvir::tmd::parse(ENTITIES, "ParTmd", kalvir::tmd::gather_run_info()));
}

void DmptmdReal(std::int32_t SUBREF, std::string_view ZENTS, std::string_view FILEROOT, std::string_view ROUTINE,
                std::string_view ZLABEL, const kalvir::tmd::RunInfo& RUN) {
  using namespace kalvir::tmd;
  using kalvir::trim_right;
  const Parsed p = parse(ZENTS, ROUTINE, RUN);
  const std::string routine(trim_right(ROUTINE));

  const kalvir::Chars<kNameLength> basename(kalvir::is_blank(FILEROOT) ? std::string_view(SUBMOD("SUBMODEL"))
                                                                        : FILEROOT);
  const std::string shown(basename.trimmed());
  auto context = [&] { return "@" + routine + " called in " + std::string(trim_right(SUBMOD("ALL"))); };
  // A failed HDF5 step leaves no file to go on with: the run ends.
  auto fatal = [&](std::int32_t code, std::string_view problem, std::string_view name) {
    SETERX(std::string(problem) + std::string(name) + "@Writing TMD output@HDF error." + context(), 4, code,
           "DmptmdReal");
  };

  BasenameTable& table = basename_table();
  std::int32_t j = 0;
  while (j < table.count && table.basenames[static_cast<std::size_t>(j)].view() != basename.view()) ++j;
  bool first_file = false;
  bool new_file = false;
  if (j < table.count) {
    new_file = table.lastwrite[static_cast<std::size_t>(j)] >= RUN.timen;
  } else if (table.count == kMaxBasenames) {
    SETERX("Too many file basenames@Preparing to write TMD file@Maximum number of TMD file basenames is " +
               IToC(kMaxBasenames) + ".<NL>Request denied: " + shown + context(),
           3, 2, "DmptmdReal");
    return;
  } else {
    j = table.count++;
    table.basenames[static_cast<std::size_t>(j)] = basename.view();
    table.lastwrite[static_cast<std::size_t>(j)] = kNeverWritten;
    table.solution[static_cast<std::size_t>(j)] = 1;
    first_file = new_file = true;
  }
  const std::int32_t slot = j + 1;
  std::int32_t& solution = table.solution[static_cast<std::size_t>(j)];

  update(RUN, SUBREF, p, slot, routine, ZLABEL);
  if (!new_file && !file_fits_request(slot)) new_file = true;

  std::string name = file_name(basename.view(), solution);
  if (new_file && !first_file) {
    std::int32_t status = 0;
    tmdclosefile(slot, status);
    if (status != 0) fatal(3, "Failed to close file ", name);
    ++solution;
    name = file_name(basename.view(), solution);
  }
  if (new_file) {
    tmv_module().description = "Solution number " + IToC(solution);
    std::int32_t status = 0;
    tmdcreatefile(name, slot, status);
    if (status != 0) fatal(4, "Failed to open file ", name);
    tmdcreatedatasets(status);
    if (status != 0) fatal(5, "Failed to create datasets in ", name);
  }
  std::int32_t status = 0;
  tmdwritedata(status);
  if (status != 0) fatal(6, "Error writing data to ", name);
  table.lastwrite[static_cast<std::size_t>(j)] = RUN.timen;
}

void ParTmdBase(std::string_view ENTITIES, std::string_view FILEROOT, std::int32_t NCASE, std::string_view PARNAM,
                std::string_view ROUTINE, const kalvir::tmd::RunInfo& RUN) {
  using namespace kalvir::tmd;
  const Parsed p = parse(ENTITIES, ROUTINE, RUN);
  CaseState& c = case_state();
  const std::string casename = kalvir::padded(PARNAM, 24);
  auto fail = [&](std::int32_t code, std::string_view first, std::string_view name, std::int32_t status) {
    SETERX(std::string(first) + std::string(kalvir::trim_right(name)) +
               "@Writing thermal model data (TMD) for parameter case@HDF error " + kalvir::padded(IToC(status), 10) +
               "@Running parameter case " + IToC(NCASE) + ": " + casename,
           4, code, "ParTmdBase");
  };

  bool new_file = NCASE > c.lastcase || (NCASE == c.lastcase && c.lastwrite >= RUN.timen);
  update(RUN, 1, p, kParameterCaseSlot, ROUTINE, " ");
  if (!new_file && !file_fits_request(kParameterCaseSlot)) new_file = true;

  if (new_file) {
    if (tmd_slot(kParameterCaseSlot).open()) {
      std::int32_t status = 0;
      tmdclosefile(kParameterCaseSlot, status);
      if (status != 0) fail(1, "Failed to close file ", c.filename.view(), status);
    }
    c.solution = NCASE > c.lastcase ? 1 : c.solution + 1;
    c.filename = file_name(FILEROOT, c.solution);
    tmv_module().description = ("Parameter case " + IToC(NCASE) + " " + casename).substr(0, kDescriptionLength);
    std::int32_t status = 0;
    tmdcreatefile(c.filename.view(), kParameterCaseSlot, status);
    if (status != 0) fail(2, "Failed to open file ", c.filename.view(), status);
    tmdcreatedatasets(status);
    if (status != 0) fail(3, "Failed writing to file ", c.filename.view(), status);
  }
  std::int32_t status = 0;
  tmdwritedata(status);
  if (status != 0) fail(4, "Failed writing to file ", c.filename.view(), status);
  c.lastwrite = RUN.timen;
  c.lastcase = NCASE;
}
