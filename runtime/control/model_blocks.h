// The blocks of the model program as the runtime calls them back.
//
// The runtime is a library that every generated model program links with, so
// it cannot name one model's routines: the main routine registers its blocks
// (EXECTN, IN0001, V10001, V20001, OUTPUT, GM0001) before the start-up driver
// runs, and the solution routines and the parameter-case driver call them
// through here. Tests register blocks of their own.
#pragma once

#include <cstdint>

struct ModelBlocks {
  void (*execution)() = nullptr;                   // EXECTN
  void (*initial)() = nullptr;                     // IN0001
  void (*variables1)() = nullptr;                  // V10001
  void (*variables2)() = nullptr;                  // V20001
  void (*outputs)() = nullptr;                     // OUTPUT
  void (*conductors)(std::int32_t& flag) = nullptr;  // GM0001
};

void register_model_blocks(const ModelBlocks& blocks);
const ModelBlocks& registered_model_blocks();

// Calls of the registered blocks; a block that was not registered does nothing.
void call_execution_block();
void call_initial_block();
void call_variables1_block();
void call_variables2_block();
void call_outputs_block();
