// bench_plate_model [--no-tmd]: the model program of the plate family, run
// in a directory holding PLATE.MDB, PLATE.flags and PLATE.acd; --no-tmd
// leaves out the outputs block's TMD request.
#include <cstdio>
#include <string>

#include "bench/plate/plate_family.h"
#include "bench/plate/plate_program.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/process.h"

int main(int argc, char** argv) {
  const bool with_tmd = !(argc == 2 && std::string(argv[1]) == "--no-tmd");
  if (argc > 2 || (argc == 2 && with_tmd)) {
    std::fprintf(stderr, "usage: bench_plate_model [--no-tmd]\n");
    return 1;
  }
  return kalvir::platform::run_program([with_tmd] {
    using namespace kalvir::bench::plate;
    store_sizes();
    register_model_blocks(blocks(with_tmd));
    MAINA(kalvir::padded(kModelName, 24));
    SUCCES();
  });
}
