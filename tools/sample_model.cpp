#include "tools/sample_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/control/control_constants.h"

namespace kalvir::sample {
namespace {

constexpr int kNodes = 397;

// The model's parts: node positions first .. first + count - 1 (the order of
// the MDB file) with user numbers from `number` on.
struct Part {
  int first;
  int count;
  int number;
  std::string_view label;
  double capacitance;  // J/K per node
  double temperature;  // initial, deg C
  char status;
  double area;  // m2 per node
  double absorptivity;
  double emissivity;
};

constexpr std::array<Part, 15> kParts{{
    {1, 1, 4, "TEST-BED INTERFACE", 5000.0, 10.0, 'D', 0.50, 0.00, 0.00},
    {2, 1, 9, "DEEP SPACE", 0.0, -270.0, 'B', 0.00, 0.00, 0.00},
    {3, 32, 101, "BASEPLATE", 3024.0, 20.0, 'D', 0.25, 0.30, 0.85},
    {35, 17, 201, "WALL +Y", 1344.0, 20.0, 'D', 0.10, 0.01, 0.02},
    {52, 17, 221, "WALL -Y", 1344.0, 20.0, 'D', 0.10, 0.01, 0.02},
    {69, 17, 241, "WALL -X", 1344.0, 20.0, 'D', 0.10, 0.01, 0.02},
    {86, 42, 301, "RADIATOR OUTER", 269.0, 20.0, 'D', 0.05, 0.15, 0.80},
    {128, 42, 401, "RADIATOR INNER", 269.0, 20.0, 'D', 0.05, 0.90, 0.85},
    {170, 30, 501, "SHELF", 717.0, 20.0, 'D', 0.08, 0.90, 0.85},
    {200, 56, 601, "UNIT", 1350.0, 20.0, 'D', 0.06, 0.90, 0.85},
    {256, 22, 701, "HARNESS", 250.0, 20.0, 'D', 0.02, 0.90, 0.80},
    {278, 16, 801, "CYLINDER", 1000.0, 20.0, 'D', 0.15, 0.90, 0.85},
    {294, 8, 821, "FLANGE", 538.0, 20.0, 'D', 0.03, 0.30, 0.10},
    {302, 8, 831, "ADAPTER RING", 538.0, 20.0, 'D', 0.03, 0.30, 0.10},
    {310, 54, 901, "TOP PANEL", 358.0, 20.0, 'D', 0.06, 0.10, 0.85},
}};
// The payload units on the top panel, positions 364 to 397.
constexpr Part kPayload{364, 34, 1001, "PAYLOAD", 1800.0, 20.0, 'D', 0.04, 0.90, 0.85};

const Part& part_of(int pos) {
  for (const Part& p : kParts)
    if (pos >= p.first && pos < p.first + p.count) return p;
  return kPayload;
}
int number_of(int pos) {
  const Part& p = part_of(pos);
  return p.number + (pos - p.first);
}

// Panels of the temperature-dependent conductors, as the generated
// evaluation in the model program joins them (see model/gm0001.cpp).
struct Panel {
  int first, rows, cols;
  bool ring;
  int layer;
  double fh, fv, fl, fl_last;
};
constexpr std::array<Panel, 16> kPanels{{
    {86, 3, 3, false, 42, 0.0002499889, 0.0002499889, 0.257049, 0.257049},
    {95, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {101, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {107, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {113, 2, 3, false, 42, 0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
    {119, 3, 3, false, 42, 0.0002499889, 0.0002499889, 0.257049, 0.257049},
    {128, 3, 3, false, 0, 0.0002499889, 0.0002499889, 0.0, 0.0},
    {137, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {143, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {149, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {155, 2, 3, false, 0, 0.0002515913, 0.0002483967, 0.0, 0.0},
    {161, 3, 3, false, 0, 0.0002499889, 0.0002499889, 0.0, 0.0},
    {278, 2, 4, true, 8, 0.0001880212, 0.0003323798, 0.7489304, 0.7489304},
    {286, 2, 4, true, 0, 0.0001880212, 0.0003323798, 0.0, 0.0},
    {302, 1, 4, true, 4, 9.174663e-06, 0.0, 0.03444776, 0.03444776},
    {306, 1, 4, true, 0, 9.174663e-06, 0.0, 0.0, 0.0},
}};

// A conductor between node positions first < second.
struct Link {
  int first;
  int second;
  double value;
};

// Linear interpolation in (x, y) pairs, held at the ends.
double curve_at(const std::vector<double>& pts, double x) {
  const std::size_t n = pts.size() / 2;
  if (x <= pts[0]) return pts[1];
  for (std::size_t k = 1; k < n; ++k) {
    const double x0 = pts[2 * k - 2], x1 = pts[2 * k];
    if (x <= x1) return pts[2 * k - 1] + (pts[2 * k + 1] - pts[2 * k - 1]) * (x - x0) / (x1 - x0);
  }
  return pts[2 * n - 1];
}

// The temperature-dependent conductors in the order of the model program's
// statements, grouped in the three runs of GL positions they occupy.
std::array<std::vector<Link>, 3> panel_links() {
  const double k1 = curve_at(array1_points(), 20.0);
  const double k2 = curve_at(array2_points(), 20.0);
  std::array<std::vector<Link>, 3> runs;
  for (std::size_t i = 0; i < kPanels.size(); ++i) {
    const Panel& p = kPanels[i];
    auto& run = runs[i < 12 ? 0 : (i < 14 ? 1 : 2)];
    const int last = p.first + p.rows * p.cols - 1;
    for (int n = p.first; n <= last; ++n) {
      const int r = (n - p.first) / p.cols;
      const int c = (n - p.first) % p.cols;
      if (c < p.cols - 1) run.push_back({n, n + 1, p.fh * k1});
      if (p.ring && c == 0) run.push_back({n, n + p.cols - 1, p.fh * k1});
      if (r < p.rows - 1) run.push_back({n, n + p.cols, p.fv * k1});
      if (p.layer != 0) run.push_back({n, n + p.layer, (n == last ? p.fl_last : p.fl) * k2});
    }
  }
  return runs;
}

// Collects the fixed conductors of one run of GL positions.
class LinkSet {
 public:
  void add(int a, int b, double value) {
    if (a >= b || !used_.insert({a, b}).second) throw std::logic_error("sample model: bad or repeated conductor");
    links_.push_back({a, b, value});
  }
  // Secondary paths (n, n + d) for d = 1, 2, ... until the run has `target`
  // conductors.
  void fill(std::size_t target, int from, int to, double value) {
    for (int d = 1; links_.size() < target && d < kNodes; ++d)
      for (int n = from; n + d <= to && links_.size() < target; ++n)
        if (!used_.contains({n, n + d})) add(n, n + d, value);
  }
  std::vector<Link> sorted(std::size_t expected) {
    if (links_.size() != expected) throw std::logic_error("sample model: wrong conductor count");
    std::stable_sort(links_.begin(), links_.end(), [](const Link& a, const Link& b) { return a.first < b.first; });
    return links_;
  }

 private:
  std::set<std::pair<int, int>> used_;
  std::vector<Link> links_;
};

// Grid links of a rows x cols block starting at position s.
void grid(LinkSet& set, int s, int rows, int cols, double value) {
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int n = s + r * cols + c;
      if (c < cols - 1) set.add(n, n + 1, value);
      if (r < rows - 1) set.add(n, n + cols, value);
    }
}

bool big_payload(int pos) { return (pos >= 384 && pos <= 389) || (pos >= 392 && pos <= 397); }

std::vector<Link> linear_conductors() {
  // Positions 1 .. 225: interface, baseplate, walls and their mounts.
  LinkSet r1;
  for (int p = 3; p <= 34; ++p) r1.add(1, p, 2.0);
  grid(r1, 3, 4, 8, 3.0);
  for (int w = 0; w < 3; ++w) {
    const int s = 35 + 17 * w;
    for (int i = 0; i < 16; ++i) r1.add(s + i, s + i + 1, 0.5);
  }
  r1.add(3, 35, 1.0);
  r1.add(10, 52, 1.0);
  r1.add(27, 69, 1.0);
  for (int u = 0; u < 56; ++u) r1.add(3 + u % 32, 200 + u, 0.8);
  for (int i = 0; i < 10; ++i) r1.add(69 + i, 86 + 3 * i, 0.3);
  for (int i = 0; i < 4; ++i) r1.add(std::array{12, 13, 20, 21}[static_cast<std::size_t>(i)], 278 + i, 1.5);
  for (int i = 0; i < 4; ++i) r1.add(std::array{4, 8, 30, 34}[static_cast<std::size_t>(i)], std::array{170, 175, 194, 199}[static_cast<std::size_t>(i)], 1.0);
  for (int i = 0; i < 8; ++i) {
    r1.add(43 + i, 310 + i, 0.2);
    r1.add(60 + i, 356 + i, 0.2);
  }

  // Positions 372 .. 656: shelf, units and harness.
  LinkSet r2;
  grid(r2, 170, 5, 6, 1.0);
  for (int u = 0; u < 56; ++u) r2.add(170 + u % 30, 200 + u, 0.5);
  for (int u = 0; u < 55; ++u) r2.add(200 + u, 201 + u, 0.1);
  for (int h = 0; h < 21; ++h) r2.add(256 + h, 257 + h, 0.2);
  for (int h = 0; h < 22; ++h) r2.add(200 + 2 * h, 256 + h, 0.05);
  r2.add(277, 278, 0.05);
  for (int f = 0; f < 8; ++f) r2.add(200 + 7 * f, 294 + f, 0.3);
  r2.fill(285, 200, 255, 0.05);

  // Positions 689 .. 700: cylinder flange and its joints.
  LinkSet r3;
  r3.add(293, 294, 0.5);
  for (int f = 0; f < 7; ++f) r3.add(294 + f, 295 + f, 0.5);
  r3.add(294, 301, 0.5);
  r3.add(301, 302, 0.5);
  r3.add(296, 303, 0.5);
  r3.add(298, 304, 0.5);

  // Positions 713 .. 869: top panel and payload.
  LinkSet r4;
  r4.add(309, 310, 0.5);
  grid(r4, 310, 6, 9, 2.0);
  for (int p = 0; p < 34; ++p) {
    const int unit = 364 + p;
    r4.add(310 + (p * 8) % 54, unit, big_payload(unit) ? 5.0 : 1.0);
    if (big_payload(unit)) r4.add(310 + (p * 8 + 4) % 54, unit, 5.0);
  }
  r4.fill(157, 364, 397, 0.2);

  const auto runs = panel_links();
  std::vector<Link> all;
  for (const auto& part : {r1.sorted(225), runs[0], r2.sorted(285), runs[1], r3.sorted(12), runs[2], r4.sorted(157)})
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<Link> radiative_conductors() {
  LinkSet set;
  for (int p = 86; p <= 127; ++p) set.add(2, p, 0.05 * 0.80);
  for (int p = 310; p <= 363; ++p) set.add(2, p, 0.06 * 0.85);
  for (int p = 35; p <= 85; ++p) set.add(2, p, 0.002);
  for (int p = 3; p <= 34; ++p) set.add(2, p, 0.001);
  // Exchange inside the equipment bay: every surface with its neighbours in
  // the cavity, less the farther apart they lie.
  std::vector<int> cavity;
  for (int p = 3; p <= 34; ++p) cavity.push_back(p);
  for (int p = 128; p <= 255; ++p) cavity.push_back(p);
  for (int p = 286; p <= 293; ++p) cavity.push_back(p);
  constexpr std::size_t kTotal = 4040;
  std::size_t count = 179;
  for (std::size_t d = 1; count < kTotal; ++d)
    for (std::size_t i = 0; i + d < cavity.size() && count < kTotal; ++i, ++count)
      set.add(cavity[i], cavity[i + d], 0.004 / (1.0 + 0.2 * static_cast<double>(d)));
  return set.sorted(kTotal);
}

std::size_t index_of(std::span<const std::string_view> names, std::string_view name) {
  const auto it = std::find(names.begin(), names.end(), name);
  if (it == names.end()) throw std::logic_error("sample model: unknown control constant");
  return static_cast<std::size_t>(it - names.begin());
}

void set_control_constants(mdbw::Model& m) {
  const std::pair<std::string_view, double> reals[] = {
      {"CSGMIN", 0.0},       {"DAMPT", 1.0},      {"DTIMEI", 8.0},     {"DTIMEU", 0.0},     {"DTMAX", 60.0},
      {"DTMIN", 1.0e-3},     {"DTPMAX", 5.0},     {"ENBALA", 1.0e10},  {"ENBALR", 1.0e10},  {"INBALA", 1.0e10},
      {"INBALR", 1.0e10},    {"OUTINT", 545.3057861328125},             {"RELXCA", 0.011},   {"RELXCC", 0.0},
      {"STEFAN", 5.670374419e-8},                 {"TIMEM", 0.0},      {"TIMEN", 0.0},      {"TIMEND", kPeriod},
      {"TIMEO", 0.0},        {"TABS", 273.15},    {"PABS", 0.0},       {"DAMPM", 1.0},      {"ARITH", 0.0},
      {"DTROCA", 1.0e10},    {"DTROCC", 0.0},     {"ENBNDM", 0.0},     {"INBNDM", 0.0},
  };
  const std::pair<std::string_view, std::int32_t> ints[] = {
      {"LOOPCT", 0}, {"MODEL", 1},   {"NCSGMN", 0}, {"NLOOP", 200}, {"LENGTH", 60}, {"WIDTH", 132},
      {"MSHORT", 0}, {"TRACE", 0},   {"MLEVEL", 1}, {"METHOD", 0},  {"PRGFBK", 10}, {"STEPCT", 0},
  };
  for (const auto& [name, value] : reals) m.glor[index_of(glor_names(), name)] = value;
  for (const auto& [name, value] : ints) m.gloi[index_of(gloi_names(), name)] = value;
}

std::string node_label(int pos) {
  const Part& p = part_of(pos);
  if (p.count == 1) return std::string(p.label);
  return std::string(p.label) + " " + std::to_string(pos - p.first + 1);
}

}  // namespace

std::vector<double> array1_points() {
  return {-150.0, 140.0, -100.0, 151.0, -50.0, 160.0, 0.0, 166.0, 50.0, 170.0, 100.0, 173.0, 150.0, 176.0};
}

std::vector<double> array2_points() {
  return {-150.0, 0.55, -100.0, 0.62, -50.0, 0.70, 0.0, 0.78, 50.0, 0.86, 100.0, 0.93, 150.0, 1.00};
}

mdbw::Model model() {
  mdbw::Model m;
  m.name = "ORVIK_TESTBED_01";
  m.dystor = 1010467;
  m.pcs_slack = 20;
  m.fpcs_slack = 22;  // an empty fluid connection list, as the preprocessor sizes it
  mdbw::Submodel s;
  s.name = "ORVIK_TESTBED_01";
  s.level = 0;
  for (int pos = 1; pos <= kNodes; ++pos) {
    const Part& p = part_of(pos);
    mdbw::ThermalNode n;
    n.number = number_of(pos);
    n.label = node_label(pos);
    n.T = p.temperature;
    n.C = p.capacitance;
    n.A = p.area;
    n.ALP = p.absorptivity;
    n.EPS = p.emissivity;
    n.status = p.status;
    s.nodes.push_back(n);
  }
  for (const Link& l : linear_conductors()) s.gl.push_back({number_of(l.first), number_of(l.second), l.value, 'A'});
  for (const Link& l : radiative_conductors())
    s.gr.push_back({number_of(l.first), number_of(l.second), l.value, 'A'});
  s.real_constants.push_back({"ORBIT_PERIOD", kPeriod});
  // Both ARRAYs are (temperature, value) curves of 7 points whose values the
  // ACD file supplies: the entries carry the form and the dimensions, the
  // loader of the ACD data sets their value count and start.
  for (const char* name : {"K_ALUMINIUM", "K_CORE_THROUGH"}) {
    s.arrays.names[0].push_back(name);
    s.arrays.starts[0].push_back(static_cast<std::int32_t>(s.arrays.info.size()) + 1);
    s.arrays.info.insert(s.arrays.info.end(), {2, 14, 1, 2, 2, 7, 0, 0, 0, 0, 0});
  }
  m.submodels.push_back(std::move(s));
  set_control_constants(m);
  return m;
}

acd::ModelGroup case_data() {
  acd::ModelGroup g;
  g.analysisCaseType = 2;
  g.period = kPeriod;
  constexpr int kSteps = 24;
  for (int r = 0; r <= kSteps; ++r) g.times.push_back(kPeriod * r / kSteps);

  // Sun angle over the orbit; the spacecraft is in the earth's shadow for
  // about a third of it.
  const auto sun = [](double t) {
    const double phi = 2.0 * std::numbers::pi * t / kPeriod;
    const bool eclipse = phi > 0.65 * std::numbers::pi && phi < 1.35 * std::numbers::pi;
    return std::pair{phi, eclipse};
  };
  constexpr double kSolar = 1361.0, kAlbedo = 0.3, kEarthIr = 237.0;

  const auto add_nodes = [](acd::TimeFluxes& f, int from, int to) {
    for (int p = from; p <= to; ++p) f.nodes.push_back(number_of(p));
  };
  add_nodes(g.solar, 86, 127);
  add_nodes(g.solar, 310, 363);
  add_nodes(g.solar, 35, 85);
  add_nodes(g.planet, 86, 127);
  add_nodes(g.planet, 35, 85);
  add_nodes(g.albedo, 86, 127);

  for (const double t : g.times) {
    const auto [phi, eclipse] = sun(t);
    const double lit = eclipse ? 0.0 : 1.0;
    std::vector<double> solar, planet, albedo;
    for (int p = 86; p <= 127; ++p) solar.push_back(lit * kSolar * 0.05 * 0.15 * std::max(0.0, std::sin(phi)));
    for (int p = 310; p <= 363; ++p) solar.push_back(lit * kSolar * 0.06 * 0.10 * std::max(0.0, std::cos(phi)));
    for (int p = 35; p <= 85; ++p) {
      const double face = 2.0 * std::numbers::pi * ((p - 35) / 17) / 3.0;
      solar.push_back(lit * kSolar * 0.10 * 0.01 * std::max(0.0, std::sin(phi + face)));
    }
    for (int p = 86; p <= 127; ++p) planet.push_back(kEarthIr * 0.25 * 0.05 * 0.80);
    for (int p = 35; p <= 85; ++p) planet.push_back(kEarthIr * 0.30 * 0.10 * 0.02);
    for (int p = 86; p <= 127; ++p)
      albedo.push_back(lit * kAlbedo * kSolar * 0.20 * 0.05 * 0.15 * std::max(0.0, std::cos(phi)));
    g.solar.values.push_back(std::move(solar));
    g.planet.values.push_back(std::move(planet));
    g.albedo.values.push_back(std::move(albedo));
  }

  acd::ArrayGroup arrays;
  for (auto [name, values] : {std::pair{"K_ALUMINIUM", array1_points()}, std::pair{"K_CORE_THROUGH", array2_points()}}) {
    acd::ArrayRecord record;
    record.name = name;
    record.arrayType = 2;
    record.values = std::move(values);
    arrays.records.push_back(std::move(record));
  }
  g.arrays = std::move(arrays);
  return g;
}

std::vector<std::filesystem::path> write_sample_inputs(const std::filesystem::path& dir) {
  const std::filesystem::path mdb = dir / "ORVIK_TE.MDB";
  const std::filesystem::path acd = dir / "ORVIK_TESTBED_01.acd";
  if (!mdbw::build_mdb(model()).save(mdb.string())) throw std::runtime_error("cannot write " + mdb.string());
  acd::write_acd_file(acd, case_data());
  return {mdb, acd};
}

}  // namespace kalvir::sample
