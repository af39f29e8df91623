// Runs of the sample model program (or a variant of it) as a process, on the
// sample input files written into a fresh directory, and the node tables of
// its printed output, so that runs of different solution routines can be
// held against each other.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace kalvir::test {

// Printed node tables of one output time: user node number -> T as printed.
using PrintedTable = std::map<int, double>;

struct PrintedRun {
  std::vector<double> times;          // TIMEN of each output time, as printed
  std::vector<PrintedTable> tables;   // the node table printed at that time
};

// The final transient's headings carry "TIMEN =" and the tables' rows hold
// node number, label, T, QI and C; the cyclic analysis prints no tables.
PrintedRun parse_print(const std::string& text);

// The largest difference of a printed temperature between two runs, over
// every node of every output time; +infinity when the runs differ in their
// output times (beyond 0.005, the printed precision) or in their nodes.
double largest_difference(const PrintedRun& a, const PrintedRun& b);

struct SampleRun {
  std::unique_ptr<TempDir> dir;  // the run directory with every file the run wrote
  int status = -1;               // exit status (-1: did not exit normally)
  std::string printed;           // standard output
  std::string errors;            // standard error
};

// Writes the sample inputs into a fresh directory and runs PROGRAM there.
SampleRun run_sample(const std::string& program);

}  // namespace kalvir::test
