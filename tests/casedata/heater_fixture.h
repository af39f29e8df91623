// Heaters on a hand-built model: user arrays added to the model fixture, and
// heater definitions with one field changed at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvir::test {

// User arrays to be placed behind a model built by build_model or
// build_network (which leave no arrays of their own, or only event arrays
// that these replace).
class HeaterArrays {
 public:
  // A real array of the given dimensions.
  std::int32_t real(std::vector<std::int32_t> dims, std::vector<double> values);
  // An integer array.
  std::int32_t integer(std::vector<std::int32_t> dims, std::vector<std::int32_t> values);
  // A table of `nvars` independent variables with its index header and values.
  std::int32_t table(std::int32_t nvars, std::vector<std::int32_t> header, std::vector<double> reals);
  // Re-allocates the array stores and the info list, and sets the array
  // counts of FLAGS.
  void install() const;

 private:
  std::int32_t raw(std::vector<std::int32_t> words);
  std::vector<std::int32_t> info_, pointers_, ints_;
  std::vector<double> reals_;
};

// The table of 100 x1 + x2 over x1 = 0, 1, 2 and x2 = 0, 10, 20, 30.
std::int32_t add_plane_table(HeaterArrays& arrays);

// The 18 arguments of htr_Define, with defaults that pass every check: an
// on/off heater of 100 on MAIN node 1, measured there, band 10 to 20.
struct HeaterDef {
  std::string name = "HTR1";
  std::string measured = "#1";
  double tOn = 10.0;
  double tOff = 20.0;
  std::int32_t method = 1;
  std::string power = "#1";
  std::int32_t factors = 0;
  std::int32_t option = 0;
  double nominal = 100.0;
  std::int32_t loadArray = 0;
  double period = 0.0;
  double scale = 1.0;
  std::int32_t transientMode = 1;
  std::int32_t initialState = 0;
  std::int32_t steadyMode = 1;
  double steadyFraction = 1.0;
  double relaxation = 1.0;
  double setPoint = 0.0;
};

void define(const HeaterDef& d);

// Runs body as a run would and returns its exit status.
int run(const std::function<void()>& body);

}  // namespace kalvir::test
