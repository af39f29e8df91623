// Runs parameter-case statements as a case does: written to a file, read and
// applied by the statement loop, with the messages and the echo it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace kalvir::test {

struct CaseRun {
  std::int32_t errors = -1;  // failed statements
  std::vector<Message> messages;
  std::string printed;
  std::int32_t next_free = 0;  // FLAGS word 36 afterwards
};

// Applies the statements (one per line) and checks nothing itself.
CaseRun run_statements(const std::string& statements);

// The first message of code `code` from `routine`, or null.
const Message* find_message(const CaseRun& r, const std::string& routine, std::int32_t code);

// A statement that must fail, with the message it must give.
struct RefusedCase {
  const char* what;
  const char* statement;
  const char* routine;
  std::int32_t code;
  const char* text = nullptr;  // the message's text, when checked
};

// Expects the run of c.statement to have failed once with c's message.
void expect_refused(const CaseRun& r, const RefusedCase& c);

}  // namespace kalvir::test
