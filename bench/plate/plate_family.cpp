#include "bench/plate/plate_family.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace kalvir::bench::plate {
namespace {

// A node of 10 cm by 10 cm of 2 mm aluminium.
constexpr double kArea = 0.01;                             // m2
constexpr double kCapacitance = 2700.0 * 900.0 * kArea * 0.002;  // J/K
constexpr double kConductance = 160.0 * 0.002 * 0.1 / 0.1;      // W/K to a neighbour
constexpr double kAbsorptivity = 0.3;
constexpr double kEmissivity = 0.85;
constexpr double kToSpace = kEmissivity * kArea;   // GR to deep space, m2
constexpr double kToDiagonal = 0.05 * kToSpace;    // GR to the diagonal neighbour, m2
constexpr double kHotSpot = 1.5;                   // W, at every 8th row and column
constexpr double kSolar = 1361.0, kEarthIr = 237.0;
constexpr int kSteps = 24;

// The sample model's control constants; TIMEND one orbit, OUTINT a tenth of it.
constexpr const char* kControls[][2] = {
    {"CSGMIN", "0"},      {"DAMPT", "1"},        {"DTIMEI", "8"},       {"DTIMEU", "0"},
    {"DTMAX", "60"},      {"DTMIN", "1.0e-3"},   {"DTPMAX", "5"},       {"ENBALA", "1.0e10"},
    {"ENBALR", "1.0e10"}, {"INBALA", "1.0e10"},  {"INBALR", "1.0e10"},  {"RELXCA", "0.011"},
    {"RELXCC", "0"},      {"STEFAN", "5.670374419e-8"},                 {"TIMEM", "0"},
    {"TIMEN", "0"},       {"TIMEO", "0"},        {"TABS", "273.15"},    {"PABS", "0"},
    {"DAMPM", "1"},       {"ARITH", "0"},        {"DTROCA", "1.0e10"},  {"DTROCC", "0"},
    {"ENBNDM", "0"},      {"INBNDM", "0"},       {"LOOPCT", "0"},       {"MODEL", "1"},
    {"NCSGMN", "0"},      {"NLOOP", "200"},      {"LENGTH", "60"},      {"WIDTH", "132"},
    {"MSHORT", "0"},      {"TRACE", "0"},        {"MLEVEL", "1"},       {"METHOD", "0"},
    {"PRGFBK", "10"},     {"STEPCT", "0"},
};

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

}  // namespace

Shape shape_of(std::int32_t n) {
  Shape s;
  s.rows = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(std::sqrt(0.8 * n))));
  s.cols = std::max<std::int32_t>(1, (n + s.rows - 1) / s.rows);
  return s;
}

std::string description(const Shape& shape) {
  const std::int32_t n = shape.nodes(), space = n + 1;
  std::string out;
  out.reserve(static_cast<std::size_t>(n) * 120 + 4096);
  out += "# The plate family of the scaling benchmark: " + std::to_string(shape.rows) + " x " +
         std::to_string(shape.cols) + " nodes (bench/plate/plate_family.h)\n";
  out += "model PLATE\n";
  const std::string plain = " T=20 C=" + number(kCapacitance) + " A=" + number(kArea) +
                            " ALP=" + number(kAbsorptivity) + " EPS=" + number(kEmissivity);
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t r = (i - 1) / shape.cols, c = (i - 1) % shape.cols;
    out += "node " + std::to_string(i) + plain;
    if (r % 8 == 3 && c % 8 == 5) out += " QI=" + number(kHotSpot);
    out += '\n';
  }
  out += "node " + std::to_string(space) + " T=-270 status=B label=\"DEEP SPACE\"\n";
  const std::string gl = " " + number(kConductance) + "\n";
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t r = (i - 1) / shape.cols, c = (i - 1) % shape.cols;
    if (c + 1 < shape.cols) out += "GL " + std::to_string(i) + " " + std::to_string(i + 1) + gl;
    if (r + 1 < shape.rows) out += "GL " + std::to_string(i) + " " + std::to_string(i + shape.cols) + gl;
  }
  const std::string to_diagonal = " " + number(kToDiagonal) + "\n";
  const std::string to_space = " " + std::to_string(space) + " " + number(kToSpace) + "\n";
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t r = (i - 1) / shape.cols, c = (i - 1) % shape.cols;
    if (r + 1 < shape.rows && c + 1 < shape.cols)
      out += "GR " + std::to_string(i) + " " + std::to_string(i + shape.cols + 1) + to_diagonal;
    out += "GR " + std::to_string(i) + to_space;
  }
  out += "control TIMEND " + number(kPeriod) + "\n";
  out += "control OUTINT " + number(kPeriod / 10.0) + "\n";
  for (const auto& [name, value] : kControls) out += std::string("control ") + name + " " + value + "\n";
  return out;
}

acd::ModelGroup case_data(const Shape& shape) {
  const std::int32_t n = shape.nodes();
  acd::ModelGroup g;
  g.analysisCaseType = 2;
  g.period = kPeriod;
  for (int r = 0; r <= kSteps; ++r) g.times.push_back(kPeriod * r / kSteps);
  g.nodeList.reserve(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= n; ++i) g.nodeList.push_back(i);
  const auto zero = std::vector<double>(static_cast<std::size_t>(n), 0.0);
  g.staticAlbedo = zero;
  g.staticRemainder = zero;
  g.staticSolar = zero;
  g.staticPlanet.assign(static_cast<std::size_t>(n), kEarthIr * 0.3 * kEmissivity * kArea);
  g.solar.nodes = g.nodeList;
  for (const double t : g.times) {
    const double phi = 2.0 * std::numbers::pi * t / kPeriod;
    const bool eclipse = phi > 0.65 * std::numbers::pi && phi < 1.35 * std::numbers::pi;
    const double lit = eclipse ? 0.0 : kSolar * kAbsorptivity * kArea * std::max(0.0, std::cos(phi));
    std::vector<double> row(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) {
      const std::int32_t c = (i - 1) % shape.cols;
      const double across = shape.cols > 1 ? static_cast<double>(c) / (shape.cols - 1) : 1.0;
      row[static_cast<std::size_t>(i - 1)] = lit * (0.6 + 0.4 * across);
    }
    g.solar.values.push_back(std::move(row));
  }
  return g;
}

void write_inputs(const std::filesystem::path& dir, const Shape& shape) {
  const std::filesystem::path text = dir / "PLATE.mdbtxt";
  std::ofstream out(text, std::ios::trunc);
  out << description(shape);
  if (!out.flush()) throw std::runtime_error("cannot write " + text.string());
  acd::write_acd_file(dir / "PLATE.acd", case_data(shape));
}

}  // namespace kalvir::bench::plate
