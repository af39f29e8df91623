// orvik_sample_inputs <run directory>: writes the sample model's input files
// (ORVIK_TE.MDB and ORVIK_TESTBED_01.acd) into the run directory.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "tools/sample_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvik_sample_inputs <run directory>\n");
    return 2;
  }
  const std::filesystem::path dir(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "orvik_sample_inputs: cannot create %s: %s\n", argv[1], ec.message().c_str());
    return 1;
  }
  try {
    const auto files = kalvir::sample::write_sample_inputs(dir);
    for (const auto& f : files) std::printf("wrote %s\n", f.string().c_str());
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "orvik_sample_inputs: %s\n", e.what());
    return 1;
  }
  return 0;
}
