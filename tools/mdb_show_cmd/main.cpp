// kalvir_mdb_show FILE.MDB: loads an MDB file with the program's own loader
// and prints what the load left: the model directory, the thermal nodes, the
// packed and record forms of the connection lists, the node tie tail, the
// fluid lists, the mass-flow links, the user constants and the control
// constants.
//
// The load is sized by the model's FLAGS and SPRSIZ words, which a model
// program carries itself; here they come from FILE.flags beside the MDB file
// (FILE with ".flags" for its extension), as kalvir_mdb_write writes it. The
// MDB file keeps the name the run gives it (the first eight characters of the
// model name and ".MDB"). Messages of the load (an ACD file that is not
// there, a file that cannot be loaded) are printed as a run prints them; a
// load that fails ends with exit status 1.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "runtime/control/control_constants.h"
#include "runtime/control/file_names.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "runtime/program/run_hooks.h"
#include "runtime/program/startup.h"
#include "tools/mdb_description.h"
#include "tools/mdb_show.h"

namespace {

constexpr const char* kUsage =
    "usage: kalvir_mdb_show FILE.MDB\n"
    "loads FILE.MDB sized by FILE.flags beside it (model name, FLAGS and SPRSIZ words, as kalvir_mdb_write\n"
    "writes them) and prints the model directory, the connection lists, the tie tail and the fluid lists\n";

int fail(const std::string& text) {
  std::fprintf(stderr, "kalvir_mdb_show: %s\n", text.c_str());
  return 1;
}

// The file name under which the run looks for the model's MDB file.
std::string mdb_file_name(const std::string& model_name) {
  char name[32];
  std::int32_t ierr = 0;
  SFLNAM(kalvir::padded(model_name, 24), 1, kalvir::CharRowsMut(name, sizeof name, 1), ierr);
  return ierr == 0 ? std::string(kalvir::trim_right(std::string_view(name, sizeof name))) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  std::error_code ec;
  const std::filesystem::path mdb = std::filesystem::absolute(argv[1], ec);
  if (ec) return fail("cannot find " + std::string(argv[1]));
  // The MDB file first: a missing one is what the person needs to hear of,
  // not the sizes file that would lie beside it.
  if (!std::filesystem::is_regular_file(mdb, ec)) return fail("cannot find the MDB file " + mdb.string());
  std::filesystem::path flags = mdb;
  flags.replace_extension(".flags");

  std::ifstream in(flags);
  if (!in) return fail("cannot read " + flags.string() + " (the model's sizes; kalvir_mdb_write writes it)");
  kalvir::mdbw::SizesFile sizes;
  try {
    sizes = kalvir::mdbw::read_sizes_file(in);
  } catch (const kalvir::mdbw::DescriptionError& e) {
    return fail(flags.string() + ": " + e.what());
  }
  const std::string expected = mdb_file_name(sizes.model_name);
  if (expected.empty()) return fail("no file name can be made of the model name " + sizes.model_name);
  if (mdb.filename() != expected)
    return fail("the MDB file of model " + sizes.model_name + " is named " + expected + ", not " +
                mdb.filename().string());
  // The loader opens the file by its run name in the working directory.
  std::filesystem::current_path(mdb.parent_path(), ec);
  if (ec) return fail("cannot enter " + mdb.parent_path().string());

  for (int k = 1; k <= 41; ++k) FLAGS(k) = sizes.sizes.flags[static_cast<std::size_t>(k - 1)];
  for (int k = 1; k <= 5; ++k) SPRSIZ(k) = sizes.sizes.sprsiz[static_cast<std::size_t>(k - 1)];
  return kalvir::platform::run_program([&] {
    // Sizes beyond the memory end the run with the allocator's own text.
    gar_Allocate(gar_sizes_from_flags());
    // The load reaches the ACD file's arrays through the runtime's hooks.
    kalvir::install_run_hooks();
    loc_allocate();
    sprnod_allocate();
    SVMNAM(sizes.model_name);
    SLDINA(sizes.model_name);
    SLDINB();
    std::int32_t ierr = 0;
    SCOMLD(kalvir::unit::kMdb, ierr);
    if (ierr != 0) {
      std::fprintf(stderr, "kalvir_mdb_show: cannot load %s\n", mdb.c_str());
      kalvir::platform::exit_process(1);
    }
    std::string text = kalvir::mdbw::describe_loaded_model();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    std::size_t from = 0;
    while (from <= text.size()) {
      const std::size_t nl = std::min(text.find('\n', from), text.size());
      kalvir::platform::write_line(kalvir::platform::kStdoutUnit, std::string_view(text).substr(from, nl - from));
      from = nl + 1;
    }
  });
}
