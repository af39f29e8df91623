// kalvir_mdb_write DESCRIPTION DIRECTORY: writes the MDB file of the model
// described in DESCRIPTION (format in tools/mdb_description.h) into
// DIRECTORY under the name the run looks for (the first eight characters of
// the model name and ".MDB"), and beside it "<same stem>.flags" with the
// model name and the FLAGS and SPRSIZ words that a model program generated
// for the model would store; kalvir_mdb_show reads both. The FLAGS and
// SPRSIZ lines are also printed.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/control/file_names.h"
#include "runtime/platform/fixed_string.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace {

// The run's MDB file name of the model, without its extension.
std::string file_stem(const std::string& model_name) {
  char name[32];
  std::int32_t ierr = 0;
  SFLNAM(kalvir::padded(model_name, 24), 1, kalvir::CharRowsMut(name, sizeof name, 1), ierr);
  if (ierr != 0) return {};
  const std::string file(kalvir::trim_right(std::string_view(name, sizeof name)));
  return file.substr(0, file.size() - 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: kalvir_mdb_write DESCRIPTION DIRECTORY\n"
                 "writes DIRECTORY/<stem>.MDB and DIRECTORY/<stem>.flags (model name, FLAGS and SPRSIZ words),\n"
                 "<stem> being the first eight characters of the model name; prints the FLAGS and SPRSIZ words\n");
    return 1;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "kalvir_mdb_write: cannot read %s\n", argv[1]);
    return 1;
  }
  kalvir::mdbw::Model model;
  try {
    model = kalvir::mdbw::read_description(in);
  } catch (const kalvir::mdbw::DescriptionError& e) {
    std::fprintf(stderr, "kalvir_mdb_write: %s: %s\n", argv[1], e.what());
    return 1;
  }
  const std::string stem = file_stem(model.name);
  if (stem.empty()) {
    std::fprintf(stderr, "kalvir_mdb_write: no file name can be made of the model name %s\n", model.name.c_str());
    return 1;
  }
  const std::filesystem::path dir(argv[2]);
  const std::filesystem::path mdb = dir / (stem + ".MDB"), flags = dir / (stem + ".flags");
  const kalvir::mdbw::Sizes sizes = kalvir::mdbw::model_sizes(model);
  if (!kalvir::mdbw::build_mdb(model).save(mdb.string())) {
    std::fprintf(stderr, "kalvir_mdb_write: cannot write %s\n", mdb.c_str());
    return 1;
  }
  {
    std::ofstream out(flags, std::ios::trunc);
    out << kalvir::mdbw::sizes_file_text(model.name, sizes);
    if (!out.flush()) {
      std::fprintf(stderr, "kalvir_mdb_write: cannot write %s\n", flags.c_str());
      return 1;
    }
  }
  std::fputs(kalvir::mdbw::describe_sizes(sizes).c_str(), stdout);
  return 0;
}
