#include "tests/support/message_frames.h"

#include <sstream>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace {

constexpr std::size_t kLabelWidth = 27;
constexpr std::string_view kReference = "@     Reference..........: (";

void trim_trailing_blanks(std::string& s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
}

}  // namespace

void reset_messages() {
  messages_reset_for_tests();
  GLOI.MLEVEL = 0;
  GLOI.MSHORT = 0;
  GLOI.TRACE = 0;
}

std::string printed(std::string text) {
  for (std::size_t at; (at = text.find("<NL>")) != std::string::npos;) text.erase(at, 4);
  std::erase(text, '@');
  trim_trailing_blanks(text);
  return text;
}

std::vector<Message> printed_messages(const std::string& output) {
  std::istringstream in(output);
  std::vector<Message> out;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("@@@@  ")) {
      out.push_back({});
      out.back().severity = line.substr(6);
      trim_trailing_blanks(out.back().severity);
      inside = true;
    } else if (inside && line.starts_with(kReference)) {
      const std::string ref = line.substr(kReference.size());
      const std::size_t comma = ref.rfind(',');
      out.back().routine = ref.substr(0, comma);
      out.back().code = std::stoi(ref.substr(comma + 1));
      inside = false;
    } else if (inside && line.size() >= kLabelWidth) {
      out.back().text += line.substr(kLabelWidth);
    }
  }
  for (Message& m : out) trim_trailing_blanks(m.text);
  return out;
}

std::vector<Message> capture_messages(const std::function<void()>& body) {
  Unit6Capture capture;
  body();
  return printed_messages(capture.finish());
}

}  // namespace kalvir::test
