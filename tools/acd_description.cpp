// Reader of ACD file descriptions (see acd_description.h).
#include "tools/acd_description.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kalvir::acd {
namespace {

class Reader {
 public:
  explicit Reader(std::istream& in) : in_(in) {}

  // Reads statements into group until "end" (a submodel) or the end of the
  // input (the main model).
  void group(ModelGroup& g, bool main) {
    GroupLines lines;
    while (next()) {
      const std::string key = word();
      if (key == "end") {
        if (main) fail("\"end\" without \"submodel\"");
        finish(g, lines);
        return;
      }
      statement(key, g, lines);
    }
    if (!main) fail("\"submodel " + g.name + "\" without \"end\"");
    finish(g, lines);
  }

 private:
  // What a group's statements leave for the checks at its end, with the
  // lines that gave them.
  struct ValueLine {
    int line;
    std::string what;
    std::size_t count;  // values per time point given
  };
  struct GroupLines {
    int case_line = 0;               // 0: no "case" statement
    int times_line = 0;
    int period_line = 0;
    std::vector<ValueLine> fluxes;   // albedo / planet / remainder / solar lines
    std::vector<int> conductor_lines;
    std::vector<std::vector<double>> conductors;  // the values of each conductor line
  };

  [[noreturn]] void fail(const std::string& what) const { fail_at(line_number_, what); }
  [[noreturn]] static void fail_at(int line, const std::string& what) {
    throw DescriptionError("line " + std::to_string(line) + ": " + what);
  }

  // Moves to the next line that has a statement.
  bool next() {
    std::string line;
    while (std::getline(in_, line)) {
      ++line_number_;
      if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
      words_.clear();
      std::istringstream split(line);
      for (std::string w; split >> w;) words_.push_back(w);
      at_ = 0;
      if (!words_.empty()) return true;
    }
    return false;
  }

  bool more() const { return at_ < words_.size(); }

  std::string word() {
    if (!more()) fail("a word is missing");
    return words_[at_++];
  }

  template <typename T>
  T number() {
    const std::string w = word();
    T v{};
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    if (ec != std::errc() || end != w.data() + w.size()) fail("\"" + w + "\" is not a number");
    // The program would take a NaN or an infinity over as a flux, a time or
    // a conductance and carry it into every temperature.
    if constexpr (std::is_floating_point_v<T>) {
      if (!std::isfinite(v)) fail("\"" + w + "\" is not a finite number");
    }
    return v;
  }

  std::vector<double> rest() {
    std::vector<double> v;
    while (more()) v.push_back(number<double>());
    return v;
  }

  void done() const {
    if (more()) fail("\"" + words_[at_] + "\" is one word too many");
  }

  // A number as the description would write it.
  static std::string number_text(double v) {
    std::ostringstream o;
    o << v;
    return o.str();
  }

  std::string path() {
    std::string p = word();
    return p == "-" ? std::string() : p;
  }

  void statement(const std::string& key, ModelGroup& g, GroupLines& lines) {
    if (key == "case") {
      // One group has one case type: a second line would silently replace it.
      if (lines.case_line != 0)
        fail("a second \"case\" line (the first is on line " + std::to_string(lines.case_line) + ")");
      g.analysisCaseType = number<std::int32_t>();
      // Types outside 0 to 4 are not read by the program: its data would be lost.
      if (g.analysisCaseType < 0 || g.analysisCaseType > 4)
        fail("case type " + std::to_string(g.analysisCaseType) + " is not one of 0 to 4");
      lines.case_line = line_number_;
    } else if (key == "times") {
      g.times = rest();
      lines.times_line = line_number_;
      if (g.times.empty()) fail("\"times\" needs at least one time");
      for (std::size_t k = 1; k < g.times.size(); ++k)
        if (!(g.times[k] > g.times[k - 1]))
          fail("times must increase: " + words_[k + 1] + " follows " + words_[k]);
    } else if (key == "period") {
      g.period = number<double>();
      lines.period_line = line_number_;
    } else if (key == "arc") {
      OrbitalArc a;
      a.start = number<double>();
      a.startFirst = number<double>();
      a.endFirst = number<double>();
      a.endAll = number<double>();
      g.arcs.push_back(a);
    } else if (key == "wavebands") {
      g.wavebands = rest();
    } else if (key == "static") {
      g.nodeList.push_back(number<std::int32_t>());
      for (auto* list : {&g.staticAlbedo, &g.staticPlanet, &g.staticRemainder, &g.staticSolar})
        list->push_back(number<double>());
    } else if (key == "albedo" || key == "planet" || key == "remainder" || key == "solar") {
      TimeFluxes& f = key == "albedo" ? g.albedo : key == "planet" ? g.planet : key == "remainder" ? g.remainder : g.solar;
      f.nodes.push_back(number<std::int32_t>());
      const std::vector<double> values = rest();
      if (f.nodes.size() == 1) f.values.resize(values.size());
      if (values.size() != f.values.size()) fail("every " + key + " line needs the same number of values");
      for (std::size_t r = 0; r < values.size(); ++r) f.values[r].push_back(values[r]);
      lines.fluxes.push_back({line_number_, key, values.size()});
    } else if (key == "conductor") {
      NodePair p;
      p.pathI = path();
      p.nodeI = number<std::int32_t>();
      p.pathJ = path();
      p.nodeJ = number<std::int32_t>();
      g.pairs.push_back(p);
      lines.conductors.push_back(rest());
      lines.conductor_lines.push_back(line_number_);
    } else if (key == "curve") {
      ArrayRecord r;
      r.name = word();
      r.values = rest();
      array_group(g).records.push_back(std::move(r));
    } else if (key == "table") {
      const std::string name = word();
      const auto d1 = number<std::int32_t>(), d2 = number<std::int32_t>();
      if (d1 < 1 || d2 < 1 || d1 > 100000 || d2 > 100000) fail("table dimensions must lie between 1 and 100000");
      std::vector<double> x1, x2;
      for (std::int32_t i = 0; i < d1; ++i) x1.push_back(number<double>());
      for (std::int32_t i = 0; i < d2; ++i) x2.push_back(number<double>());
      std::vector<std::vector<double>> rows(static_cast<std::size_t>(d1));
      for (auto& row : rows)
        for (std::int32_t k = 0; k < d2; ++k) row.push_back(number<double>());
      array_group(g).records.push_back(make_table_2d(name, x1, x2, rows));
    } else if (key == "submodel") {
      ModelGroup child;
      child.name = word();
      done();
      group(child, false);
      g.submodels.push_back(std::move(child));
      return;
    } else {
      fail("unknown statement \"" + key + "\"");
    }
    done();
  }

  static ArrayGroup& array_group(ModelGroup& g) {
    if (!g.arrays) g.arrays.emplace();
    return *g.arrays;
  }

  // The checks that need the whole group, each naming its line; then the
  // conductor values by time point (and band, for type 4).
  void finish(ModelGroup& g, const GroupLines& lines) {
    const auto& conductors = lines.conductors;
    const bool timed = !lines.fluxes.empty() || !conductors.empty();
    // Without a case type the program reads no time-dependent data of the
    // group: the fluxes and conductors would be dropped without a word.
    // Types 0 and 1 have none either.
    if (timed && lines.case_line == 0)
      fail_at(lines.fluxes.empty() ? lines.conductor_lines.front() : lines.fluxes.front().line,
              "time-dependent data of group \"" + g.name + "\" needs a \"case\" line (type 2 to 4)");
    if (timed && g.analysisCaseType < 2)
      fail_at(lines.case_line, "case type " + std::to_string(g.analysisCaseType) +
                                   " has no time-dependent data, but group \"" + g.name + "\" gives some");
    if (g.analysisCaseType == 2 && !(g.period > 0.0))
      fail_at(lines.case_line, "case type 2 needs a \"period\" greater than 0");
    const std::size_t n = g.times.size();
    // The time axis covers one period from its first time: a shorter period
    // would repeat the data before their last times are reached.
    if (g.analysisCaseType == 2 && n > 0 && g.period < g.times.back() - g.times.front())
      fail_at(lines.period_line, "period " + number_text(g.period) + " is shorter than the time axis on line " +
                                     std::to_string(lines.times_line) + " (" + number_text(g.times.front()) + " to " +
                                     number_text(g.times.back()) + ")");
    for (const ValueLine& f : lines.fluxes) {
      if (n == 0) fail_at(f.line, f.what + " values need \"times\"");
      if (f.count != n)
        fail_at(f.line, f.what + " gives " + std::to_string(f.count) + " values, \"times\" on line " +
                            std::to_string(lines.times_line) + " gives " + std::to_string(n) + " times");
    }
    // Without an arc the program cannot map the solution time onto the axis.
    if (g.analysisCaseType == 3 && g.arcs.empty())
      fail_at(lines.case_line, "case type 3 needs at least one \"arc\"");
    if (conductors.empty()) return;
    if (n == 0) fail_at(lines.conductor_lines.front(), "conductors of group \"" + g.name + "\" need \"times\" first");
    const bool banded = g.analysisCaseType == 4;
    const std::size_t bands = banded ? (g.wavebands.empty() ? 0 : g.wavebands.size() - 1) : 1;
    for (std::size_t k = 0; k < conductors.size(); ++k)
      if (conductors[k].size() != n * bands)
        fail_at(lines.conductor_lines[k], "a conductor of group \"" + g.name + "\" needs " +
                                              std::to_string(n * bands) + " values, not " +
                                              std::to_string(conductors[k].size()));
    if (banded) {
      g.bandValues.assign(n, std::vector<std::vector<double>>(conductors.size(), std::vector<double>(bands)));
      for (std::size_t k = 0; k < conductors.size(); ++k)
        for (std::size_t r = 0; r < n; ++r)
          for (std::size_t b = 0; b < bands; ++b) g.bandValues[r][k][b] = conductors[k][r * bands + b];
    } else {
      g.conductorValues.assign(n, std::vector<double>(conductors.size()));
      for (std::size_t k = 0; k < conductors.size(); ++k)
        for (std::size_t r = 0; r < n; ++r) g.conductorValues[r][k] = conductors[k][r];
    }
  }

  std::istream& in_;
  std::vector<std::string> words_;
  std::size_t at_ = 0;
  int line_number_ = 0;
};

}  // namespace

ModelGroup read_description(std::istream& in) {
  ModelGroup root;
  Reader(in).group(root, true);
  return root;
}

}  // namespace kalvir::acd
