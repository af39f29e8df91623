#include "runtime/platform/process.h"

#include <cstdio>
#include <exception>

#include "runtime/platform/units.h"

namespace kalvir::platform {

void exit_process(int status) { throw ProcessExit{status}; }

int run_program(const std::function<void()>& body) {
  int status = 0;
  try {
    body();
  } catch (const ProcessExit& e) {
    status = e.status;
  } catch (const std::exception& e) {
    // Nothing may leave the program unreported: a library failure that no
    // routine turned into a message still ends the run as a failure.
    unit_flush(kStdoutUnit);
    std::fprintf(stderr, "Unrecoverable run-time failure: %s\n", e.what());
    status = 1;
  }
  close_all_units();
  return status;
}

}  // namespace kalvir::platform
