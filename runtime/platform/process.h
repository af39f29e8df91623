// Ending the process from deep inside a run.
//
// The run's ends (normal end, fatal messages, internal-error stops) are calls
// that do not return, made from inside solvers and loaders. They unwind to the
// program's entry through ProcessExit, which only run_program catches, so that
// destructors close what they hold and tests can run a fatal path in-process
// and look at its exit status. No other code may catch ProcessExit: catch
// clauses elsewhere name the exceptions they handle and never use "...".
#pragma once

#include <functional>

namespace kalvir::platform {

struct ProcessExit {
  int status;
};

// Unwinds to run_program with the given exit status.
[[noreturn]] void exit_process(int status);

// Runs body and returns the exit status it ended with: the status passed to
// exit_process, or 0 when body returns. Every unit still open is flushed and
// closed before it returns.
int run_program(const std::function<void()>& body);

}  // namespace kalvir::platform
