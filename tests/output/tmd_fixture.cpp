#include "tests/output/tmd_fixture.h"

#include <filesystem>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/output/tmd/tmd_requests.h"

namespace kalvir::test {

void add_user_constants(const std::vector<ConstantSpec>& per_submodel) {
  const auto nsub = static_cast<std::int32_t>(gar_modelnames.size());
  std::int32_t nreal = 0, nint = 0, nchar = 0, nnames = 0, records = 0;
  for (const auto& c : per_submodel) {
    nreal += static_cast<std::int32_t>(c.real.size());
    nint += static_cast<std::int32_t>(c.integer.size());
    nchar += static_cast<std::int32_t>(c.character.size());
    records += c.character.empty() ? 0 : 1;
  }
  nnames = nreal + nint + nchar;
  gar_userconstnames.allocate(nnames);
  gar_userconstvaluesreal.allocate(nreal);
  gar_userconstvaluesint.allocate(nint);
  gar_userconstpointerschar.allocate(nchar);
  gar_userconstvalueschar.allocate(records);

  std::int32_t r = 0, i = 0, c = 0, n = 0, rec = 0;
  for (std::int32_t m = 1; m <= nsub + 1; ++m) {
    gar_modeldirectory(8, m) = r;
    gar_modeldirectory(9, m) = i;
    gar_modeldirectory(10, m) = c;
    gar_modeldirectory(11, m) = n;
    gar_modeldirectory(15, m) = rec;
    if (m > nsub || m > static_cast<std::int32_t>(per_submodel.size())) {
      gar_modeldirectory(12, m) = n;
      gar_modeldirectory(13, m) = n;
      continue;
    }
    const ConstantSpec& s = per_submodel[static_cast<std::size_t>(m - 1)];
    for (const auto& [name, value] : s.real) {
      gar_userconstnames.set(++n, name);
      gar_userconstvaluesreal(++r) = value;
    }
    gar_modeldirectory(12, m) = n;
    for (const auto& [name, value] : s.integer) {
      gar_userconstnames.set(++n, name);
      gar_userconstvaluesint(++i) = value;
    }
    gar_modeldirectory(13, m) = n;
    // The submodel's character values share one record, each ended by NUL.
    std::string record;
    for (const auto& [name, value] : s.character) {
      gar_userconstnames.set(++n, name);
      gar_userconstpointerschar(++c) = static_cast<std::int32_t>(record.size()) + 1;
      record += value + '\0';
    }
    if (!s.character.empty()) gar_userconstvalueschar.set(++rec, record);
  }
  FLAGS(6) = nreal;
  FLAGS(7) = nint;
  FLAGS(8) = records;
  FLAGS(9) = nchar;
  FLAGS(16) = nnames;
}

std::vector<ConstantSpec> three_submodel_constants() {
  return {
      {{{"ALPHA", 1.5}, {"BETA", 2.5}}, {{"COUNT", 7}}, {{"NAME", "hello"}}},
      {{{"GAMMA", 3.5}}, {}, {{"TAG", "sub one tag"}}},
      {{}, {{"LEVEL", -4}}, {}},
  };
}

void TmdTest::use_model(const ModelSpec& spec, const std::vector<ConstantSpec>& constants) {
  build_model(spec);
  add_user_constants(constants);
}

void TmdTest::SetUp() {
  kalvir::tmd::reset_for_tests();
  use_model(three_submodel_model(), three_submodel_constants());
  JOBINF.date = "05 March     2026";
  JOBINF.time = "14:07:09";
  JOBINF.model = "ORVIK_TESTBED_01";
  gcc_setpabs(101325.0);
  gcc_setstefan(5.67e-8);
  gcc_settabs(273.15);
  gcc_settimen(0.0);
  gcc_setparnam("CASE A");
  cwd_ = std::make_unique<ScopedCwd>(dir_.path());
}

void TmdTest::TearDown() {
  kalvir::tmd::reset_for_tests();
  cwd_.reset();
}

bool TmdTest::exists(const std::string& name) const { return std::filesystem::exists(dir_.path() / name); }

}  // namespace kalvir::test
