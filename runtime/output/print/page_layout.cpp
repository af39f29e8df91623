#include "runtime/output/print/page_layout.h"

#include <algorithm>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/units.h"

namespace kalvir::print {

void put(std::string_view record) { platform::write_line(PRTINF(3), record); }

std::int32_t lines_left() { return PRTINF(1) - PRTINF(2); }

void count_lines(std::int32_t n) { PRTINF(2) += n; }

}  // namespace kalvir::print

namespace {

// The release shown in every banner, without its trailing blanks.
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
  const auto w = static_cast<std::size_t>(width);
  const std::int32_t page = PRTINF(4);

  std::string banner = " KALVIR-HUB  ";
  banner += kVersion;
  banner.append(w - 22 - kVersion.size(), ' ');
  banner += "Page ";
  banner += kalvir::int_field(page, 5);

  std::string date = " ";
  date += JOBINF.date.view();
  date += "  ";
  date += JOBINF.time.view();
  date.append(w - 51, ' ');
  date += right_aligned(JOBINF.model.trimmed(), 24);

  using kalvir::print::put;
  put("1");
  put(banner);
  put(date);
  put("");
  if (!kalvir::is_blank(GLOC.HEADER.view())) {
    put(" " + GLOC.HEADER.str());
    for (int i = 0; i < 4; ++i) put("");
    PRTINF(2) = 9;
  } else {
    for (int i = 0; i < 3; ++i) put("");
    PRTINF(2) = 7;
  }
  PRTINF(4) = page + 1;
}

void LSPCNM(std::span<const kalvir::Chars<24>> NAMES, std::int32_t N, std::int32_t ICOL, std::int32_t IWIDTH) {
  const std::int32_t n = std::clamp<std::int32_t>(N, 0, static_cast<std::int32_t>(NAMES.size()));
  // A line never holds more than 132 print columns, whatever the caller asks.
  const std::int32_t iwidth = std::clamp<std::int32_t>(IWIDTH, 1, static_cast<std::int32_t>(kalvir::print::kMaxColumns));
  const std::int32_t icol = std::clamp<std::int32_t>(ICOL, 1, iwidth);
  auto name_of = [&](std::int32_t j) { return NAMES[static_cast<std::size_t>(j)].trimmed(); };

  // The estimate counts a wrap already when a name and its ":" would reach the
  // line end; the page counter takes the estimate.
  std::int32_t pos = icol - 1;
  std::int32_t lines = 1;
  for (std::int32_t j = 0; j < n; ++j) {
    const auto len = static_cast<std::int32_t>(name_of(j).size());
    if ((pos + len + 1) / iwidth == pos / iwidth) {
      pos += len + 1;
    } else {
      pos = iwidth * lines + len + 1;
      ++lines;
    }
  }
  if (kalvir::print::lines_left() < lines) PRPAGE();

  // Room for a name that starts just before the line end.
  std::string buffer(kalvir::print::kMaxColumns + 2 * 24, ' ');
  auto flush = [&] { kalvir::print::put("+" + buffer.substr(0, static_cast<std::size_t>(iwidth))); };
  std::int32_t next = icol - 1;
  for (std::int32_t j = 0; j < n; ++j) {
    const std::string_view name = name_of(j);
    const auto len = static_cast<std::int32_t>(name.size());
    std::int32_t end = next + len;
    if (end >= iwidth) {
      flush();
      kalvir::print::put("");
      std::fill(buffer.begin(), buffer.end(), ' ');
      next = 0;
      end = len;
    }
    buffer.replace(static_cast<std::size_t>(next), name.size(), name);
    if (j + 1 < n) {
      buffer[static_cast<std::size_t>(end)] = ':';
      next = end + 1;
    }
  }
  flush();
  kalvir::print::count_lines(lines);
}
