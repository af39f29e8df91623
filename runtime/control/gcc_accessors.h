// gcc_GlobalControlConstants_m: typed access to the 90 global control
// constants, one getter and one setter each (gcc_gettimen, gcc_setwidth, ...),
// the bulk getters in alphabetical order of the names, and the alphabetical
// name tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/control/control_constants.h"

#define KALVIR_X(N, n)      \
  double gcc_get##n();      \
  void gcc_set##n(double value);
KALVIR_GLOR_TABLE(KALVIR_X)
#undef KALVIR_X

#define KALVIR_X(N, n)         \
  std::int32_t gcc_get##n();   \
  void gcc_set##n(std::int32_t value);
KALVIR_GLOI_TABLE(KALVIR_X)
#undef KALVIR_X

// Character getters return the field at its own length; setters store the
// text over the whole field, cut or blank-padded.
#define KALVIR_X(N, n, len, def) \
  std::string gcc_get##n();      \
  void gcc_set##n(std::string_view value);
KALVIR_GLOC_TABLE(KALVIR_X)
#undef KALVIR_X

// Alphabetical name tables, 6 characters each, blank-padded.
extern const std::array<std::string, 49> gcc_ctrl_const_names_real;
extern const std::array<std::string, 25> gcc_ctrl_const_names_int;
extern const std::array<std::string, 16> gcc_ctrl_const_names_char;

// VALUES(1..n) := the constants in the order of the name tables above.
void gcc_getvaluesreal(std::span<double> values);
void gcc_getvaluesint(std::span<std::int32_t> values);
// Each element is 132 characters: values must hold at least 16 x 132.
void gcc_getvalueschar(kalvir::CharArray<132>& values);
