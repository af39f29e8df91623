// What the test model programs share: the variables 2 block of a
// one-submodel model without its own statements there, and the main routine
// that sets the sizes and the model name, registers the blocks and runs the
// program.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/process.h"
#include "runtime/program/model_program.h"

namespace kalvir::test {

// The initial and variables 1 blocks of a model without statements of its
// own there.
inline void plain_initial() {
  GLOC.OPBLOK = "INITIAL";
  GLOI.MODEL = 1;
  GLOC.OPBLOK = "";
}

inline void plain_variables1() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  PRMUPD();
  CHKTRM();
  GLOC.OPBLOK = "";
}

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
  // The user-defined node attribute names by group (real, integer,
  // character), in the counts sprsiz declares; none by default.
  std::span<const std::string_view> real_attributes{}, integer_attributes{}, character_attributes{};
};

// The program's main: runs model as a preprocessed main routine would.
inline int run_test_model(const TestModel& m) {
  return kalvir::platform::run_program([&m] {
    FLAGS.w = m.flags;
    SVMNAM(m.name);
    SPRSIZ.w = m.sprsiz;
    if (!m.real_attributes.empty() || !m.integer_attributes.empty() || !m.character_attributes.empty())
      sprnod_setnames(m.real_attributes, m.integer_attributes, m.character_attributes);
    register_model_blocks(m.blocks);
    MAINA(m.name);
    SUCCES();
  });
}

}  // namespace kalvir::test
