#include "tests/fluids/message_frames.h"

#include <sstream>

namespace kalvir::test {

namespace {

constexpr std::size_t kLabelWidth = 27;

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::vector<PrintedMessage> printed_messages(const std::string& output) {
  std::vector<PrintedMessage> messages;
  std::istringstream in(output);
  std::string line;
  bool in_text = false;
  while (std::getline(in, line)) {
    if (line.find("| MESSAGE") != std::string::npos) {
      messages.emplace_back();
      in_text = false;
    } else if (messages.empty()) {
      continue;
    } else if (starts_with(line, "@@@@  ")) {
      const std::string label = line.substr(6);
      messages.back().severity = label.substr(0, label.find_last_not_of(' ') + 1);
      in_text = true;
    } else if (starts_with(line, "@     Reference..........: (")) {
      const std::string ref = line.substr(kLabelWidth + 1);
      const std::size_t comma = ref.rfind(", ");
      messages.back().routine = ref.substr(0, comma);
      messages.back().code = std::stoi(ref.substr(comma + 2));
      in_text = false;
    } else if (in_text && line.size() > kLabelWidth) {
      messages.back().text += line.substr(kLabelWidth);
    }
  }
  return messages;
}

std::string joined_parts(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '@') out += c;
  }
  return out.substr(0, out.find_last_not_of(' ') + 1);
}

}  // namespace kalvir::test
