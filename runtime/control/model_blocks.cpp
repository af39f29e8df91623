#include "runtime/control/model_blocks.h"

namespace {
ModelBlocks blocks;

void call(void (*block)()) {
  if (block != nullptr) block();
}
}  // namespace

void register_model_blocks(const ModelBlocks& b) { blocks = b; }
const ModelBlocks& registered_model_blocks() { return blocks; }

void call_execution_block() { call(blocks.execution); }
void call_initial_block() { call(blocks.initial); }
void call_variables1_block() { call(blocks.variables1); }
void call_variables2_block() { call(blocks.variables2); }
void call_outputs_block() { call(blocks.outputs); }
