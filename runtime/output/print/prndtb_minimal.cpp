// Minimal version: see prndtb_minimal.h.
#include "runtime/output/print/prndtb_minimal.h"

#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {
constexpr std::string_view kVersion = "2020";

std::string right_aligned(std::string_view s, std::size_t width) {
  s = s.substr(0, width);
  return std::string(width - s.size(), ' ') + std::string(s);
}
}  // namespace

void PRPAGE() {
  const std::int32_t width = GLOI.WIDTH;
  if (width < 80 || width > 132) {
    SETERX("Page width outside allowable limits@Control constant WIDTH should be between 80 and 132", 4, 1,
           "PRPAGE");
    return;
  }
  const int unit = PRTINF(3);
  const std::size_t w = static_cast<std::size_t>(width);
  const std::string model = right_aligned(JOBINF.model.trimmed(), 24);
  const std::int32_t page = PRTINF(4);
  const std::string number = page > 99999 ? std::string("*****") : right_aligned(std::to_string(page), 5);

  namespace io = kalvir::platform;
  io::write_line(unit, "1");
  io::write_line(unit, " KALVIR-HUB  " + std::string(kVersion) + std::string(w - 22 - kVersion.size(), ' ') +
                           "Page " + number);
  io::write_line(unit, " " + JOBINF.date.str() + "  " + JOBINF.time.str() + std::string(w - 51, ' ') + model);
  io::write_line(unit, "");
  if (!kalvir::is_blank(GLOC.HEADER.view())) {
    io::write_line(unit, " " + GLOC.HEADER.str());
    for (int i = 0; i < 4; ++i) io::write_line(unit, "");
    PRTINF(2) = 9;
  } else {
    for (int i = 0; i < 3; ++i) io::write_line(unit, "");
    PRTINF(2) = 7;
  }
  PRTINF(4) = page + 1;
}

void PRNDTB(std::string_view, std::string_view, std::int32_t) {}
