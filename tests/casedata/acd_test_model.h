// Shared pieces of the ACD tests: the small three-submodel model with
// radiative conductors and its record-form connection lists, and a run of a
// body that may end the run (exit status and printed messages).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/model_fixture.h"

namespace kalvir::test {

// MAIN (thermal 1-6, fluid 101-102) with GR 1 (1-3), 2 (2-4), 3 (1-3 again),
// 4 (4-101);
// SUB1 (thermal 1-5) with GR 5 (1-2), 6 (3-4); SUB2 (thermal 1-4) with
// GR 7 (1-2). Internal indices: MAIN 1-6, SUB1 7-11, SUB2 12-15, fluid 16-17.
ModelSpec acd_model();

// Builds the model in the global arrays with its record-form connection lists.
void build_acd_model(const ModelSpec& spec);

struct RunResult {
  int status = 0;
  std::vector<Message> messages;
};

// Runs body as a run would (a fatal message ends it with its exit status).
RunResult run_captured(const std::function<void()>& body);

// True when some message's routine is `routine` and its text contains `text`.
bool has_message(const RunResult& r, const std::string& routine, const std::string& text);

}  // namespace kalvir::test
