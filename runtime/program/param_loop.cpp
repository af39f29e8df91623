#include "runtime/program/param_loop.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/state_dump.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/parameters/case_file.h"
#include "runtime/parameters/case_files.h"
#include "runtime/parameters/case_statements.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/csv_file.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {

namespace io = kalvir::platform;

constexpr std::int32_t kMaxCases = 9999;
constexpr std::size_t kLineLength = 256;
constexpr std::size_t kTypeLength = 8;
constexpr std::string_view kInitial = "!INITIAL";
constexpr std::string_view kFinal = "!FINAL";

// One line of the parameter-case file, compacted.
class CaseFile {
 public:
  explicit CaseFile(std::int32_t unit) : unit_(unit) {}

  // Reads up to the next line that is not empty, blank or a comment; the
  // input status, 0 or -1 at the end of the file.
  int next() {
    std::string record;
    for (;;) {
      if (const int s = io::read_line(unit_, record); s != 0) return s;
      record.resize(std::min(record.size(), kLineLength));
      // A quote left open ends with its record: it must not swallow the
      // next line's blanks (the first case header after an options record
      // such as GFF_ENTITIES=').
      bool inquote = false;
      SDBLKH(record, inquote, line_.span(), length_);
      if (length_ > 0) return 0;
    }
  }

  std::string_view text() const {
    return line_.view().substr(0, static_cast<std::size_t>(std::clamp<std::int32_t>(length_, 0, kLineLength)));
  }
  kalvir::Chars<kLineLength>& line() { return line_; }
  std::int32_t& length() { return length_; }

 private:
  std::int32_t unit_;
  kalvir::Chars<kLineLength> line_;
  std::int32_t length_ = 0;
};

void read_failure(std::int32_t status, int io_status) {
  char code[16];
  std::snprintf(code, sizeof code, "%4d", io_status);
  SETERX(kalvir::padded(std::string("Error reading from Parameter Case file@ I/O error ") + code, kLineLength),
         3, status, "PARAMX");
}

void print_banner(int unit, std::int32_t number, std::string_view type) {
  char num[16];
  std::snprintf(num, sizeof num, "%5d", static_cast<int>(number));
  const std::string rule = " " + std::string(40, '#');
  const std::string empty = " #" + std::string(38, ' ') + "#";
  const std::array<std::string, 7> lines{
      rule,
      empty,
      " # Parameter Case No.: " + std::string(num) + std::string(12, ' ') + "#",
      " # Type: " + kalvir::padded(type, 8) + std::string(23, ' ') + "#",
      " # Title: " + GLOC.PARNAM.str() + std::string(6, ' ') + "#",
      empty,
      rule};
  for (const std::string& l : lines) io::write_line(unit, l);
  io::write_line(unit, "");
  io::write_line(unit, "");
}

// Gives standard output back when the cases printed into their own files,
// so that what the run prints after its cases is not left in the last one.
class CasePrintScope {
 public:
  CasePrintScope() = default;
  CasePrintScope(const CasePrintScope&) = delete;
  CasePrintScope& operator=(const CasePrintScope&) = delete;
  ~CasePrintScope() {
    if (PARNUM(6) != 0) io::unit_close(io::kStdoutUnit);
  }
};

}  // namespace

void PARAMX(std::int32_t IPARAM, std::string_view MODELNAME, std::int32_t& STATUS, std::int32_t DUMPUNIT,
            std::int32_t PARUNIT, std::int32_t CSVUNIT) {
  STATUS = 0;
  PARNUM(1) = 0;
  PARNUM(2) = 0;
  PARNUM(3) = 0;
  PARNUM(4) = 0;
  PARNUM(6) = 0;
  PARCHR.csvlist = "";
  PARCHR.fileroot = "";
  PARCHR.gffstr = "";
  GLOC.PARNAM = "ORIGINAL";
  std::int32_t check = 0;
  std::int32_t parmonly = 0;
  std::int32_t endflag = 0;
  const std::int32_t print_unit = PRTINF(3);
  CaseFile file(PARUNIT);
  const CasePrintScope print_scope;

  if (IPARAM == 1) {
    if (const int s = file.next(); s != 0) {
      STATUS = 1;
      read_failure(STATUS, s);
      return;
    }
    {
      const kalvir::FailurePlace place(kalvir::parameters::file_place(PARUNIT, file.text()));
      PAROPT(file.text(), check, parmonly, PARNUM(6), PARNUM(3), PARNUM(1), PARNUM(4), PARNUM(7), PARNUM(5),
             PARCHR.csvlist.span(), PARCHR.gffstr.span(), PARCHR.tmdstr.span(), STATUS);
    }
    if (STATUS != 0) return;
    // A check run opens no CSV file; it resolves the entity lists as the
    // run would, so that it reports what the run would.
    if (check != 0) PARCHK();
  }

  if (parmonly == 0 && check == 0) {
    PARFIL(parmonly, MODELNAME, PARNUM(1), PARNUM(2), PARNUM(3), PARCHR.csvlist.view(), PARCHR.fileroot.span(),
           GLOC.PARNAM.view(), PARNUM(6), print_unit, CSVUNIT, STATUS);
    if (STATUS != 0) return;
    call_initial_block();
    STATUS = kalvir::parameters::write_deferred_csv_header(CSVUNIT);
    if (STATUS != 0) return;
    call_execution_block();
  }

  if (IPARAM != 1) return;

  if (const int s = file.next(); s != 0) {
    STATUS = 3;
    read_failure(STATUS, s);
    return;
  }

  // In check mode every case is read; the errors of all of them count.
  std::int32_t check_errors = 0;
  for (;;) {
    // The failures of the header name it and its line.
    std::optional<kalvir::FailurePlace> place(std::in_place, kalvir::parameters::file_place(PARUNIT, file.text()));
    PARNUM(2) += 1;
    if (PARNUM(2) > kMaxCases) {
      STATUS = 4;
      SETERX("Too many parameter cases in a single run@Only 9999 allowed", 3, 4, "PARAMX");
      return;
    }

    // The header: its first 8 characters up to the first "=" are the case
    // type; the text after that "=" is a quoted title. The type is tested
    // first, so that a statement standing where a header belongs is reported
    // as the header it is not.
    GLOC.PARNAM = "";
    const std::string header(file.text());
    const std::size_t eq = header.find('=');
    const std::string type = header.substr(0, std::min(eq, kTypeLength));
    const bool initial = type == kInitial;
    if (!initial && type != kFinal) {
      STATUS = 5;
      SETERX("Unrecognised Parameter Case type@" + kalvir::padded(type, kTypeLength), 3, 5, "PARAMX");
      return;
    }
    // A title that is not a quoted string has been reported by PARZVL; the
    // case runs untitled.
    if (eq != std::string::npos) {
      std::int32_t title_error = 0;
      PARZVL(std::string_view(header).substr(eq + 1), GLOC.PARNAM.span(), title_error);
    }

    place.reset();
    if (check == 0) {
      PARFIL(parmonly, MODELNAME, PARNUM(1), PARNUM(2), PARNUM(3), PARCHR.csvlist.view(), PARCHR.fileroot.span(),
             GLOC.PARNAM.view(), PARNUM(6), print_unit, CSVUNIT, STATUS);
      if (STATUS != 0) return;
    }

    PRPAGE();
    print_banner(print_unit, PARNUM(2), type);

    if (initial && check == 0) {
      // The case keeps its own title: the dump holds the one of start-up.
      const kalvir::Chars<24> title = GLOC.PARNAM;
      RSTCOM(DUMPUNIT, STATUS);
      GLOC.PARNAM = title;
      if (STATUS != 0) return;
      call_initial_block();
    }

    PRTINF(2) = 1;
    PARAMC(PARUNIT, print_unit, STATUS, endflag, file.line().span(), file.length());
    check_errors += STATUS;
    // The case's CSV columns are those of the model it runs: resolved after
    // its restore, initial block and statements, not from what the case
    // before it left.
    if (const std::int32_t header = kalvir::parameters::write_deferred_csv_header(CSVUNIT); header != 0) {
      if (STATUS == 0) STATUS = header;
      return;
    }
    if (STATUS == 0 && check == 0) call_execution_block();

    if (endflag != 0) {
      if (check != 0) STATUS = check_errors;
      return;
    }
    if (STATUS != 0 && check == 0) return;
  }
}
