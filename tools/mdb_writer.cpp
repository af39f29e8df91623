#include "tools/mdb_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <limits>
#include <span>
#include <sstream>
#include <unordered_map>

#include "runtime/modeldata/mdb_context.h"

namespace kalvir::mdbw {
namespace {

constexpr std::int32_t kCharElement = 133;
constexpr std::int32_t kList66Words = 205;
constexpr std::int32_t kLocalInts = 2, kGlobalInts = 25, kGlobalReals = 49;

using Record = std::vector<std::byte>;

void put32(Record& r, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int s = 0; s < 32; s += 8) r.push_back(static_cast<std::byte>((u >> s) & 0xFFU));
}
void put64(Record& r, double v) {
  const auto u = std::bit_cast<std::uint64_t>(v);
  for (int s = 0; s < 64; s += 8) r.push_back(static_cast<std::byte>((u >> s) & 0xFFU));
}
void put_chars(Record& r, const std::string& s, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) r.push_back(static_cast<std::byte>(i < s.size() ? s[i] : ' '));
}
Record int_record(std::initializer_list<std::int32_t> v) {
  Record r;
  for (auto x : v) put32(r, x);
  return r;
}

// The numbered lists of one submodel block and their count table.
class Block {
 public:
  Block(std::int32_t isub, std::int32_t block_values) : isub_(isub), block_values_(block_values) {}

  void ints(std::int32_t number, const std::vector<std::int32_t>& v) {
    numeric(number, v.size(), 1, [&](Record& r, std::size_t i) { put32(r, v[i]); });
  }
  // A list among those the load skips two records at a time: never continued.
  void skipped_ints(std::int32_t number, const std::vector<std::int32_t>& v) {
    Record data;
    for (const std::int32_t x : v) put32(data, x);
    plain(number, static_cast<std::int32_t>(v.size()), std::move(data));
  }
  void reals(std::int32_t number, const std::vector<double>& v) {
    numeric(number, v.size(), 2, [&](Record& r, std::size_t i) { put64(r, v[i]); });
  }
  void chars(std::int32_t number, const std::vector<std::string>& v, std::size_t width) {
    Record data;
    for (const auto& s : v) put_chars(data, s, width);
    plain(number, static_cast<std::int32_t>(v.size() * width), std::move(data));
  }
  // A packed character store: `length` characters in elements of 133.
  void store(std::int32_t number, const std::string& stream) {
    const std::size_t elements = (stream.size() + kCharElement - 1) / kCharElement;
    Record data;
    put_chars(data, stream, elements * kCharElement);
    plain(number, static_cast<std::int32_t>(stream.size()), std::move(data));
  }

  // Header record of each list, counted within the block.
  const std::map<std::int32_t, std::size_t>& headers() const { return headers_; }

  std::vector<Record> finish() const {
    std::vector<Record> out;
    out.push_back(int_record({isub_, 0, 2 * 290, 0}));
    Record table;
    for (std::int32_t k = 1; k <= 290; ++k) {
      put32(table, 0);
      put32(table, counts_[static_cast<std::size_t>(k)]);
    }
    out.push_back(std::move(table));
    out.insert(out.end(), records_.begin(), records_.end());
    out.push_back(int_record({-1, 0, 0, 0}));
    return out;
  }

 private:
  void plain(std::int32_t number, std::int32_t length, Record data) {
    mark(number, length);
    headers_[number] = records_.size() + 2;
    records_.push_back(int_record({number, 0, length, 0}));
    records_.push_back(std::move(data));
  }
  template <class Put>
  void numeric(std::int32_t number, std::size_t n, std::int32_t words, Put put) {
    const auto whole = [&](std::size_t from, std::size_t count) {
      Record data;
      for (std::size_t i = from; i < from + count; ++i) put(data, i);
      return data;
    };
    mark(number, static_cast<std::int32_t>(n) * words);
    headers_[number] = records_.size() + 2;
    if (block_values_ <= 0 || n <= static_cast<std::size_t>(block_values_)) {
      records_.push_back(int_record({number, 0, static_cast<std::int32_t>(n) * words, 0}));
      records_.push_back(whole(0, n));
      return;
    }
    const auto per = static_cast<std::size_t>(block_values_);
    const auto nb = static_cast<std::int32_t>((n + per - 1) / per);
    records_.push_back(int_record({number, 7, 0, 0}));
    records_.push_back(int_record({nb}));
    for (std::int32_t b = 1; b <= nb; ++b) {
      const std::size_t from = static_cast<std::size_t>(b - 1) * per;
      const std::size_t count = std::min(per, n - from);
      records_.push_back(int_record({b, 0, static_cast<std::int32_t>(count) * words, 0}));
      records_.push_back(whole(from, count));
    }
  }
  void mark(std::int32_t number, std::int32_t length) {
    counts_[static_cast<std::size_t>(number)] = std::max(length, 1);
  }

  std::int32_t isub_;
  std::int32_t block_values_;
  std::array<std::int32_t, 291> counts_{};
  std::vector<Record> records_;
  std::map<std::int32_t, std::size_t> headers_;
};

// Where a user node number of a submodel leads: thermal nodes first. Built
// once per submodel, so that resolving every conductor end costs a lookup, not
// a scan of the submodel's nodes (a scan per end grows with the square of the
// model).
enum class End { none, thermal, fluid };
class EndKinds {
 public:
  explicit EndKinds(const Submodel& s) {
    kinds_.reserve(s.nodes.size() + s.fluid.size());
    for (const auto& t : s.nodes) kinds_.emplace(t.number, End::thermal);
    for (const auto& f : s.fluid) kinds_.emplace(f.number, End::fluid);
  }
  // A fluidic end may carry a negative number.
  End operator()(std::int32_t number) const {
    const std::int64_t n = number < 0 ? -std::int64_t{number} : number;
    if (n > std::numeric_limits<std::int32_t>::max()) return End::none;
    const auto it = kinds_.find(static_cast<std::int32_t>(n));
    return it == kinds_.end() ? End::none : it->second;
  }

 private:
  std::unordered_map<std::int32_t, End> kinds_;
};

// The radiative pairs of a submodel: its own, then the full triangle over its
// thermal nodes when it has view-factor conductors.
std::vector<Conductor> radiative_pairs(const Submodel& s) {
  std::vector<Conductor> out = s.gr;
  if (s.gv.empty()) return out;
  std::size_t t = 0;
  for (std::size_t a = 0; a < s.nodes.size(); ++a) {
    for (std::size_t b = a + 1; b < s.nodes.size(); ++b, ++t) {
      const double v = t < s.triangle_values.size() ? s.triangle_values[t] : 0.0;
      out.push_back({s.nodes[a].number, s.nodes[b].number, v, 'A'});
    }
  }
  return out;
}

std::array<std::vector<Conductor>, 3> own_pairs(const Submodel& s) { return {s.gl, radiative_pairs(s), s.gf}; }
std::array<const std::vector<InterConductor>*, 3> inter_conductors(const Submodel& s) {
  return {&s.xgl, &s.xgr, &s.xgf};
}

// Fluid coupling counts (list 66 words 70-72): own pairs of each kind that
// name a fluid node.
std::array<std::int32_t, 3> coupling(const Submodel& s) {
  std::array<std::int32_t, 3> c{};
  const EndKinds classify(s);
  const auto pairs = own_pairs(s);
  for (int k = 0; k < 3; ++k) {
    for (const auto& p : pairs[static_cast<std::size_t>(k)]) {
      if (classify(p.n1) == End::fluid || classify(p.n2) == End::fluid) ++c[static_cast<std::size_t>(k)];
    }
  }
  return c;
}

std::int32_t tie_length(const Model& m) {
  std::int32_t l = 2;
  for (const auto& g : m.ties) l += 2 + static_cast<std::int32_t>(g.targets.size());
  return l;
}

// Words of the packed thermal lists and of the fluid lists.
std::pair<std::int64_t, std::int64_t> list_words(const Model& m) {
  std::int64_t thermal = 0, fluid = 0;
  const auto nsub = static_cast<std::int32_t>(m.submodels.size());
  std::vector<EndKinds> kinds;
  kinds.reserve(m.submodels.size());
  for (const Submodel& s : m.submodels) kinds.emplace_back(s);
  for (std::int32_t i = 0; i < nsub; ++i) {
    const Submodel& s = m.submodels[static_cast<std::size_t>(i)];
    thermal += 6LL * static_cast<std::int64_t>(s.nodes.size());
    fluid += 5LL * static_cast<std::int64_t>(s.fluid.size());
    for (const auto& pairs : own_pairs(s)) {
      for (const auto& p : pairs) {
        const End a = kinds[static_cast<std::size_t>(i)](p.n1), b = kinds[static_cast<std::size_t>(i)](p.n2);
        const bool same = (p.n1 < 0 ? -p.n1 : p.n1) == (p.n2 < 0 ? -p.n2 : p.n2);
        thermal += 2 * ((a == End::thermal) + (b == End::thermal && !same));
        if ((a == End::thermal) != (b == End::thermal) && (a == End::fluid || b == End::fluid)) fluid += 2;
      }
    }
    for (const auto* xs : inter_conductors(s)) {
      for (const auto& x : *xs) {
        for (const InterEnd& e : {x.end1, x.end2}) {
          const std::int32_t t = i + e.offset;
          if (t < 0 || t >= nsub) continue;
          const End k = kinds[static_cast<std::size_t>(t)](e.node);
          if (k == End::thermal) thermal += 2;
          if (k == End::fluid) fluid += 2;
        }
      }
    }
    for (const auto& l : s.links) fluid += l.n1 == l.n2 ? 2 : 4;
    fluid += 4LL * static_cast<std::int64_t>(s.xlinks.size());
  }
  return {thermal + tie_length(m), fluid};
}

}  // namespace

double undefined_real() { return std::bit_cast<double>(std::uint64_t{0x7FFFFFFFU}); }

namespace {

// The info entry of an ARRAY of kind `kind` with `count` values starting at
// `first`: kind, count, start, number of dimensions, dimensions.
std::vector<std::int32_t> array_entry(std::int32_t kind, std::size_t count, std::size_t first,
                                      const std::vector<std::int32_t>& dims) {
  std::vector<std::int32_t> e{kind, static_cast<std::int32_t>(count), static_cast<std::int32_t>(first)};
  const std::vector<std::int32_t> d = dims.empty() ? std::vector<std::int32_t>{static_cast<std::int32_t>(count)} : dims;
  e.push_back(static_cast<std::int32_t>(d.size()));
  e.insert(e.end(), d.begin(), d.end());
  return e;
}

}  // namespace

std::int32_t Arrays::add_entry(const std::string& name, const std::vector<std::int32_t>& entry, int group) {
  const auto start = static_cast<std::int32_t>(info.size()) + 1;
  info.insert(info.end(), entry.begin(), entry.end());
  names[static_cast<std::size_t>(group)].push_back(name);
  starts[static_cast<std::size_t>(group)].push_back(start);
  return start;
}

std::int32_t Arrays::add_real(const std::string& name, const std::vector<double>& values, int group,
                              const std::vector<std::int32_t>& dims) {
  const std::int32_t start = add_entry(name, array_entry(2, values.size(), reals.size() + 1, dims), group);
  reals.insert(reals.end(), values.begin(), values.end());
  return start;
}

std::int32_t Arrays::add_int(const std::string& name, const std::vector<std::int32_t>& values, int group,
                             const std::vector<std::int32_t>& dims) {
  const std::int32_t start = add_entry(name, array_entry(1, values.size(), ints.size() + 1, dims), group);
  ints.insert(ints.end(), values.begin(), values.end());
  return start;
}

std::int32_t Arrays::add_char(const std::string& name, const std::vector<std::string>& values, int group,
                              const std::vector<std::int32_t>& dims) {
  const std::int32_t start = add_entry(name, array_entry(3, values.size(), chars.size() + 1, dims), group);
  for (const std::string& v : values) {
    chars += v;
    chars += '\0';
  }
  return start;
}

bool Arrays::empty() const {
  return std::all_of(names.begin(), names.end(), [](const auto& n) { return n.empty(); }) && info.empty() &&
         ints.empty() && reals.empty() && chars.empty();
}

Sizes model_sizes(const Model& m) {
  Sizes z;
  auto& f = z.flags;
  const auto word = [&f](int k) -> std::int32_t& { return f[static_cast<std::size_t>(k - 1)]; };
  std::int64_t nx = 0;
  for (const auto& s : m.submodels) {
    word(1) += static_cast<std::int32_t>(s.nodes.size());
    word(2) += static_cast<std::int32_t>(s.gl.size() + s.xgl.size());
    word(3) += static_cast<std::int32_t>(s.gf.size() + s.xgf.size());
    word(4) += static_cast<std::int32_t>(radiative_pairs(s).size() + s.xgr.size());
    word(5) += static_cast<std::int32_t>(s.gv.size());
    word(6) += static_cast<std::int32_t>(s.real_constants.size());
    word(7) += static_cast<std::int32_t>(s.int_constants.size());
    std::size_t chars = 0;
    for (const auto& c : s.char_constants) chars += c.value.size() + 1;
    word(8) += static_cast<std::int32_t>((chars + kCharElement - 1) / kCharElement);
    word(9) += static_cast<std::int32_t>(s.char_constants.size());
    word(18) += static_cast<std::int32_t>(s.arrays.info.size());
    for (const auto& g : s.arrays.names) word(19) += static_cast<std::int32_t>(g.size());
    word(20) += static_cast<std::int32_t>(s.arrays.reals.size());
    word(21) += static_cast<std::int32_t>(s.arrays.ints.size());
    word(22) += static_cast<std::int32_t>((s.arrays.chars.size() + kCharElement - 1) / kCharElement);
    word(32) += static_cast<std::int32_t>(s.fluid.size());
    word(33) += static_cast<std::int32_t>(s.links.size() + s.xlinks.size());
    word(40) += static_cast<std::int32_t>(s.aliases.size());
    nx += static_cast<std::int64_t>(s.xgl.size() + s.xgr.size() + s.xgf.size());
  }
  word(10) = 0;
  word(11) = kLocalInts;
  word(12) = 0;
  word(13) = kGlobalReals;
  word(14) = kGlobalInts;
  word(15) = 16;
  word(16) = word(6) + word(7) + word(9);
  word(17) = word(10) + word(11) + word(12) + word(13) + word(14) + word(15);
  const auto [thermal, fluid] = list_words(m);
  word(24) = static_cast<std::int32_t>(thermal + m.pcs_slack);
  word(25) = tie_length(m);
  word(26) = static_cast<std::int32_t>(m.submodels.size());
  word(27) = kCharElement;
  word(29) = 1;
  word(35) = static_cast<std::int32_t>(fluid + m.fpcs_slack);
  word(36) = 1;
  // The load's scratch layout: link areas, list 66, fluid link records,
  // builder work space, tie area and the chain heads.
  const std::int64_t nn = std::int64_t{word(1)} + word(32);
  const std::int64_t minimum = 12 + 5 * nx - 1 + std::max(kList66Words, word(17)) + 5LL * word(33) +
                               3LL * word(1) + word(2) + word(3) + word(4) + 6 + 6 * nn + 2LL * word(25);
  word(28) = m.dystor > 0 ? m.dystor : static_cast<std::int32_t>(minimum + 1000);
  const auto count = [&m](std::size_t g) { return static_cast<std::int32_t>(m.attributes[g].size()); };
  z.sprsiz = {std::max({1, count(0), count(1), count(2)}), 3, count(2), count(1), count(0)};
  z.attribute_names = m.attributes;
  return z;
}

MdbImage build_mdb(const Model& m) {
  MdbImage img;
  auto& out = img.records;
  const auto nsub = static_cast<std::int32_t>(m.submodels.size());

  Record header;
  put_chars(header, m.name, 24);
  for (const std::int32_t v : {0, nsub, 0, 0, 0}) put32(header, v);
  put_chars(header, "01 January   2026", 17);
  put_chars(header, "00:00:00", 8);
  put32(header, m.version);
  out.push_back(std::move(header));

  Record tree, names, acd_names;
  for (std::int32_t i = 0; i < nsub; ++i) {
    const Submodel& s = m.submodels[static_cast<std::size_t>(i)];
    std::int32_t size = 1;
    while (i + size < nsub && m.submodels[static_cast<std::size_t>(i + size)].level > s.level) ++size;
    put32(tree, s.level);
    put32(tree, size);
    put32(tree, 0);
    put_chars(names, s.name, 24);
    put_chars(acd_names, s.acd_name.empty() ? s.name : s.acd_name, 24);
  }
  out.push_back(std::move(tree));
  out.push_back(std::move(names));
  out.push_back(std::move(acd_names));
  out.push_back(int_record({0}));
  out.push_back(int_record({0}));

  for (std::int32_t i = 0; i < nsub; ++i) {
    const Submodel& s = m.submodels[static_cast<std::size_t>(i)];
    Block b(i + 1, m.block_values);
    const auto collect = [](const auto& items, auto field) {
      std::vector<std::decay_t<decltype(field(items.front()))>> v;
      for (const auto& x : items) v.push_back(field(x));
      return v;
    };
    const auto strings = [](const auto& items, auto field) {
      std::vector<std::string> v;
      for (const auto& x : items) v.push_back(field(x));
      return v;
    };

    if (!s.nodes.empty()) {
      const auto& n = s.nodes;
      b.ints(1, collect(n, [](const ThermalNode& t) { return t.number; }));
      const std::array<double ThermalNode::*, 10> fields{&ThermalNode::T,  &ThermalNode::C,  &ThermalNode::QA,
                                                          &ThermalNode::QE, &ThermalNode::QI, &ThermalNode::QS,
                                                          &ThermalNode::QR, &ThermalNode::A,  &ThermalNode::ALP,
                                                          &ThermalNode::EPS};
      for (std::size_t k = 0; k < fields.size(); ++k) {
        b.reals(2 + static_cast<std::int32_t>(k), collect(n, [&](const ThermalNode& t) { return t.*fields[k]; }));
      }
      b.chars(12, strings(n, [](const ThermalNode& t) { return t.label; }), 24);
      b.chars(13, strings(n, [](const ThermalNode& t) { return std::string(1, t.status); }), 1);
    }

    // Conductor values and letters, own then inter-model.
    const auto rad = radiative_pairs(s);
    const std::array<const std::vector<Conductor>*, 4> own{&s.gl, &rad, &s.gf, &s.gv};
    for (int k = 0; k < 4; ++k) {
      if (!own[static_cast<std::size_t>(k)]->empty())
        b.reals(14 + k, collect(*own[static_cast<std::size_t>(k)], [](const Conductor& c) { return c.value; }));
    }
    for (int k = 0; k < 4; ++k) {
      if (!own[static_cast<std::size_t>(k)]->empty())
        b.chars(18 + k, strings(*own[static_cast<std::size_t>(k)], [](const Conductor& c) { return std::string(1, c.act); }),
                1);
    }
    const auto inter = inter_conductors(s);
    for (int k = 0; k < 3; ++k) {
      if (!inter[static_cast<std::size_t>(k)]->empty())
        b.reals(22 + k, collect(*inter[static_cast<std::size_t>(k)], [](const InterConductor& c) { return c.value; }));
    }
    for (int k = 0; k < 3; ++k) {
      if (!inter[static_cast<std::size_t>(k)]->empty())
        b.chars(26 + k,
                strings(*inter[static_cast<std::size_t>(k)], [](const InterConductor& c) { return std::string(1, c.act); }),
                1);
    }
    for (int k = 0; k < 3; ++k) {
      if (inter[static_cast<std::size_t>(k)]->empty()) continue;
      std::vector<std::int32_t> q;
      for (const auto& c : *inter[static_cast<std::size_t>(k)])
        q.insert(q.end(), {c.end1.offset, c.end1.node, c.end2.offset, c.end2.node});
      b.ints(30 + k, q);
    }
    if (!s.gv.empty()) {
      std::vector<std::int32_t> p;
      for (const auto& c : s.gv) p.insert(p.end(), {c.n1, c.n2});
      b.ints(34, p);
    }
    if (i == 0) {
      const std::int32_t l = tie_length(m);
      std::vector<std::int32_t> t{2 * l, 0, static_cast<std::int32_t>(m.ties.size()), 0};
      for (const auto& g : m.ties) {
        t.insert(t.end(), {-(g.source[0] - 1), -g.source[1], static_cast<std::int32_t>(g.targets.size()), 0});
        for (const auto& tg : g.targets) t.insert(t.end(), {tg[0] - 1, tg[1]});
      }
      b.ints(35, t);
    }

    // User constants: integer names and values, real names and values,
    // character names, their starts in the packed store, the store.
    if (!s.int_constants.empty()) {
      b.chars(45, strings(s.int_constants, [](const auto& c) { return c.name; }), 18);
      b.ints(46, collect(s.int_constants, [](const auto& c) { return c.value; }));
    }
    if (!s.real_constants.empty()) {
      b.chars(47, strings(s.real_constants, [](const auto& c) { return c.name; }), 18);
      b.reals(48, collect(s.real_constants, [](const auto& c) { return c.value; }));
    }
    if (!s.char_constants.empty()) {
      b.chars(49, strings(s.char_constants, [](const auto& c) { return c.name; }), 18);
      std::vector<std::int32_t> starts;
      std::string stream;
      for (const auto& c : s.char_constants) {
        starts.push_back(static_cast<std::int32_t>(stream.size()) + 1);
        stream += c.value;
        stream += '\0';
      }
      b.ints(50, starts);
      b.store(51, stream);
    }

    const Arrays& a = s.arrays;
    for (int g = 0; g < 3; ++g) {
      if (!a.names[static_cast<std::size_t>(g)].empty()) b.chars(52 + g, a.names[static_cast<std::size_t>(g)], 18);
    }
    if (!a.info.empty()) b.ints(55, a.info);
    for (int g = 0; g < 3; ++g) {
      if (!a.starts[static_cast<std::size_t>(g)].empty()) b.ints(56 + g, a.starts[static_cast<std::size_t>(g)]);
    }
    if (!a.ints.empty()) b.ints(59, a.ints);
    if (!a.reals.empty()) b.reals(60, a.reals);
    if (!a.chars.empty()) b.store(61, a.chars);
    if (!a.names[3].empty()) b.chars(64, a.names[3], 18);
    if (!a.starts[3].empty()) b.ints(65, a.starts[3]);

    std::vector<std::int32_t> l66(kList66Words, 0);
    const auto c = coupling(s);
    for (int k = 0; k < 3; ++k) l66[static_cast<std::size_t>(69 + k)] = c[static_cast<std::size_t>(k)];
    for (std::size_t row = 0; row < 43; ++row) l66[76 + 3 * row + 2] = s.skip_counts[row];
    b.ints(66, l66);

    std::vector<double> cc;
    for (const auto& v : s.local_ints) cc.push_back(v ? static_cast<double>(*v) : undefined_real());
    if (i == 0) {
      for (const auto& v : m.gloi) cc.push_back(v ? static_cast<double>(*v) : undefined_real());
      for (const auto& v : m.glor) cc.push_back(v ? *v : undefined_real());
    }
    b.reals(68, cc);

    const auto pairs = own_pairs(s);
    for (int k = 0; k < 3; ++k) {
      if (pairs[static_cast<std::size_t>(k)].empty()) continue;
      std::vector<std::int32_t> p;
      for (const auto& cd : pairs[static_cast<std::size_t>(k)]) p.insert(p.end(), {cd.n1, cd.n2});
      b.ints(69 + k, p);
    }
    if (!s.nodes.empty()) {
      const std::array<double ThermalNode::*, 6> more{&ThermalNode::QAI, &ThermalNode::QEI, &ThermalNode::QSI,
                                                       &ThermalNode::FX,  &ThermalNode::FY,  &ThermalNode::FZ};
      for (std::size_t k = 0; k < 3; ++k)
        b.reals(72 + static_cast<std::int32_t>(k), collect(s.nodes, [&](const ThermalNode& t) { return t.*more[k]; }));
      for (std::size_t k = 3; k < 6; ++k)
        b.reals(93 + static_cast<std::int32_t>(k), collect(s.nodes, [&](const ThermalNode& t) { return t.*more[k]; }));
    }
    if (!s.aliases.empty()) {
      b.chars(107, strings(s.aliases, [](const Alias& x) { return x.name; }), 18);
      b.ints(108, collect(s.aliases, [](const Alias& x) { return x.node; }));
    }
    if (i == 0) {
      std::vector<std::int32_t> counts;
      for (const auto& names : m.attributes) counts.push_back(static_cast<std::int32_t>(names.size()));
      b.skipped_ints(kalvir::mdb::kAttributeCountList, counts);
    }

    if (!s.fluid.empty()) {
      const auto& fl = s.fluid;
      b.ints(201, collect(fl, [](const FluidNode& x) { return x.number; }));
      const std::array<double FluidNode::*, 14> fields{
          &FluidNode::A,  &FluidNode::FD, &FluidNode::FL, &FluidNode::P,  &FluidNode::FE,
          &FluidNode::T,  &FluidNode::FF, &FluidNode::FQ, &FluidNode::FM, &FluidNode::FH,
          &FluidNode::FR, &FluidNode::FX, &FluidNode::FY, &FluidNode::FZ};
      for (std::size_t k = 0; k < fields.size(); ++k)
        b.reals(202 + static_cast<std::int32_t>(k), collect(fl, [&](const FluidNode& x) { return x.*fields[k]; }));
      b.chars(216, strings(fl, [](const FluidNode& x) { return x.fluid; }), 24);
      b.chars(217, strings(fl, [](const FluidNode& x) { return x.label; }), 24);
      b.chars(218, strings(fl, [](const FluidNode& x) { return std::string(1, x.status); }), 1);
    }
    if (!s.links.empty()) {
      std::vector<std::int32_t> p;
      for (const auto& l : s.links) p.insert(p.end(), {l.n1, l.n2});
      b.ints(219, p);
      b.reals(220, collect(s.links, [](const MassFlowLink& l) { return l.flow; }));
      b.reals(222, collect(s.links, [](const MassFlowLink& l) { return l.gp; }));
      b.chars(223, strings(s.links, [](const MassFlowLink& l) { return std::string(1, l.status); }), 1);
    }
    if (!s.xlinks.empty()) {
      std::vector<std::int32_t> q;
      for (const auto& l : s.xlinks) q.insert(q.end(), {l.end1.offset, l.end1.node, l.end2.offset, l.end2.node});
      b.ints(224, q);
      b.reals(225, collect(s.xlinks, [](const InterLink& l) { return l.flow; }));
      b.reals(227, collect(s.xlinks, [](const InterLink& l) { return l.gp; }));
      b.chars(228, strings(s.xlinks, [](const InterLink& l) { return std::string(1, l.status); }), 1);
    }
    if (!s.fluid.empty()) {
      const auto& fl = s.fluid;
      b.reals(231, collect(fl, [](const FluidNode& x) { return x.VQ; }));
      b.chars(232, strings(fl, [](const FluidNode& x) { return x.FRG; }), 4);
      const std::array<double FluidNode::*, 6> fields{&FluidNode::FLA, &FluidNode::VOL, &FluidNode::PHI,
                                                       &FluidNode::FW,  &FluidNode::CMP, &FluidNode::VDT};
      for (std::size_t k = 0; k < fields.size(); ++k)
        b.reals(233 + static_cast<std::int32_t>(k), collect(fl, [&](const FluidNode& x) { return x.*fields[k]; }));
      b.chars(239, strings(fl, [](const FluidNode& x) { return x.FST; }), 4);
    }

    const std::size_t block_start = out.size();
    for (const auto& [list, at] : b.headers()) img.list_headers[{i + 1, list}] = block_start + at;
    for (auto& r : b.finish()) out.push_back(std::move(r));
    img.block_markers.push_back(out.size() - 1);
    if (i + 1 < nsub) {
      for (const std::int32_t n : s.skip_counts) {
        if (n == 0) continue;
        const std::int32_t records = ((n + 24) / 25) * 2 + 1;
        for (std::int32_t k = 0; k < records; ++k) out.push_back(int_record({k}));
      }
      out.push_back(int_record({-1, 0, 0, 0}));
    }
  }
  return img;
}

std::vector<std::byte> MdbImage::bytes() const {
  std::vector<std::byte> b;
  for (const auto& r : records) {
    Record len;
    put32(len, static_cast<std::int32_t>(r.size()));
    b.insert(b.end(), len.begin(), len.end());
    b.insert(b.end(), r.begin(), r.end());
    b.insert(b.end(), len.begin(), len.end());
  }
  return b;
}

bool MdbImage::save(const std::string& path) const {
  const auto b = bytes();
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(f);
}

std::string describe_sizes(const Sizes& z) {
  std::ostringstream o;
  o << "FLAGS ";
  for (std::size_t k = 0; k < z.flags.size(); ++k) o << (k == 0 ? "" : ",") << z.flags[k];
  o << "\nSPRSIZ ";
  for (std::size_t k = 0; k < z.sprsiz.size(); ++k) o << (k == 0 ? "" : ",") << z.sprsiz[k];
  o << '\n';
  return o.str();
}

}  // namespace kalvir::mdbw
