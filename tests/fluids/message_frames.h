// Reads back the framed messages that the property routines print.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvir::test {

struct PrintedMessage {
  std::string severity;  // "WARNING", "DIAGNOSTIC", ...
  std::string routine;   // as printed on the reference line
  std::int32_t code = 0;
  std::string text;      // the parts run together, without their labels and "@"
};

std::vector<PrintedMessage> printed_messages(const std::string& output);

// A message text as printed_messages gives it back: without the "@" part
// separators and without trailing blanks.
std::string joined_parts(std::string_view text);

}  // namespace kalvir::test
