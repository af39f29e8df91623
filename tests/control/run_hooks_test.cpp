// The hooks through which a lower folder of the runtime reaches a service of
// a folder above it: one left empty stops the run with status 1 and names
// itself, instead of calling through a null pointer.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/platform/process.h"
#include "runtime/program/run_hooks.h"
#include "runtime/thermal/cyclic.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace run_hooks_test {

struct EmptyHookCase {
  const char* what;  // the hook
  std::function<void()> empty;  // leaves the hook unfilled
  std::function<void()> call;   // a routine that needs it
};

class EmptyHook : public ::testing::TestWithParam<EmptyHookCase> {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }
  void TearDown() override {
    kalvir::install_run_hooks();
    kalvir::test::release_model();
  }
};

TEST_P(EmptyHook, StopsTheRunAndNamesTheHook) {
  GetParam().empty();
  testing::internal::CaptureStderr();
  EXPECT_EQ(kalvir::platform::run_program(GetParam().call), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(std::string("the runtime hook ") + GetParam().what + " was not filled"), std::string::npos)
      << err;
  // Filled again, the same call runs.
  kalvir::install_run_hooks();
}

INSTANTIATE_TEST_SUITE_P(
    RunHooks, EmptyHook,
    ::testing::Values(
        EmptyHookCase{"NodeNaming::submodel", [] { kalvir::set_node_naming({}); },
                      [] {
                        std::string text(60, ' ');
                        MESBLD(1, text);
                      }},
        EmptyHookCase{"StatusReaders::entity", [] { kalvir::set_status_readers({}); }, [] { STATST("T1", "B"); }},
        EmptyHookCase{"CyclicFluidLoops::FLTNTS", [] { kalvir::thermal::set_cyclic_fluid_loops({}); },
                      [] {
                        for (const auto& r : kalvir::thermal::cyclic_routines())
                          if (r.name == "FLTNTS") r.run();
                      }}),
    kalvir::test::CaseName{});

}  // namespace run_hooks_test
