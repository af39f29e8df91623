#include "tests/casedata/acd_test_model.h"

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/platform/process.h"

namespace kalvir::test {

ModelSpec acd_model() {
  ModelSpec spec = three_submodel_model();
  spec.submodels[0].gr = {{1, 3}, {2, 4}, {1, 3}, {4, 101}};
  spec.submodels[1].gr = {{1, 2}, {3, 4}};
  spec.submodels[2].gr = {{1, 2}};
  return spec;
}

void build_acd_model(const ModelSpec& spec) {
  build_model(spec);
  LPCSCN(FLAGS(flagw::NNODE), gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(),
         gar_pcsthermal.span(), gar_pcsptrsthermal);
}

RunResult run_captured(const std::function<void()>& body) {
  RunResult r;
  r.messages = capture_messages([&] { r.status = platform::run_program(body); });
  return r;
}

bool has_message(const RunResult& r, const std::string& routine, const std::string& text) {
  for (const Message& m : r.messages)
    if (m.routine == routine && m.text.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace kalvir::test
