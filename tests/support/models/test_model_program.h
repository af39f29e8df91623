// What the test model programs share: the variables 2 block of a
// one-submodel model without its own statements there, and the main routine
// that sets the sizes and the model name, registers the blocks and runs the
// program.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "runtime/control/model_program.h"
#include "runtime/platform/process.h"

namespace kalvir::test {

inline void counting_variables2() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  GLOI.STEPCT = GLOI.STEPCT + 1;
  PRMUPD();
  GLOC.OPBLOK = "";
}

// The model's sizes, name and blocks, held for the main routine.
struct TestModel {
  std::array<std::int32_t, 41> flags;
  std::array<std::int32_t, 5> sprsiz;
  std::string_view name;
  ModelBlocks blocks;
};

// The program's main: runs model as a preprocessed main routine would.
inline int run_test_model(const TestModel& m) {
  return kalvir::platform::run_program([&m] {
    FLAGS.w = m.flags;
    SVMNAM(m.name);
    SPRSIZ.w = m.sprsiz;
    register_model_blocks(m.blocks);
    MAINA(m.name);
    SUCCES();
  });
}

}  // namespace kalvir::test
