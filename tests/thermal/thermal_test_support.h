// Helpers shared by the thermal tests: model blocks that record the times at
// which the solution calls them and that can drive boundary temperatures.
#pragma once

#include <functional>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {

// What the model blocks saw during a run.
struct BlockLog {
  std::vector<double> v1_timem;    // TIMEM at each variables 1 call
  std::vector<double> v2_timen;    // TIMEN at each variables 2 call (accepted steps)
  std::vector<double> out_timen;   // TIMEN at each outputs call
  std::function<void()> on_v1;     // extra work of the variables 1 block
};
inline BlockLog& block_log() {
  static BlockLog log;
  return log;
}

// Registers blocks that fill block_log(); the ties are applied after each
// accepted step, as a model's variables 2 block does.
inline void register_logging_blocks() {
  block_log() = BlockLog{};
  ModelBlocks b;
  b.variables1 = [] {
    block_log().v1_timem.push_back(GLOR.TIMEM);
    if (block_log().on_v1) block_log().on_v1();
  };
  b.variables2 = [] { block_log().v2_timen.push_back(GLOR.TIMEN); };
  b.outputs = [] { block_log().out_timen.push_back(GLOR.TIMEN); };
  register_model_blocks(b);
}

// The simplest transient: node 1 (diffusion, temperature t0, capacitance c)
// loses heat through a linear conductor g to node 2, a boundary at 0, so that
// its temperature is t0 exp(-g t / c). The logging blocks are registered.
inline void build_cooling_node(double t0, double c, double g) {
  NetworkSpec spec;
  spec.nodes = {{t0, c, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, g}};
  build_network(spec);
  register_logging_blocks();
}

// Runs body and returns its exit status with the messages it printed.
inline int run_capturing(const std::function<void()>& body, std::vector<Message>& messages) {
  int status = -1;
  messages = capture_messages([&] { status = platform::run_program(body); });
  return status;
}

}  // namespace kalvir::test
