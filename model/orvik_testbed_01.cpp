// Model program generated for the thermal model ORVIK_TESTBED_01: the main
// routine records the model's sizes and name and runs the start-up driver.
#include <array>
#include <cstdint>

#include "runtime/control/flags.h"
#include "runtime/control/run_end.h"
#include "runtime/control/startup.h"
#include "runtime/platform/process.h"

namespace {

constexpr std::array<std::int32_t, 41> kFlags{
    397, 869, 0, 4040, 0, 1, 0, 0, 0, 0,          //  1-10
    2,   0,   49, 25, 16, 1, 92, 22, 2, 0,         // 11-20
    0,   0,   0, 22040, 2, 1, 133, 1010467, 1, 0,  // 21-30
    0,   0,   0, 0, 22, 1, 0, 0, 8080, 0,          // 31-40
    0};                                            // 41
constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
constexpr char kModelName[] = "ORVIK_TESTBED_01        ";

void main_routine() {
  FLAGS.w = kFlags;
  SVMNAM(kModelName);
  SPRSIZ.w = kSprsiz;
  MAINA(kModelName);
  SUCCES();
}

}  // namespace

int main() { return kalvir::platform::run_program(main_routine); }
