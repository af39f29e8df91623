#include "runtime/control/file_names.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string>

#include "runtime/control/loop_guard.h"
#include "runtime/control/run_end.h"
#include "runtime/platform/fixed_string.h"

void SFLNAM(std::string_view MODELNAME, std::int32_t N, kalvir::CharRowsMut NAMES, std::int32_t& IERR) {
  IERR = 0;
  if (N > static_cast<std::int32_t>(kalvir::kRunFileExtensions.size())) {
    IERR = 1;
    return;
  }
  if (kalvir::is_blank(MODELNAME)) {
    IERR = -1;
    return;
  }
  // The stem ends at the first blank of the model name's first eight
  // characters; a blank followed by anything else would put a blank inside
  // the file names.
  const std::string stem = kalvir::padded(MODELNAME, 8) + "    ";
  const std::size_t first_blank = stem.find(' ');  // 0-based, at most 8
  if (!kalvir::is_blank(std::string_view(stem).substr(first_blank))) {
    IERR = -1;
    return;
  }
  if (NAMES.width() <= first_blank + 3) {
    IERR = -1;
    return;
  }
  if (N > NAMES.size()) {
    internal_stop("SFLNAM: " + std::to_string(N) + " names asked for, room for " +
                  std::to_string(NAMES.size()));
  }
  for (std::int32_t j = 1; j <= N; ++j) {
    kalvir::assign_padded(NAMES.row(j), stem.substr(0, first_blank) +
                                            std::string(kalvir::kRunFileExtensions[static_cast<std::size_t>(j - 1)]));
  }
}

void SFLXST(kalvir::CharRows NAMES, std::int32_t N, bool& EXISTS, std::int32_t& IERR) {
  EXISTS = false;
  IERR = 0;
  if (N > NAMES.size()) {
    internal_stop("SFLXST: " + std::to_string(N) + " names asked for, " + std::to_string(NAMES.size()) +
                  " given");
  }
  kalvir::LoopGuard guard("SFLXST");
  std::array<char, 256> field{};
  for (std::int32_t i = 1; i <= N && !EXISTS && IERR == 0; ++i) {
    guard.tick();
    SFLDEP(NAMES(i), field);
    const std::string_view name = kalvir::trim_right(std::string_view(field.data(), field.size()));
    if (name.empty()) continue;
    const std::string path(name);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
      EXISTS = true;
    } else if (errno != ENOENT && errno != ENOTDIR) {
      IERR = errno;  // the inquiry itself failed
    }
  }
}

void SFLDEP(std::string_view SRC, std::span<char> DST) { kalvir::assign_padded(DST, SRC); }
