// The end of a run: SUCCES (status 0) and FAILUR (status 1) close the run
// through PROGCL and end the process; CHKTRM ends it when the kill file
// exists; internal_stop is the internal consistency stop.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

// The failure that ends the run: FAILUR writes the last one noted to
// standard error as one short block (the routine, then the problem, one line
// per part of TEXT, parts parted by "@"), so that a terminal or a script sees
// why a run whose print went to a file ended with status 1. The fatal
// message writers, the start-up driver and the kill-file test note theirs;
// a later note replaces an earlier one.
void note_failure(std::string_view routine, std::string_view text);

// A failure the run goes on after: a message of severity 3 (SETERX) or an
// error of the file and record layer (ERRNEW). A run that then ends through
// SUCCES ends with status 1 all the same, and the block on standard error
// (SUCCES's or FAILUR's) lists each such message once: the routine, how many
// times it came, its text and where the run was (kalvir::FailurePlace).
void note_run_failure(std::string_view routine, std::string_view text);
// Forgets the failures noted so far: a run starts without any.
void forget_run_failures();

[[noreturn]] void SUCCES();
[[noreturn]] void FAILUR();
// Runs the registered closers: the run's sequential files (LFIN, registered
// by SOPSQ), the monitor, result and case files, the HDF5 library.
void PROGCL();

// What a subsystem runs to close what it opened. Whatever opens a file or a
// library registers its closer when it first opens it, so that the end of a
// run closes everything without this layer knowing the subsystems above it.
using RunCloser = void (*)();
// Runs when the run ends (SUCCES, FAILUR, internal_stop), newest first, once
// each; registering a closer that is already waiting changes nothing.
void register_run_closer(RunCloser closer);
[[noreturn]] void EEXIT(std::int32_t STATUS);
// Kill-file test: ends the run with status 1 when "<first 8 of model>.kill" exists.
void CHKTRM();

// Internal consistency stop: the text on standard error, then the run's files
// closed as FAILUR closes them (once, even when the close itself stops again),
// and exit status 1.
[[noreturn]] void internal_stop(std::string_view text);

// Runs allocate(), which sizes work storage of the run; memory that cannot
// be had is an internal stop with "Allocation would exceed memory limit".
template <class Allocate>
void allocate_or_stop(Allocate&& allocate) {
  try {
    allocate();
  } catch (const std::bad_alloc&) {
    internal_stop("Allocation would exceed memory limit");
  } catch (const std::length_error&) {
    internal_stop("Allocation would exceed memory limit");
  }
}

namespace kalvir {
// Names where the run is, for the failures noted while the object lives
// (a statement of the parameter-case file and its line, say): the list on
// standard error shows it with each. Places nest; the innermost one counts.
class FailurePlace {
 public:
  explicit FailurePlace(std::string place);
  ~FailurePlace();
  FailurePlace(const FailurePlace&) = delete;
  FailurePlace& operator=(const FailurePlace&) = delete;
};
}  // namespace kalvir

// A hook: a service of a folder above that a lower folder calls through a
// function pointer, so that the folders keep their order. The top of the
// runtime fills every hook (kalvir::install_run_hooks, which MAINA calls
// first); one still empty when it is needed is an internal stop that names
// it, never a call through a null pointer.
namespace kalvir {
template <class Fn>
Fn filled_hook(Fn fn, std::string_view name) {
  if (fn == nullptr) {
    internal_stop("Internal error: the runtime hook " + std::string(name) +
                  " was not filled (kalvir::install_run_hooks has not run)");
  }
  return fn;
}
}  // namespace kalvir
