// kalvir_acd_write DESCRIPTION OUTPUT: writes the ACD file OUTPUT from the
// text description DESCRIPTION (format in tools/acd_description.h).
#include <cstdio>
#include <exception>
#include <fstream>

#include "tools/acd_description.h"
#include "tools/acd_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kalvir_acd_write DESCRIPTION OUTPUT.acd\n");
    return 1;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "kalvir_acd_write: cannot read %s\n", argv[1]);
    return 1;
  }
  try {
    kalvir::acd::write_acd_file(argv[2], kalvir::acd::read_description(in));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalvir_acd_write: %s: %s\n", argv[1], e.what());
    return 1;
  }
  std::printf("wrote %s\n", argv[2]);
  return 0;
}
