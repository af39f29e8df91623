#include "tests/parameters/statement_fixture.h"

#include <gtest/gtest.h>

#include <fstream>

#include "runtime/control/flags.h"
#include "runtime/parameters/case_statements.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace kalvir::test {

CaseRun run_statements(const std::string& statements) {
  namespace io = kalvir::platform;
  constexpr int kUnit = 3;
  TempDir dir;
  std::ofstream(dir.file("CASE.PAR")) << statements;
  CaseRun r;
  if (io::unit_open(kUnit, dir.file("CASE.PAR"), io::Form::Formatted, io::OpenStatus::Old) != 0) return r;
  kalvir::Chars<256> line;
  std::int32_t length = 0, end = 0;
  {
    Unit6Capture capture;
    PARAMC(kUnit, 6, r.errors, end, line.span(), length);
    r.printed = capture.finish();
  }
  io::unit_close(kUnit);
  r.messages = printed_messages(r.printed);
  r.next_free = FLAGS(36);
  return r;
}

const Message* find_message(const CaseRun& r, const std::string& routine, std::int32_t code) {
  for (const Message& m : r.messages)
    if (m.routine == routine && m.code == code) return &m;
  return nullptr;
}

void expect_refused(const CaseRun& r, const RefusedCase& c) {
  EXPECT_EQ(r.errors, 1) << r.printed;
  const Message* m = find_message(r, c.routine, c.code);
  ASSERT_NE(m, nullptr) << r.printed;
  if (c.text != nullptr) {
    EXPECT_EQ(m->text, c.text);
  }
}

}  // namespace kalvir::test
