// Reads back the framed messages (SETERX and friends) that a piece of code
// prints on the print unit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvir::test {

// One framed message as printed on the print unit.
struct Message {
  std::string severity;  // "WARNING", "FAILURE", ...
  std::string text;      // the printed parts run together (no '@', no "<NL>")
  std::string routine;   // as printed on the reference line
  std::int32_t code = 0;
};

// Clears the message counters and sets the message controls to their plain
// state: every message printed (MLEVEL 0), full frames (MSHORT 0), no trace.
void reset_messages();

// The messages framed in printed output.
std::vector<Message> printed_messages(const std::string& output);

// The messages printed while body runs.
std::vector<Message> capture_messages(const std::function<void()>& body);

// A message text as printed_messages reports it: without '@', "<NL>" and
// trailing blanks.
std::string printed(std::string text);

}  // namespace kalvir::test
