// Main routine of the model program ORVIK_TESTBED_01: records the model's
// sizes and name, registers the blocks and runs the start-up driver.
#include "model/orvik_testbed_01.h"

#include "runtime/platform/process.h"

namespace {

void main_routine() {
  FLAGS.w = orvik::kFlags;
  SVMNAM(orvik::kModelName);
  SPRSIZ.w = orvik::kSprsiz;
  register_model_blocks(orvik::blocks());
  MAINA(orvik::kModelName);
  SUCCES();
}

}  // namespace

int main() { return kalvir::platform::run_program(main_routine); }
