#include "runtime/output/gff/gff_header.h"

#include <algorithm>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/gff/gff_lines.h"
#include "runtime/output/gff/gff_nodes.h"
#include "runtime/platform/units.h"

namespace kalvir::gff {

namespace {

// The version field of the first description line is 20 characters wide.
constexpr std::string_view kVersion = "2020";
constexpr std::size_t kVersionWidth = 20;

enum class Type { Float, Integer, String };

constexpr std::string_view type_word(Type t) {
  switch (t) {
    case Type::Float: return "FLOAT";
    case Type::Integer: return "INTEGER";
    case Type::String: return "STRING";
  }
  return "";
}

// An attribute and its value map: the submodels (model map), the letters of
// a type string (code = position) or a list of words.
struct Attribute {
  std::string_view name;
  Type type;
  bool model_map = false;
  std::string_view letters = {};
  std::span<const std::string_view> words = {};
};

constexpr std::array<std::string_view, 4> kThermalConductorTypes{"GL", "GR", "GF", "GV"};
constexpr std::array<std::string_view, 5> kFluidConductorTypes{"GL", "GR", "GF", "GP", "M"};

// The attributes before the value columns of a node record.
constexpr std::array<Attribute, 5> kThermalNodeLead{{
    {"Time", Type::Float},
    {"Model_Name", Type::Integer, true},
    {"Node_Number", Type::Integer},
    {"Type", Type::Integer, false, kThermalTypes},
    {"Label", Type::String},
}};
constexpr std::array<Attribute, 5> kFluidNodeLead{{
    {"Time", Type::Float},
    {"Model_Name", Type::Integer, true},
    {"Node_Number", Type::Integer},
    {"Type", Type::Integer, false, kFluidTypes},
    {"Label", Type::String},
}};

template <std::size_t N>
constexpr std::array<Attribute, 10> conductor_attributes(const std::array<std::string_view, N>& types) {
  return {{
      {"Time", Type::Float},
      {"Type", Type::Integer, false, {}, types},
      {"Model_Name_For_Conductors", Type::Integer, true},
      {"Model_Name_From_Node", Type::Integer, true},
      {"From_Node", Type::Integer},
      {"Model_Name_To_Node", Type::Integer, true},
      {"To_Node", Type::Integer},
      {"Sequence_Number", Type::Integer},
      {"Value", Type::Float},
      {"Status", Type::Integer, false, kActivities},
  }};
}
constexpr auto kThermalConductor = conductor_attributes(kThermalConductorTypes);
constexpr auto kFluidConductor = conductor_attributes(kFluidConductorTypes);

constexpr std::array<Attribute, 4> constant_attributes(std::string_view name, Type value) {
  return {{{"Time", Type::Float}, {"Model_Name", Type::Integer, true}, {name, Type::String}, {"Value", value}}};
}
constexpr auto kIntegerConstant = constant_attributes("Integer_User_Constant_Name", Type::Integer);
constexpr auto kRealConstant = constant_attributes("Real_User_Constant_Name", Type::Float);
constexpr auto kCharacterConstant = constant_attributes("Character_User_Constant_Name", Type::String);

// One record type of the header.
struct RecordType {
  std::string_view name;
  std::size_t block;          // index of its block flag
  std::string_view comment;   // written before the record line when not empty
  std::span<const Attribute> attributes;
  bool node = false;          // value columns and spare attributes follow
};

const std::array<RecordType, kRecords> kRecordTypes{{
    {"Thermal_Node", 1, "", kThermalNodeLead, true},
    {"Thermal_Conductor", 2, "We only output 1 of the pairs of 2-way conductors", kThermalConductor},
    {"Fluid_Node", 1, "", kFluidNodeLead, true},
    {"Fluid_Conductor", 2, "For GL/GR/GF, From_Node is the Fluid node", kFluidConductor},
    {"Integer_User_Constant", 3, "", kIntegerConstant},
    {"Real_User_Constant", 3, "", kRealConstant},
    {"Character_User_Constant", 3, "", kCharacterConstant},
}};

// Writes the header's lines; a line that cannot be written ends the run.
class HeaderWriter {
 public:
  explicit HeaderWriter(std::int32_t unit) : unit_(unit) {}

  void put(const std::string& line) const {
    if (const int st = platform::write_line(unit_, line); st != 0) write_failure("GHEADB", 1, st);
  }
  void keyword(std::string_view key, std::string_view value) const {
    put(std::string(key) + ": " + std::string(value));
  }
  void comment(std::string_view text) const { put("  Comment: " + std::string(text)); }
  void attribute(std::string_view name, Type type) const {
    put("  Attribute: " + std::string(name) + "  " + std::string(type_word(type)));
  }
  void map(std::int64_t code, std::string_view text) const {
    put("        Map: " + int_field(code, 2) + "  \"" + std::string(text) + "\"");
  }

 private:
  std::int32_t unit_;
};

// The text up to its first blank (all of it when it holds none).
std::string_view to_first_blank(std::string_view s) { return s.substr(0, std::min(s.find(' '), s.size())); }

void write_attribute(const HeaderWriter& out, const Attribute& a, const std::vector<FullName>& full) {
  out.attribute(a.name, a.type);
  if (a.model_map) {
    for (std::size_t m = 0; m < full.size(); ++m) {
      out.map(static_cast<std::int64_t>(m + 1), to_first_blank(full[m].view()));
    }
  }
  for (std::size_t k = 0; k < a.letters.size(); ++k) {
    out.map(static_cast<std::int64_t>(k + 1), a.letters.substr(k, 1));
  }
  for (std::size_t k = 0; k < a.words.size(); ++k) out.map(static_cast<std::int64_t>(k + 1), a.words[k]);
}

void write_spare_attributes(const HeaderWriter& out) {
  const std::int32_t nchar = SPRSIZ(3), nint = SPRSIZ(4), nreal = SPRSIZ(5);
  if (nchar + nint + nreal <= 0) return;
  out.comment("Spare Nodal Entities");
  const auto group = [&](std::int64_t g, std::int32_t n, Type type) {
    for (std::int64_t k = 1; k <= std::min<std::int64_t>(n, SPRNOD.rows()); ++k) {
      out.attribute(SPRNOD(k, g).trimmed(), type);
    }
  };
  group(1, nreal, Type::Float);
  group(2, nint, Type::Integer);
  group(3, nchar, Type::String);
}

}  // namespace

ModelCounts model_counts() { return {FLAGS(flagw::NF), FLAGS(7), FLAGS(6), FLAGS(9)}; }

bool record_present(Record record, const BlockFlags& blocks, const ModelCounts& counts) {
  const RecordType& r = kRecordTypes[static_cast<std::size_t>(record)];
  if (blocks[0] != 1 && blocks[r.block] != 1) return false;
  switch (record) {
    case Record::FluidNode:
    case Record::FluidConductor: return counts.nfluid > 0;
    case Record::IntegerConstant: return counts.nint > 0;
    case Record::RealConstant: return counts.nreal > 0;
    case Record::CharacterConstant: return counts.nchar > 0;
    default: return true;
  }
}

std::int32_t letter_code(std::string_view letters, char letter) noexcept {
  const std::size_t at = letters.find(letter);
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

}  // namespace kalvir::gff

void GZBLKS(std::string_view TEXT, std::int32_t LTEXT, std::span<const kalvir::gff::BlockName> NAMES,
            std::span<std::int32_t> FLAGS, std::int32_t& STATUS) {
  STATUS = 0;
  const std::size_t n = std::min(NAMES.size(), FLAGS.size());
  if (kalvir::is_blank(TEXT)) {
    std::fill_n(FLAGS.begin(), n, 1);
    return;
  }
  const std::string_view searched = TEXT.substr(0, static_cast<std::size_t>(std::max(LTEXT, 0)));
  if (n > 0) FLAGS[0] = 0;
  for (std::size_t i = 1; i < n; ++i) {
    FLAGS[i] = searched.find(NAMES[i].trimmed()) != std::string_view::npos ? 1 : 0;
  }
}

void GHEADB(std::int32_t UNIT, std::string_view DATE, std::string_view MODEL, std::string_view TIME,
            std::string_view TITLE, const kalvir::gff::BlockFlags& BLOCKS) {
  using namespace kalvir::gff;
  const HeaderWriter out(UNIT);
  std::vector<FullName> full;
  MODNAM(gar_modeldirectory, usable_nsub(gar_modeldirectory, FLAGS(flagw::NSUB), gar_modelnames), gar_modelnames,
         full);

  out.keyword("Description", "GFF output from KALVIR v" + kalvir::padded(kVersion, kVersionWidth));
  out.keyword("Description", kalvir::padded(MODEL, 24));
  out.keyword("Description", kalvir::padded(DATE, 17));
  out.keyword("Description", kalvir::padded(TIME, 8));
  if (!kalvir::is_blank(TITLE)) out.keyword("Description", TITLE.substr(0, static_cast<std::size_t>(STRLNA(TITLE))));
  out.keyword("Format", "ASCII");

  const ModelCounts counts = model_counts();
  std::int32_t number = 0;
  for (std::size_t k = 0; k < kRecords; ++k) {
    const RecordType& r = kRecordTypes[k];
    if (!record_present(static_cast<Record>(k), BLOCKS, counts)) continue;
    if (!r.comment.empty()) out.comment(r.comment);
    out.keyword("Record", r.name);
    out.comment("This is record type " + kalvir::int_field(++number, 4) + " in this file");
    for (const Attribute& a : r.attributes) write_attribute(out, a, full);
    if (!r.node) continue;
    const bool thermal = static_cast<Record>(k) == Record::ThermalNode;
    for (const RealColumn& c : thermal ? thermal_reals() : fluid_reals()) out.attribute(c.name, Type::Float);
    if (!thermal) {
      for (const TextColumn& c : fluid_texts()) out.attribute(c.name, Type::String);
    }
    write_spare_attributes(out);
  }
  out.put("End_Header");
}

void MODNAM(const kalvir::ModelDirectory& MODDIR, std::int32_t NSUB, const kalvir::ModelNames& NAMES,
            std::vector<kalvir::gff::FullName>& FULL) {
  using namespace kalvir::gff;
  if (NSUB > kMaxSubmodels) {
    fatal("Too many submodels for PLIXE output routine", 1, "MODNAM");
  }
  const std::int32_t nsub = std::max(NSUB, 0);
  FULL.assign(static_cast<std::size_t>(nsub), FullName());
  std::vector<std::int32_t> parent(static_cast<std::size_t>(nsub) + 1, 0);
  const auto level = [&](std::int32_t m) { return MODDIR(1, m); };
  for (std::int32_t j = 1; j <= nsub; ++j) {
    std::string entry(NAMES(j));
    const auto strange = [&](std::int32_t code) {
      fatal("Strange model nesting in submodel : " + std::string(kalvir::trim_right(entry)), code, "MODNAM");
    };
    std::int32_t p = 0;
    if (level(j) != 0) {
      const std::int32_t prev = j - 1;
      if (prev >= 1 && level(j) == level(prev)) {
        p = parent[static_cast<std::size_t>(prev)];
      } else if (prev >= 1 && level(j) == level(prev) + 1) {
        p = prev;
      } else if (prev >= 1 && level(j) < level(prev)) {
        std::int32_t k = prev - 1;
        while (k >= 1 && level(k) != level(j)) --k;
        if (k < 1) strange(2);
        p = parent[static_cast<std::size_t>(k)];
      } else {
        strange(3);
      }
    }
    parent[static_cast<std::size_t>(j)] = p;
    // The entry's length stops at its first blank; only that part is kept
    // behind the ancestors' names.
    std::size_t length = std::min(entry.find(' '), entry.size());
    for (std::int32_t a = p; a >= 1; a = parent[static_cast<std::size_t>(a)]) {
      const std::string_view name = to_first_blank(NAMES(a));
      if (length + name.size() + 1 > kFullNameLength) strange(4);
      entry = std::string(name) + ":" + entry.substr(0, length);
      length += name.size() + 1;
    }
    FULL[static_cast<std::size_t>(j - 1)] = entry;
  }
}
