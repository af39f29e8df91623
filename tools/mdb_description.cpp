// Reader of MDB fixture descriptions and of the sizes file (see
// mdb_description.h).
#include "tools/mdb_description.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::mdbw {
namespace {

constexpr std::size_t kNameWidth = 24, kConstNameWidth = 18, kFluidCodeWidth = 4, kCharElement = 133;

[[noreturn]] void fail_at(int line, const std::string& what) {
  throw DescriptionError("line " + std::to_string(line) + ": " + what);
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

template <typename T>
std::optional<T> parse_number(std::string_view w) {
  // "U" stands for the undefined marker of either kind.
  if (w == "U") {
    if constexpr (std::is_floating_point_v<T>)
      return static_cast<T>(undefined_real());
    else
      return static_cast<T>(kUndefinedInt);
  }
  T v{};
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (ec != std::errc() || end != w.data() + w.size()) return std::nullopt;
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(v)) return std::nullopt;
  }
  return v;
}

// One statement: its positional words and its NAME=VALUE options.
class Line {
 public:
  Line(int number, std::vector<std::string> words, std::map<std::string, std::string> options)
      : number_(number), words_(std::move(words)), options_(std::move(options)) {}

  int number() const { return number_; }
  [[noreturn]] void fail(const std::string& what) const { fail_at(number_, what); }

  bool more() const { return at_ < words_.size(); }
  std::string word(std::string_view what) {
    if (!more()) fail(std::string(what) + " is missing");
    return words_[at_++];
  }
  template <typename T>
  T number(std::string_view what) {
    const std::string w = word(what);
    const auto v = parse_number<T>(w);
    if (!v)
      fail(quoted(w) + " is not " + (std::is_floating_point_v<T> ? "a finite number" : "a whole number") + " (" +
           std::string(what) + ")");
    return *v;
  }
  template <typename T>
  std::vector<T> rest(std::string_view what) {
    std::vector<T> v;
    while (more()) v.push_back(number<T>(what));
    return v;
  }
  std::string text(std::string_view what, std::size_t width) {
    std::string w = word(what);
    check_width(w, what, width);
    return w;
  }

  // Options: each may be read once; done() refuses any left over.
  template <typename T>
  std::optional<T> option(const std::string& key) {
    const auto it = options_.find(key);
    if (it == options_.end()) return std::nullopt;
    const std::string w = it->second;
    options_.erase(it);
    const auto v = parse_number<T>(w);
    if (!v)
      fail(quoted(w) + " is not " + (std::is_floating_point_v<T> ? "a finite number" : "a whole number") + " (" + key +
           ")");
    return v;
  }
  std::optional<std::string> text_option(const std::string& key, std::size_t width) {
    const auto it = options_.find(key);
    if (it == options_.end()) return std::nullopt;
    std::string w = it->second;
    options_.erase(it);
    check_width(w, key, width);
    return w;
  }
  std::optional<char> letter_option(const std::string& key) {
    const auto w = text_option(key, 1);
    if (!w) return std::nullopt;
    if (w->empty()) fail(key + " needs one letter");
    return w->front();
  }

  void done() const {
    if (more()) fail(quoted(words_[at_]) + " is one word too many");
    if (!options_.empty()) fail("unknown option " + quoted(options_.begin()->first));
  }

 private:
  void check_width(const std::string& w, std::string_view what, std::size_t width) const {
    if (w.size() > width)
      fail(std::string(what) + " " + quoted(w) + " is longer than " + std::to_string(width) + " characters");
  }

  int number_;
  std::vector<std::string> words_;
  std::map<std::string, std::string> options_;
  std::size_t at_ = 0;
};

// Splits a line into words and options; false when it holds no statement.
std::optional<Line> split(const std::string& text, int number) {
  std::vector<std::string> words;
  std::map<std::string, std::string> options;
  std::string word;
  bool in_word = false, in_quote = false;
  std::size_t equals = std::string::npos;  // an unquoted '=' in the word
  const auto finish = [&] {
    if (!in_word) return;
    if (equals == std::string::npos) {
      words.push_back(word);
    } else {
      const std::string key = word.substr(0, equals);
      if (key.empty()) fail_at(number, "an option needs a name before \"=\"");
      if (!options.emplace(key, word.substr(equals + 1)).second)
        fail_at(number, "option " + quoted(key) + " given twice");
    }
    word.clear();
    in_word = false;
    equals = std::string::npos;
  };
  for (const char c : text) {
    if (in_quote) {
      if (c == '"')
        in_quote = false;
      else
        word += c;
    } else if (c == '"') {
      in_quote = in_word = true;
    } else if (c == '#') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      finish();
    } else {
      if (c == '=' && equals == std::string::npos) equals = word.size();
      word += c;
      in_word = true;
    }
  }
  if (in_quote) fail_at(number, "a quote is not closed");
  finish();
  if (words.empty() && options.empty()) return std::nullopt;
  if (words.empty()) fail_at(number, "a statement starts with a word, not an option");
  return Line(number, std::move(words), std::move(options));
}

// A node end as written: a user node number, of a named submodel or of the
// submodel that declares it.
struct EndSpec {
  std::string submodel;  // empty: the declaring submodel
  std::int32_t node = 0;
};

struct PendingConductor {
  int line;
  std::size_t sub;
  int kind;  // 0 GL, 1 GR, 2 GF, 3 GV
  EndSpec e1, e2;
  double value;
  char act;
};
struct PendingLink {
  int line;
  std::size_t sub;
  EndSpec e1, e2;
  double flow, gp;
  char status;
};
struct PendingTie {
  int line;
  std::size_t sub;
  EndSpec source;
  std::vector<EndSpec> targets;
};

constexpr std::string_view kKinds[] = {"GL", "GR", "GF", "GV"};

class Reader {
 public:
  Model read(std::istream& in) {
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
      ++number;
      if (auto line = split(text, number)) statement(*line);
    }
    if (m_.submodels.empty()) throw DescriptionError("the description has no \"model\" statement");
    finish();
    return std::move(m_);
  }

 private:
  Submodel& current(Line& l) {
    if (m_.submodels.empty()) l.fail("the first statement must be \"model\"");
    return m_.submodels.back();
  }

  void statement(Line& l) {
    const std::string key = l.word("the statement");
    if (key == "model") {
      model(l);
    } else if (key == "submodel") {
      submodel(l);
    } else if (key == "node") {
      thermal_node(l);
    } else if (key == "fluidnode") {
      fluid_node(l);
    } else if (const auto* k = std::find(std::begin(kKinds), std::end(kKinds), key); k != std::end(kKinds)) {
      conductor(l, static_cast<int>(k - std::begin(kKinds)));
    } else if (key == "triangle") {
      Submodel& s = current(l);
      if (!s.triangle_values.empty()) l.fail("the triangle is given twice");
      s.triangle_values = l.rest<double>("a triangle value");
      triangle_lines_[m_.submodels.size() - 1] = l.number();
    } else if (key == "link") {
      link(l);
    } else if (key == "tie") {
      current(l);
      PendingTie t{l.number(), m_.submodels.size() - 1, end(l, "the tie source"), {}};
      while (l.more()) t.targets.push_back(end(l, "a tie target"));
      if (t.targets.empty()) l.fail("a tie needs at least one target");
      ties_.push_back(std::move(t));
    } else if (key == "alias") {
      Submodel& s = current(l);
      Alias a;
      a.name = l.text("the alias name", kConstNameWidth);
      a.node = l.number<std::int32_t>("the alias node");
      ascending_name(l, s.aliases, a.name, "alias");
      s.aliases.push_back(a);
      alias_lines_.push_back({m_.submodels.size() - 1, l.number(), a.node});
    } else if (key == "real") {
      constant(l, current(l).real_constants, [&] { return l.number<double>("the value"); });
    } else if (key == "integer") {
      constant(l, current(l).int_constants, [&] { return l.number<std::int32_t>("the value"); });
    } else if (key == "character") {
      constant(l, current(l).char_constants, [&] { return l.word("the value"); });
    } else if (key == "array") {
      array(l);
    } else if (key == "attribute") {
      attribute(l);
    } else if (key == "control") {
      control(l);
    } else {
      l.fail("unknown statement " + quoted(key));
    }
    l.done();
  }

  void model(Line& l) {
    if (!m_.submodels.empty()) l.fail("\"model\" must come first, and once");
    m_.name = name(l, "the model name");
    Submodel s;
    s.name = m_.name;
    s.acd_name = l.text_option("acd", kNameWidth).value_or("");
    if (const auto d = l.option<std::int32_t>("dystor")) {
      if (*d < 1) l.fail("dystor must be at least 1");
      m_.dystor = *d;
    }
    open(l, std::move(s));
  }

  void submodel(Line& l) {
    const std::int32_t previous = current(l).level;
    Submodel s;
    s.name = name(l, "the submodel name");
    s.acd_name = l.text_option("acd", kNameWidth).value_or("");
    s.level = l.option<std::int32_t>("level").value_or(1);
    if (s.level < 1 || s.level > previous + 1)
      l.fail("level " + std::to_string(s.level) + " cannot follow level " + std::to_string(previous) +
             " (the submodels come in the pre-order of the tree, below the main model at level 0)");
    open(l, std::move(s));
  }

  std::string name(Line& l, std::string_view what) {
    std::string n = l.text(what, kNameWidth);
    if (n.empty() || n.find_first_of(" .") != std::string::npos)
      l.fail(std::string(what) + " " + quoted(n) + " must be one word without \".\"");
    return n;
  }

  void open(Line& l, Submodel s) {
    if (!submodel_index_.emplace(s.name, m_.submodels.size()).second)
      l.fail("submodel " + quoted(s.name) + " is named twice");
    m_.submodels.push_back(std::move(s));
    node_kinds_.emplace_back();
  }

  template <class Node>
  void new_number(Line& l, const std::vector<Node>& list, std::int32_t n, std::string_view what) {
    if (n < 1) l.fail("node numbers are positive");
    if (kind_of(m_.submodels.size() - 1, n) != Kind::none)
      l.fail("node " + std::to_string(n) + " is already a node of this submodel");
    if (!list.empty() && n <= list.back().number)
      l.fail(std::string(what) + " " + std::to_string(n) + " does not follow " + std::to_string(list.back().number) +
             " (numbers ascend within a submodel)");
    node_kinds_.back().emplace(n, std::is_same_v<Node, ThermalNode> ? Kind::thermal : Kind::fluid);
  }

  void thermal_node(Line& l) {
    Submodel& s = current(l);
    ThermalNode t;
    t.number = l.number<std::int32_t>("the node number");
    new_number(l, s.nodes, t.number, "thermal node");
    static constexpr std::pair<const char*, double ThermalNode::*> reals[] = {
        {"T", &ThermalNode::T},     {"C", &ThermalNode::C},     {"QA", &ThermalNode::QA},   {"QE", &ThermalNode::QE},
        {"QI", &ThermalNode::QI},   {"QS", &ThermalNode::QS},   {"QR", &ThermalNode::QR},   {"A", &ThermalNode::A},
        {"ALP", &ThermalNode::ALP}, {"EPS", &ThermalNode::EPS}, {"QAI", &ThermalNode::QAI}, {"QEI", &ThermalNode::QEI},
        {"QSI", &ThermalNode::QSI}, {"FX", &ThermalNode::FX},   {"FY", &ThermalNode::FY},   {"FZ", &ThermalNode::FZ}};
    for (const auto& [key, field] : reals) t.*field = l.option<double>(key).value_or(0.0);
    t.status = l.letter_option("status").value_or('D');
    t.label = l.text_option("label", kNameWidth).value_or("");
    s.nodes.push_back(std::move(t));
  }

  void fluid_node(Line& l) {
    Submodel& s = current(l);
    FluidNode f;
    f.number = l.number<std::int32_t>("the node number");
    new_number(l, s.fluid, f.number, "fluid node");
    static constexpr std::pair<const char*, double FluidNode::*> reals[] = {
        {"A", &FluidNode::A},     {"FD", &FluidNode::FD},   {"FL", &FluidNode::FL}, {"P", &FluidNode::P},
        {"FE", &FluidNode::FE},   {"T", &FluidNode::T},     {"FF", &FluidNode::FF}, {"FQ", &FluidNode::FQ},
        {"FM", &FluidNode::FM},   {"FH", &FluidNode::FH},   {"FR", &FluidNode::FR}, {"FX", &FluidNode::FX},
        {"FY", &FluidNode::FY},   {"FZ", &FluidNode::FZ},   {"VQ", &FluidNode::VQ}, {"FLA", &FluidNode::FLA},
        {"VOL", &FluidNode::VOL}, {"PHI", &FluidNode::PHI}, {"FW", &FluidNode::FW}, {"CMP", &FluidNode::CMP},
        {"VDT", &FluidNode::VDT}};
    for (const auto& [key, field] : reals) f.*field = l.option<double>(key).value_or(0.0);
    f.fluid = l.text_option("fluid", kNameWidth).value_or(f.fluid);
    if (FTYPEI(f.fluid) == 0) {
      std::string known;
      for (const auto n : fluids::kFluidNames) known += (known.empty() ? "" : ", ") + std::string(n);
      l.fail("unknown fluid " + quoted(f.fluid) + " (" + known + ")");
    }
    f.status = l.letter_option("status").value_or(f.status);
    if (std::string_view("FHIJKOQRSUV").find(f.status) == std::string_view::npos)
      l.fail("fluid node status " + quoted(std::string(1, f.status)) + " is none of F, H, I, J, K, O, Q, R, S, U, V");
    f.label = l.text_option("label", kNameWidth).value_or("");
    f.FRG = l.text_option("FRG", kFluidCodeWidth).value_or(f.FRG);
    f.FST = l.text_option("FST", kFluidCodeWidth).value_or(f.FST);
    s.fluid.push_back(std::move(f));
  }

  EndSpec end(Line& l, std::string_view what) {
    const std::string w = l.word(what);
    EndSpec e;
    std::string_view number = w;
    if (const auto dot = w.rfind('.'); dot != std::string::npos) {
      e.submodel = w.substr(0, dot);
      number = std::string_view(w).substr(dot + 1);
      if (e.submodel.empty()) l.fail(std::string(what) + " " + quoted(w) + " names no submodel before \".\"");
    }
    const auto n = parse_number<std::int32_t>(number);
    if (!n) l.fail(std::string(what) + " " + quoted(w) + " is not a node number");
    e.node = *n;
    return e;
  }

  void conductor(Line& l, int kind) {
    current(l);
    PendingConductor c{l.number(),
                       m_.submodels.size() - 1,
                       kind,
                       end(l, "the first node"),
                       end(l, "the second node"),
                       l.number<double>("the conductor value"),
                       'A'};
    c.act = l.letter_option("act").value_or('A');
    conductors_.push_back(std::move(c));
  }

  void link(Line& l) {
    current(l);
    PendingLink k{l.number(),
                  m_.submodels.size() - 1,
                  end(l, "the first node"),
                  end(l, "the second node"),
                  l.number<double>("the flow rate"),
                  0.0,
                  'A'};
    k.gp = l.option<double>("GP").value_or(0.0);
    k.status = l.letter_option("status").value_or('A');
    links_.push_back(std::move(k));
  }

  template <class Item>
  void ascending_name(Line& l, const std::vector<Item>& items, const std::string& name, std::string_view what) {
    if (!items.empty() && padded(items.back().name, kConstNameWidth) >= padded(name, kConstNameWidth))
      l.fail(std::string(what) + " " + quoted(name) + " does not follow " + quoted(items.back().name) +
             " (names ascend within a submodel)");
  }

  template <class T, class Value>
  void constant(Line& l, std::vector<Named<T>>& list, Value value) {
    Named<T> c;
    c.name = l.text("the constant name", kConstNameWidth);
    if (c.name.empty()) l.fail("the constant name is empty");
    ascending_name(l, list, c.name, "constant");
    c.value = value();
    list.push_back(std::move(c));
  }

  void array(Line& l) {
    Submodel& s = current(l);
    const std::string type = l.word("the ARRAY type (real, integer or character)");
    const std::string name = l.text("the ARRAY name", kConstNameWidth);
    const std::int32_t group = l.option<std::int32_t>("group").value_or(1);
    if (group < 1 || group > 4) l.fail("ARRAY groups are 1 to 4");
    const std::vector<std::int32_t> dims = dimensions(l);
    for (const auto& g : s.arrays.names)
      if (std::find(g.begin(), g.end(), name) != g.end()) l.fail("ARRAY " + quoted(name) + " is named twice");
    const auto check = [&](std::size_t count) {
      if (count == 0) l.fail("an ARRAY needs at least one value");
      std::int64_t product = 1;
      for (const std::int32_t d : dims) product *= d;
      if (!dims.empty() && product != static_cast<std::int64_t>(count))
        l.fail("the dimensions of ARRAY " + quoted(name) + " do not hold its " + std::to_string(count) + " values");
    };
    if (type == "real") {
      const auto v = l.rest<double>("an ARRAY value");
      check(v.size());
      s.arrays.add_real(name, v, group - 1, dims);
    } else if (type == "integer") {
      const auto v = l.rest<std::int32_t>("an ARRAY value");
      check(v.size());
      s.arrays.add_int(name, v, group - 1, dims);
    } else if (type == "character") {
      std::vector<std::string> v;
      while (l.more()) v.push_back(l.text("an ARRAY value", kCharElement));
      check(v.size());
      s.arrays.add_char(name, v, group - 1, dims);
    } else {
      l.fail("the ARRAY type " + quoted(type) + " is not real, integer or character");
    }
  }

  void attribute(Line& l) {
    current(l);
    const std::string type = l.word("the attribute type (real, integer or character)");
    const std::string name = l.text("the attribute name", kConstNameWidth);
    constexpr std::array<std::string_view, 3> kTypes{"real", "integer", "character"};
    const auto at = std::find(kTypes.begin(), kTypes.end(), type);
    if (at == kTypes.end()) l.fail("the attribute type " + quoted(type) + " is not real, integer or character");
    for (const auto& g : m_.attributes)
      if (std::find(g.begin(), g.end(), name) != g.end()) l.fail("attribute " + quoted(name) + " is named twice");
    // The run would refuse it: the built-in entity wins every match.
    if (is_entity_mnemonic(name)) l.fail("attribute " + quoted(name) + " is named like a built-in entity");
    m_.attributes[static_cast<std::size_t>(at - kTypes.begin())].push_back(name);
  }

  // dims=N1xN2[xN3]: one to three dimensions of at least 1.
  static std::vector<std::int32_t> dimensions(Line& l) {
    const auto text = l.text_option("dims", 64);
    std::vector<std::int32_t> dims;
    if (!text) return dims;
    std::size_t at = 0;
    for (;;) {
      const std::size_t x = text->find('x', at);
      const auto d = parse_number<std::int32_t>(text->substr(at, x == std::string::npos ? std::string::npos : x - at));
      if (!d || *d < 1) l.fail("dims " + quoted(*text) + " are not dimensions such as 2x3");
      dims.push_back(*d);
      if (x == std::string::npos) break;
      at = x + 1;
    }
    if (dims.size() > 3) l.fail("an ARRAY has at most three dimensions");
    return dims;
  }

  void control(Line& l) {
    Submodel& s = current(l);
    const std::string name = l.word("the control constant name");
    const auto set = [&](auto& slot, auto value) {
      if (slot) l.fail("control constant " + name + " is set twice");
      slot = value;
    };
    const auto at = [&](std::span<const std::string_view> names) {
      return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    if (const std::size_t k = at(kLocalIntNames); k < kLocalIntNames.size()) {
      set(s.local_ints[k], l.number<std::int32_t>("the value"));
    } else if (const std::size_t k = at(gloi_names()); k < gloi_names().size()) {
      set(m_.gloi[k], l.number<std::int32_t>("the value"));
    } else if (const std::size_t k = at(glor_names()); k < glor_names().size()) {
      set(m_.glor[k], l.number<double>("the value"));
    } else {
      l.fail("unknown control constant " + quoted(name) + " (the file holds the integer and real ones)");
    }
  }

  // Resolution of the node ends, once every submodel is known.
  enum class Kind { none, thermal, fluid };
  Kind kind_of(std::size_t sub, std::int32_t number) const {
    const auto& kinds = node_kinds_[sub];
    const auto it = kinds.find(number);
    return it == kinds.end() ? Kind::none : it->second;
  }

  std::size_t sub_of(int line, std::size_t declaring, const EndSpec& e) const {
    if (e.submodel.empty()) return declaring;
    const auto it = submodel_index_.find(e.submodel);
    if (it == submodel_index_.end()) fail_at(line, "there is no submodel " + quoted(e.submodel));
    return it->second;
  }

  std::string end_text(std::size_t sub, std::int32_t node) const {
    return m_.submodels[sub].name + "." + std::to_string(node);
  }

  // The end's submodel; the node must be of one of the wanted kinds there.
  std::size_t resolve(int line, std::size_t declaring, const EndSpec& e, bool thermal_ok, bool fluid_ok,
                      bool negative_ok) const {
    const std::size_t sub = sub_of(line, declaring, e);
    if (e.node < 0 && !negative_ok) fail_at(line, "node number " + std::to_string(e.node) + " is negative");
    const Kind k =
        e.node == std::numeric_limits<std::int32_t>::min() ? Kind::none : kind_of(sub, e.node < 0 ? -e.node : e.node);
    if (k == Kind::none) fail_at(line, "there is no node " + end_text(sub, e.node));
    if ((k == Kind::thermal && !thermal_ok) || (k == Kind::fluid && !fluid_ok))
      fail_at(line, "node " + end_text(sub, e.node) + " is a " + (k == Kind::thermal ? "thermal" : "fluid") +
                        " node; a " + (thermal_ok ? "thermal" : "fluid") + " node is needed here");
    return sub;
  }

  void finish() {
    std::vector<std::array<std::optional<std::int32_t>, 4>> last_first(m_.submodels.size());
    for (const auto& c : conductors_) {
      const bool gf = c.kind == 2;
      // View factors join thermal nodes only: the triangle is built over them.
      const bool fluid_ok = c.kind != 3;
      const std::size_t s1 = resolve(c.line, c.sub, c.e1, true, fluid_ok, gf);
      const std::size_t s2 = resolve(c.line, c.sub, c.e2, true, fluid_ok, gf);
      Submodel& s = m_.submodels[c.sub];
      const std::string_view kind = kKinds[c.kind];
      if (s1 == c.sub && s2 == c.sub) {
        const std::int32_t a = std::abs(c.e1.node);
        auto& last = last_first[c.sub][static_cast<std::size_t>(c.kind)];
        if (last && a < *last)
          fail_at(c.line, std::string(kind) + " pairs of a submodel come in the order of their first node");
        last = a;
        if (!gf && kind_of(c.sub, c.e1.node) == Kind::thermal && kind_of(c.sub, c.e2.node) == Kind::thermal &&
            c.e1.node >= c.e2.node)
          fail_at(c.line, std::string(kind) + " pairs name the lower node number first");
        Conductor own{c.e1.node, c.e2.node, c.value, c.act};
        (c.kind == 0 ? s.gl : c.kind == 1 ? s.gr : c.kind == 2 ? s.gf : s.gv).push_back(own);
        continue;
      }
      if (c.kind == 3) fail_at(c.line, "GV conductors cannot join two submodels");
      if (c.e1.node < 0 || c.e2.node < 0)
        fail_at(c.line, "node numbers are negative only in a submodel's own GF pairs");
      const auto offset = [&](std::size_t t) {
        return static_cast<std::int32_t>(t) - static_cast<std::int32_t>(c.sub);
      };
      InterConductor x{{offset(s1), c.e1.node}, {offset(s2), c.e2.node}, c.value, c.act};
      (c.kind == 0 ? s.xgl : c.kind == 1 ? s.xgr : s.xgf).push_back(x);
    }
    for (const auto& k : links_) {
      const std::size_t s1 = resolve(k.line, k.sub, k.e1, false, true, false);
      const std::size_t s2 = resolve(k.line, k.sub, k.e2, false, true, false);
      // The load resolves link ends submodel by submodel as it reads them:
      // one that lies in a submodel read before the declaring one would stay
      // open.
      if (s1 < k.sub || s2 < k.sub)
        fail_at(k.line, "a link declared in submodel " + m_.submodels[k.sub].name +
                            " reaches only that submodel and the ones after it; declare it in " +
                            m_.submodels[std::min(s1, s2)].name);
      Submodel& s = m_.submodels[k.sub];
      if (s1 == k.sub && s2 == k.sub) {
        s.links.push_back({k.e1.node, k.e2.node, k.flow, k.gp, k.status});
      } else {
        const auto offset = [&](std::size_t t) {
          return static_cast<std::int32_t>(t) - static_cast<std::int32_t>(k.sub);
        };
        s.xlinks.push_back({{offset(s1), k.e1.node}, {offset(s2), k.e2.node}, k.flow, k.gp, k.status});
      }
    }
    // A node takes part in one tie group, once: a source with more targets
    // lists them all in one statement.
    std::set<std::array<std::int32_t, 2>> tied;
    for (const auto& t : ties_) {
      TieGroup g;
      const auto member = [&](const EndSpec& e) {
        const std::size_t sub = resolve(t.line, t.sub, e, true, false, false);
        const std::array<std::int32_t, 2> node{static_cast<std::int32_t>(sub) + 1, e.node};
        if (!tied.insert(node).second) fail_at(t.line, "node " + end_text(sub, e.node) + " is already tied");
        return node;
      };
      g.source = member(t.source);
      for (const auto& e : t.targets) g.targets.push_back(member(e));
      m_.ties.push_back(std::move(g));
    }
    for (const auto& a : alias_lines_) resolve(a.line, a.sub, EndSpec{"", a.node}, true, true, false);
    for (const auto& [sub, line] : triangle_lines_) {
      const Submodel& s = m_.submodels[sub];
      const std::size_t n = s.nodes.size();
      if (s.gv.empty()) fail_at(line, "a triangle goes with GV conductors, and submodel " + s.name + " has none");
      if (s.triangle_values.size() > n * (n - 1) / 2)
        fail_at(line, "the triangle of " + std::to_string(n) + " thermal nodes holds " +
                          std::to_string(n * (n - 1) / 2) + " values");
    }
  }

  struct AliasLine {
    std::size_t sub;
    int line;
    std::int32_t node;
  };

  Model m_;
  std::map<std::string, std::size_t> submodel_index_;
  // The kind of every node number of each submodel, kept as the nodes are
  // read: each conductor end then costs one lookup, not a scan of the
  // submodel's nodes, which over a large model would cost its square.
  std::vector<std::unordered_map<std::int32_t, Kind>> node_kinds_;
  std::vector<PendingConductor> conductors_;
  std::vector<PendingLink> links_;
  std::vector<PendingTie> ties_;
  std::vector<AliasLine> alias_lines_;
  std::map<std::size_t, int> triangle_lines_;
};

// Sizes-file words are bounded well inside what the program can allocate, so
// that a spoilt file is refused rather than sizing the arrays.
constexpr std::int32_t kMaxSizeWord = 10'000'000;

template <std::size_t N>
std::array<std::int32_t, N> size_words(const std::string& list, int line, std::string_view what) {
  std::array<std::int32_t, N> out{};
  std::size_t k = 0, from = 0;
  while (true) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    const auto v = parse_number<std::int32_t>(std::string_view(list).substr(from, comma - from));
    if (k >= N) fail_at(line, std::string(what) + " has more than " + std::to_string(N) + " words");
    if (!v || *v < 0 || *v > kMaxSizeWord)
      fail_at(line, std::string(what) + " word " + std::to_string(k + 1) + " is not a whole number from 0 to " +
                        std::to_string(kMaxSizeWord));
    out[k++] = *v;
    if (comma == list.size()) break;
    from = comma + 1;
  }
  if (k != N) fail_at(line, std::string(what) + " has " + std::to_string(k) + " words, not " + std::to_string(N));
  return out;
}

}  // namespace

Model read_description(std::istream& in) { return Reader().read(in); }

std::string sizes_file_text(const std::string& model_name, const Sizes& sizes) {
  return "MODEL " + model_name + "\n" + describe_sizes(sizes);
}

SizesFile read_sizes_file(std::istream& in) {
  SizesFile f;
  bool seen[3] = {false, false, false};
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::istringstream words(text);
    std::string key, value, extra;
    if (!(words >> key)) continue;
    if (!(words >> value) || (words >> extra)) fail_at(number, "expected \"" + key + "\" and one word");
    constexpr std::string_view keys[] = {"MODEL", "FLAGS", "SPRSIZ"};
    const auto k = static_cast<std::size_t>(std::find(std::begin(keys), std::end(keys), key) - std::begin(keys));
    if (k == 3) fail_at(number, "unknown line " + quoted(key) + " (MODEL, FLAGS or SPRSIZ)");
    if (seen[k]) fail_at(number, quoted(key) + " given twice");
    seen[k] = true;
    if (k == 0) {
      if (value.size() > kNameWidth) fail_at(number, "the model name is longer than 24 characters");
      f.model_name = value;
    } else if (k == 1) {
      f.sizes.flags = size_words<41>(value, number, "FLAGS");
    } else {
      f.sizes.sprsiz = size_words<5>(value, number, "SPRSIZ");
    }
  }
  if (!(seen[0] && seen[1] && seen[2])) throw DescriptionError("the sizes file needs MODEL, FLAGS and SPRSIZ lines");
  return f;
}

SizesFile read_sizes_file(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw DescriptionError("cannot be read (kalvir_mdb_write writes it beside the MDB file)");
  return read_sizes_file(in);
}

}  // namespace kalvir::mdbw
