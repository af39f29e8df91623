// Shared set-up of the TMD writer tests: a hand-built model (the support
// fixture's, with user constants added), the run identification, the
// physical constants, a fresh working directory and an empty writer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/hdf5_read_back.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace kalvir::test {

// User constants of one submodel: names and values per kind.
struct ConstantSpec {
  std::vector<std::pair<std::string, double>> real;
  std::vector<std::pair<std::string, std::int32_t>> integer;
  std::vector<std::pair<std::string, std::string>> character;
};

// Fills the user-constant arrays and model-directory rows 8-13 and 15 from
// one entry per submodel of the model built last.
void add_user_constants(const std::vector<ConstantSpec>& per_submodel);

// MAIN: ALPHA 1.5, BETA 2.5 (real), COUNT 7 (integer), NAME "hello";
// SUB1: GAMMA 3.5, TAG "sub one tag"; SUB2: LEVEL -4.
std::vector<ConstantSpec> three_submodel_constants();

class TmdTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The model to build; the three-submodel model with its constants unless
  // a test builds its own before calling SetUp's helpers.
  void use_model(const ModelSpec& spec, const std::vector<ConstantSpec>& constants);

  std::string file(const std::string& name) const { return dir_.file(name); }
  bool exists(const std::string& name) const;

  TempDir dir_;
  std::unique_ptr<ScopedCwd> cwd_;
};

}  // namespace kalvir::test
