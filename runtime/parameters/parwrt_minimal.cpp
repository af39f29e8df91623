// Minimal version: see parwrt_minimal.h.
#include "runtime/parameters/parwrt_minimal.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

void PARWRT(std::string_view /*BLOCK*/) {}

void PAROPT(std::string_view LINE, std::int32_t& CHECK, std::int32_t& PARMONLY, std::int32_t& /*OUTMULT*/,
            std::int32_t& /*CSVENT*/, std::int32_t& /*CSVMULT*/, std::int32_t& /*GFFENT*/,
            std::int32_t& /*TMDENT*/, std::int32_t& /*OUTFROM*/, std::span<char> /*CSVLIST*/,
            std::span<char> /*GFFSTR*/, std::span<char> /*TMDSTR*/, std::int32_t& IERR) {
  CHECK = 0;
  PARMONLY = 0;
  IERR = 0;
  const std::string_view line = kalvir::trim_right(LINE);
  constexpr std::string_view kRecord = "$PARAMETERS";
  if (line == kRecord) return;
  if (!line.starts_with("$PARAMETERS,")) {
    SETERX("$PARAMETERS record: Unrecognised statement@" + std::string(line), 3, 8, "PAROPT");
    IERR = 8;
    return;
  }
  std::string_view rest = line.substr(kRecord.size() + 1);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view option = rest.substr(0, comma);
    if (option == "CHECK") {
      CHECK = 1;
    } else if (option == "PARMONLY") {
      PARMONLY = 1;
    } else {
      SETERX("$PARAMETERS record: Unrecognised option@" + std::string(option), 3, 1, "PAROPT");
      IERR = 1;
      return;
    }
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
}

void PARFIL(std::int32_t /*PARMONLY*/, std::string_view MODELNAME, std::int32_t /*CSVMULT*/, std::int32_t CASENO,
            std::int32_t /*CSVENT*/, std::string_view /*CSVLIST*/, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t /*OUTMULT*/, std::int32_t /*PRINTUNIT*/, std::int32_t /*CSVUNIT*/, std::int32_t& IERR) {
  IERR = 0;
  char number[16];
  std::snprintf(number, sizeof number, "%04d", static_cast<int>(std::clamp(CASENO, 0, 9999)));
  std::string root(kalvir::trim_right(MODELNAME.substr(0, std::min<std::size_t>(8, MODELNAME.size()))));
  root += "_PAR";
  root += number;
  const std::string_view title = kalvir::trim_right(TITLE);
  if (!title.empty()) {
    std::string t(title);
    std::replace(t.begin(), t.end(), ' ', '-');
    root += "_" + t;
  }
  kalvir::assign_padded(ROOT, root);
}

void PARZVL(std::string_view TEXT, std::span<char> VALUE, std::int32_t& IERR) {
  IERR = 0;
  const std::string_view text = kalvir::trim_right(TEXT);
  const std::size_t close = text.size() >= 2 && text.front() == '\'' ? text.find('\'', 1) : std::string_view::npos;
  if (close == std::string_view::npos) {
    SETERX("String is not delimited with single quotes@>>" + std::string(text) + "<<", 3, 1, "PARZVL");
    IERR = 1;
    return;
  }
  kalvir::assign_padded(VALUE, text.substr(1, close - 1));
}

void PARAMC(std::int32_t PARUNIT, std::int32_t /*PRINTUNIT*/, std::int32_t& NERR, std::int32_t& ENDFLAG,
            std::span<char> LINE, std::int32_t& LENGTH) {
  NERR = 0;
  bool inquote = false;
  std::string record;
  std::string compact(LINE.size(), ' ');
  for (;;) {
    if (kalvir::platform::read_line(PARUNIT, record) != 0) {
      ENDFLAG = 1;
      return;
    }
    record.resize(std::min(record.size(), LINE.size()));
    std::int32_t length = 0;
    SDBLKH(record, inquote, compact, length);
    if (length <= 0) continue;
    const std::string_view statement(compact.data(), static_cast<std::size_t>(length));
    if (statement.front() == '!') {
      kalvir::assign_padded(LINE, statement);
      LENGTH = length;
      return;
    }
    SETERX("Parameter case statement not applied@" + std::string(statement), 3, 1, "PARAMC");
    ++NERR;
  }
}
