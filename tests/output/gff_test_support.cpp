#include "tests/output/gff_test_support.h"

#include <fstream>
#include <sstream>

#include "runtime/control/flags.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/output/gff/gff_header.h"
#include "runtime/output/gff/gff_records.h"
#include "runtime/platform/units.h"
#include "runtime/program/startup.h"

namespace kalvir::test {

bool split_items(const std::string& text, std::vector<std::string>& items) {
  items.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      for (;;) {
        if (i >= text.size()) return false;
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item.push_back(text[i++]);
      }
    } else {
      const std::size_t end = text.find(' ', i);
      item = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
      if (item.empty()) return false;
      i = end == std::string::npos ? text.size() : end;
    }
    items.push_back(item);
    if (i < text.size()) {
      if (text[i] != ' ' || i + 1 == text.size()) return false;
      ++i;
    }
  }
  return true;
}

GffFile read_gff(const std::string& path) {
  GffFile f;
  const std::vector<std::string> lines = file_lines(path);
  std::size_t k = 0;
  for (; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    f.header.push_back(line);
    if (line == "End_Header") break;
    if (line.rfind("Record: ", 0) == 0) {
      f.records.push_back({line.substr(8), 0, {}});
    } else if (line.rfind("  Comment: This is record type ", 0) == 0 && !f.records.empty()) {
      f.records.back().number = std::stoi(line.substr(31, 4));
    } else if (line.rfind("  Attribute: ", 0) == 0 && !f.records.empty()) {
      const std::string rest = line.substr(13);
      f.records.back().attributes.push_back(rest.substr(0, rest.rfind("  ")));
    }
  }
  if (k == lines.size()) {
    f.error = "no End_Header";
    return f;
  }
  for (++k; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    GffLine d;
    if (line.size() < 3 || line[1] != ' ' || line[0] < '1' || line[0] > '7' ||
        !split_items(line.substr(2), d.items)) {
      f.error = "bad data line " + std::to_string(k + 1) + ": " + line;
      return f;
    }
    d.record = line[0] - '0';
    f.lines.push_back(std::move(d));
  }
  return f;
}

void write_gff(const std::string& path, const std::string& blocks, const std::string& title,
               const std::string& format, const std::vector<double>& times) {
  using namespace kalvir::platform;
  unit_open(kalvir::unit::kGff, path, Form::Formatted, OpenStatus::Replace);
  kalvir::gff::BlockFlags flags{};
  std::int32_t status = -1;
  const std::string text = kalvir::padded(blocks, 256);
  GZBLKS(text, 256, kalvir::gff::kBlockNames, flags, status);
  GHEADB(kalvir::unit::kGff, JOBINF.date, JOBINF.model, JOBINF.time, kalvir::padded(title, 100), flags);
  std::vector<std::int32_t> work(static_cast<std::size_t>(std::max(FLAGS(flagw::NNODE), 1) +
                                                          std::max(FLAGS(flagw::NF), 1)));
  for (const double t : times) GRECDB(kalvir::unit::kGff, flags, format, t, work);
  unit_close(kalvir::unit::kGff);
}

std::vector<std::string> file_lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace kalvir::test
