// KALVIR_CLONES(targets...): the function is built once for each target and
// the loader runs the build the processor can take (GCC's target_clones).
// Configured with -DKALVIR_TARGET_CLONES=OFF, only the baseline build is
// made: a test run then covers the code every processor can run, and the
// thread sanitizer, which the clones' resolvers stop before a program
// starts, can run the programs.
#pragma once

#if KALVIR_TARGET_CLONES
#define KALVIR_CLONES(...) __attribute__((target_clones(__VA_ARGS__)))
#else
#define KALVIR_CLONES(...)
#endif
