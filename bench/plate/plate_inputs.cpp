// bench_plate_inputs N DIRECTORY: writes the plate of about N nodes
// (bench/plate/plate_family.h) into DIRECTORY as PLATE.mdbtxt, the
// description kalvir_mdb_write turns into PLATE.MDB and PLATE.flags, and
// PLATE.acd; prints the plate's rows, columns and node count.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/plate/plate_family.h"

int main(int argc, char** argv) {
  const long n = argc == 3 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (n < 1 || n > 10'000'000) {
    std::fprintf(stderr, "usage: bench_plate_inputs N DIRECTORY   (1 <= N <= 10000000)\n");
    return 1;
  }
  const auto shape = kalvir::bench::plate::shape_of(static_cast<std::int32_t>(n));
  try {
    kalvir::bench::plate::write_inputs(argv[2], shape);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_plate_inputs: %s\n", e.what());
    return 1;
  }
  std::printf("%d x %d = %d nodes\n", shape.rows, shape.cols, shape.nodes());
  return 0;
}
