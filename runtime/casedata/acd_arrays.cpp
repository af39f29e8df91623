// ACD array reader: the user-array values of the analysis-case data file,
// counted for the whole file at start-up and handed, submodel by submodel, to
// the MDB load, which appends them behind the submodel's own values.
//
// The reader follows the load with a cursor: a stack of the model groups from
// the main model down to the submodel being loaded, each with its group and
// its "Submodels" group open where the file has them.
#include "runtime/casedata/acd_arrays.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "runtime/casedata/acd_check.h"
#include "runtime/casedata/acd_read.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace {

using kalvir::acdio::Handle;

constexpr std::size_t kFileNameLength = 500;
constexpr std::size_t kNameLength = 24;
constexpr std::size_t kArrayNameLength = 19;
constexpr std::int32_t kMaxWords = std::numeric_limits<std::int32_t>::max();

struct CursorNode {
  std::string name;
  std::int32_t level = 0;
  Handle owned;          // the group of a submodel (the main node uses the file)
  hid_t group = -1;      // -1: the file has no group for this model
  Handle submodels;      // opened when a child is entered
};

// One record of "ArrayInformation".
struct ArrayRecord {
  std::string name;  // 19 characters, blank padded
  std::int32_t type = 0;
  std::int32_t size = 0;
  std::int32_t index_length = 0;
  std::int32_t dimensions = 0;
  std::array<std::int32_t, 3> extent{};
};

struct ArrayReader {
  std::string file_name;
  Handle file;
  std::vector<CursorNode> cursor;  // main node first; the last is current
  bool moved = false;              // the cursor has been placed
  std::vector<ArrayRecord> records;
};

ArrayReader& reader() {
  static ArrayReader r;
  return r;
}

// Checks of the start-up count and of a submodel's arrays, each naming its own
// routine in the messages.
const kalvir::acd::Checker& count_checker() {
  static const kalvir::acd::Checker check{"(acda)GetNumberOfArrayValues", [] { return reader().file_name; }};
  return check;
}

const kalvir::acd::Checker& checker() {
  static const kalvir::acd::Checker check{"(acda)GetArrayData", [] { return reader().file_name; }};
  return check;
}

std::string path_of(const CursorNode& node) {
  return node.group < 0 ? std::string("?") : kalvir::acdio::object_name(node.group);
}

// A count attribute of an Arrays group: present, a number, not negative.
std::int32_t count_attribute(const kalvir::acd::Checker& check, hid_t arrays, const char* name,
                             const std::string& item) {
  const std::int32_t n = check.int_attribute(arrays, ".", name, item);
  if (n < 0) check.bad_data(std::string(name) + " below 0", item);
  return n;
}

// The three counts of an Arrays group.
struct ArrayCounts {
  std::int32_t arrays = 0;
  std::int32_t values = 0;
  std::int32_t index = 0;
};

void read_records(const kalvir::acd::Checker& check, hid_t arrays, const std::string& item, const ArrayCounts& counts,
                  std::vector<ArrayRecord>& records);

// The counts of an Arrays group, each confirmed by the data it counts before
// anything is sized from it: numberOfArrays by the records of
// ArrayInformation, numberOfArrayValues by the extent of ArrayData and the
// sum of the records' sizes, numberOfArrayIndexValues by the index lengths of
// the tables. RECORDS receives the records. The start-up count and the load
// of a submodel's arrays apply the same rule, so the stores sized by the one
// hold what the other appends.
ArrayCounts confirmed_counts(const kalvir::acd::Checker& check, hid_t arrays, const std::string& item,
                             std::vector<ArrayRecord>& records) {
  records.clear();
  ArrayCounts c;
  c.values = count_attribute(check, arrays, "numberOfArrayValues", item);
  c.index = count_attribute(check, arrays, "numberOfArrayIndexValues", item);
  c.arrays = count_attribute(check, arrays, "numberOfArrays", item);
  // A group without arrays loads nothing, whatever its other counts say, so
  // nothing is sized for it either.
  if (c.arrays == 0) return {};
  if (c.values >= 1)
    check.dataset(arrays, "ArrayData", item + "/ArrayData", {static_cast<hsize_t>(c.values)},
                  {"numberOfArrayValues"});
  read_records(check, arrays, item, c, records);
  return c;
}

// ---- The start-up count.

void getnumberofarrayvalues(hid_t group, std::int64_t& NINDEX, std::int64_t& NVALUES) {
  const kalvir::acd::Checker& check = count_checker();
  const std::string where = kalvir::acdio::object_name(group);
  if (kalvir::acdio::link_exists(group, "ModelData/Arrays")) {
    const Handle arrays = check.group(group, "ModelData/Arrays", where + "/ModelData/Arrays");
    const std::string item = kalvir::acdio::object_name(arrays.get());
    std::vector<ArrayRecord> records;
    const ArrayCounts counts = confirmed_counts(check, arrays.get(), item, records);
    NVALUES += counts.values;
    NINDEX += counts.index;
  }
  if (!kalvir::acdio::link_exists(group, "Submodels")) return;
  const Handle submodels = check.group(group, "Submodels", where + "/Submodels");
  std::vector<std::string> names;
  if (!kalvir::acdio::member_names(submodels.get(), names)) check.bad_group("members cannot be listed", where);
  for (const std::string& name : names) {
    if (name.size() > kNameLength) {
      // No submodel has such a name: its arrays could never be loaded.
      SETERX("ACD submodel group name longer than 24 characters ignored@Group: " + where + "/Submodels/" + name +
                 "<NL>ACD file: " + reader().file_name + "@",
             2, 3, "(acda)GetNumberOfArrayValues");
      continue;
    }
    const Handle member = check.group(submodels.get(), name, where + "/Submodels/" + name);
    getnumberofarrayvalues(member.get(), NINDEX, NVALUES);
  }
}

// ---- Cursor.

void close_current() {
  ArrayReader& r = reader();
  if (r.cursor.size() > 1) r.cursor.pop_back();
}

// Enters submodel NAME at LEVEL below the current node (whose "Submodels"
// group is opened here when the file has one).
void enter(std::string_view NAME, std::int32_t LEVEL) {
  ArrayReader& r = reader();
  CursorNode& parent = r.cursor.back();
  CursorNode child;
  child.name = kalvir::padded(NAME, kNameLength);
  child.level = LEVEL;
  if (parent.group >= 0 && !parent.submodels.valid())
    parent.submodels = kalvir::acdio::open_group(parent.group, "Submodels");
  const std::string name(kalvir::trim_right(NAME));
  if (parent.submodels.valid() && !name.empty() && kalvir::acdio::link_exists(parent.submodels.get(), name)) {
    child.owned = kalvir::acdio::open_group(parent.submodels.get(), name);
    child.group = child.owned.get();
  }
  r.cursor.push_back(std::move(child));
}

// ---- Index words of tables.

std::int64_t table_values(const ArrayRecord& a) {
  const std::int64_t d1 = a.extent[0], d2 = a.extent[1], d3 = a.extent[2];
  return a.dimensions == 2 ? d1 * d2 + d1 + d2 : d1 * d2 * d3 + d1 + d2 + d3;
}

std::int64_t table_index_length(const ArrayRecord& a) {
  const std::int64_t d1 = a.extent[0], d2 = a.extent[1];
  return a.dimensions == 2 ? 3 * d1 + 6 : 3 * d1 * (d2 + 1) + 7;
}

// Appends the index words of table A (the nodes and leaves that the table
// interpolation walks; value positions count from 1 at the array's first value).
void GenerateIntegerArrayData(const ArrayRecord& a, std::vector<std::int32_t>& words) {
  const auto w = [&](std::int64_t v) { words.push_back(static_cast<std::int32_t>(v)); };
  const std::int64_t d1 = a.extent[0], d2 = a.extent[1], d3 = a.extent[2];
  if (a.dimensions == 2) {
    const std::int64_t n = d1 * d2;
    for (std::int64_t v : {2, 1, 2, 2}) w(v);
    w(d1);
    w(n + 1);
    for (std::int64_t j = 1; j <= d1; ++j) {
      w(d2);
      w(n + d1 + 1);
      w((j - 1) * d2 + 1);
    }
    return;
  }
  const std::int64_t n = d1 * d2 * d3;
  for (std::int64_t v : {3, 1, 2, 3}) w(v);
  w(3 * d1 * d2 + 2 * d1 + 2);
  for (std::int64_t i = 1; i <= d1; ++i) {
    w(d2);
    w(n + d1 + 1);
    for (std::int64_t k = 1; k <= d2; ++k) {
      w(d3);
      w(n + d1 + d2 + 1);
      w((i - 1) * d2 * d3 + (k - 1) * d3 + 1);
    }
  }
  w(d1);
  w(n + 1);
  for (std::int64_t i = 1; i <= d1; ++i) w(2 + (i - 1) * (3 * d2 + 2));
}

// Reads the records of ArrayInformation (as many as the group counts) and
// checks them against the group's counts: every size and table extent is
// sensible, the sizes add up to numberOfArrayValues and the index lengths to
// numberOfArrayIndexValues, so that the words generated and the values read
// fill the results exactly.
void read_records(const kalvir::acd::Checker& check, hid_t arrays, const std::string& item, const ArrayCounts& counts,
                  std::vector<ArrayRecord>& records) {
  const auto n = static_cast<std::size_t>(counts.arrays);
  const std::string info = item + "/ArrayInformation";
  const Handle set = check.records(arrays, "ArrayInformation", info, n, "numberOfArrays");
  std::vector<std::string> names(n);
  check.read_member(set.get(), "arrayName", kArrayNameLength, names, info);
  static constexpr std::array<const char*, 6> kMembers{"arrayType",  "size",       "numberOfDimensions",
                                                       "dimension1", "dimension2", "dimension3"};
  std::array<std::vector<std::int32_t>, 6> column;
  for (std::size_t m = 0; m < kMembers.size(); ++m) {
    column[m].resize(n);
    check.read_member(set.get(), kMembers[m], column[m], info);
  }
  records.assign(n, {});
  std::int64_t values = 0, index = 0;
  for (std::size_t k = 0; k < n; ++k) {
    ArrayRecord& a = records[k];
    a.name = names[k];
    a.type = column[0][k];
    a.size = column[1][k];
    a.dimensions = column[2][k];
    a.extent = {column[3][k], column[4][k], column[5][k]};
    const std::string record = info + " record " + std::to_string(k + 1) + " (" +
                               std::string(kalvir::trim_right(a.name)) + ")";
    if (a.size < 0) check.bad_data("size below 0", record);
    if (a.type == 4) {
      if (a.dimensions != 2 && a.dimensions != 3) internal_stop("(acda)GenerateIntegerArrayData");
      for (int d = 0; d < a.dimensions; ++d)
        if (a.extent[static_cast<std::size_t>(d)] < 1) check.bad_data("table dimension below 1", record);
      // Extents are 32-bit, so these products stay far inside 64 bits.
      if (table_values(a) > a.size) check.bad_data("table larger than its size", record);
      const std::int64_t length = table_index_length(a);
      if (length > kMaxWords) check.bad_data("table index too long", record);
      a.index_length = static_cast<std::int32_t>(length);
    }
    values += a.size;
    index += a.index_length;
  }
  if (values != counts.values) check.bad_data("numberOfArrayValues differs from the sum of the sizes", item);
  if (index != counts.index) check.bad_data("numberOfArrayIndexValues differs from the index lengths of the tables", item);
}

}  // namespace

void acda_open(std::string_view MODELNAME) {
  ArrayReader& r = reader();
  r.cursor.clear();
  r.records.clear();
  r.moved = false;
  r.file.reset();
  const std::string name = std::string(kalvir::trim_right(MODELNAME)) + ".acd";
  if (name.size() > kFileNameLength) {
    r.file_name = name.substr(0, kFileNameLength);
    ERRNEW("ACD file name too long@Initialising ACD Arrays Load@ACD file name: " + r.file_name + "@", 1, 1,
           "(acda)OpenFile");
  } else {
    r.file_name = name;
    r.file = kalvir::acdio::open_file(r.file_name);
    // A file that is not there is reported once, by the solution manager's
    // open, which ends the run; one that is there but will not open is
    // reported here.
    if (!r.file.valid() && kalvir::platform::file_exists(r.file_name))
      ERRNEW("Cannot open ACD file@Initialising ACD Arrays Load@ACD file name: " + r.file_name + "@", 1, 2,
             "(acda)OpenFile");
  }
  CursorNode main;
  main.name = kalvir::padded(MODELNAME, kNameLength);
  main.level = 0;
  main.group = r.file.get();
  r.cursor.push_back(std::move(main));
}

void acda_getnumberofarrayvalues(std::int32_t& NINDEX, std::int32_t& NVALUES) {
  NINDEX = 0;
  NVALUES = 0;
  const ArrayReader& r = reader();
  if (!r.file.valid()) return;
  std::int64_t nindex = 0, nvalues = 0;
  getnumberofarrayvalues(r.file.get(), nindex, nvalues);
  if (nindex > kMaxWords || nvalues > kMaxWords)
    count_checker().bad_data("more array values than the stores can hold", "/");
  NINDEX = static_cast<std::int32_t>(nindex);
  NVALUES = static_cast<std::int32_t>(nvalues);
}

void acda_movenextsubmodel(std::string_view NAME, std::int32_t LEVEL) {
  ArrayReader& r = reader();
  if (r.cursor.empty()) return;  // not opened
  r.moved = true;
  if (LEVEL <= 0) {
    while (r.cursor.size() > 1) close_current();
    return;
  }
  // Back up to the node that the new one hangs under.
  while (r.cursor.size() > 1 && r.cursor.back().level >= LEVEL) close_current();
  enter(NAME, LEVEL);
}

void acda_getarraydata(std::int32_t& NARRAYS, std::int32_t& NVALUES, std::int32_t& NINDEX,
                       std::vector<double>& arrayreals, std::vector<std::int32_t>& arrayints) {
  NARRAYS = 0;
  NVALUES = 0;
  NINDEX = 0;
  arrayreals.clear();
  arrayints.clear();
  ArrayReader& r = reader();
  r.records.clear();
  if (!r.moved || r.cursor.empty()) return;
  const CursorNode& node = r.cursor.back();
  if (node.group < 0 || !kalvir::acdio::link_exists(node.group, "ModelData/Arrays")) return;
  const kalvir::acd::Checker& check = checker();
  const std::string where = path_of(node);
  const Handle arrays = check.group(node.group, "ModelData/Arrays", where + "/ModelData/Arrays");
  const std::string item = kalvir::acdio::object_name(arrays.get());
  const ArrayCounts counts = confirmed_counts(check, arrays.get(), item, r.records);
  if (counts.arrays < 1) return;  // no arrays: no values either
  const std::int32_t narrays = counts.arrays, nvalues = counts.values, nindex = counts.index;

  std::vector<double> reals;
  if (nvalues >= 1) {
    const Handle data =
        check.dataset(arrays.get(), "ArrayData", item + "/ArrayData", {static_cast<hsize_t>(nvalues)},
                      {"numberOfArrayValues"});
    reals.resize(static_cast<std::size_t>(nvalues));
    check.read(data.get(), reals, item + "/ArrayData");
  }
  std::vector<std::int32_t> ints;
  ints.reserve(static_cast<std::size_t>(nindex));
  for (const ArrayRecord& a : r.records)
    if (a.type == 4) GenerateIntegerArrayData(a, ints);
  NARRAYS = narrays;
  NVALUES = nvalues;
  NINDEX = nindex;
  arrayreals = std::move(reals);
  arrayints = std::move(ints);
}

void acda_updatearraypointers(std::int32_t NARRAYS, std::int32_t INDEXBASE, std::int32_t VALUEBASE,
                              kalvir::Array1<std::int32_t>& INFOPOINTERS, kalvir::Array1<std::int32_t>& INFOLIST,
                              const kalvir::CharArray<18>& NAMES, std::int32_t INFOBASE, std::int32_t FIRST,
                              std::int32_t LAST) {
  ArrayReader& r = reader();
  const std::size_t n = std::min(r.records.size(), static_cast<std::size_t>(std::max(NARRAYS, 0)));
  std::int64_t index_start = std::int64_t{INDEXBASE} + 1;
  std::int64_t value_start = std::int64_t{VALUEBASE} + 1;
  const std::int64_t last = std::min({std::int64_t{LAST}, INFOPOINTERS.size(), NAMES.size()});
  for (std::size_t k = 0; k < n; ++k) {
    const ArrayRecord& a = r.records[k];
    // An 18-character model name equals the 19-character record name only
    // when the record's last character is blank.
    const bool fits = a.name.size() <= 18 || kalvir::is_blank(std::string_view(a.name).substr(18));
    std::int64_t found = 0;
    if (fits)
      for (std::int64_t m = std::max<std::int64_t>(FIRST, 0) + 1; m <= last && found == 0; ++m)
        if (kalvir::same_trimmed(NAMES(m), std::string_view(a.name).substr(0, 18))) found = m;
    if (found != 0) {
      const std::int64_t e = std::int64_t{INFOPOINTERS(found)} + INFOBASE;
      if (e < 1 || e > INFOLIST.size()) internal_stop("(acda)UpdateArrayPointers");
      const std::int32_t form = INFOLIST(e);
      // The loader's entries hold every word of their form.
      const auto room = [&](std::int64_t words) {
        if (e + words - 1 > INFOLIST.size()) internal_stop("(acda)UpdateArrayPointers");
      };
      if (a.type == 2 && form == 2) {
        room(3);
        INFOLIST(e + 1) = a.size;
        INFOLIST(e + 2) = static_cast<std::int32_t>(value_start);
      } else if (a.type == 4 && form == 4) {
        room(5);
        INFOLIST(e + 1) = a.index_length;
        INFOLIST(e + 2) = static_cast<std::int32_t>(index_start);
        INFOLIST(e + 3) = a.size;
        INFOLIST(e + 4) = static_cast<std::int32_t>(value_start);
      } else {
        // The entry's layout follows its form; words of another layout
        // would make the model's array point at the wrong values.
        SETERX("ACD array does not fit the model array and is ignored@Array: " +
                   std::string(kalvir::trim_right(a.name)) + ", arrayType " + std::to_string(a.type) +
                   ", model array form " + std::to_string(form) + "<NL>ACD file: " + r.file_name + "@",
               2, 1, "(acda)UpdateArrayPointers");
      }
    }
    index_start += a.index_length;
    value_start += a.size;
  }
  r.records.clear();
}

void acda_close() {
  ArrayReader& r = reader();
  // Innermost first: every group before the groups and the file it lies in.
  while (!r.cursor.empty()) r.cursor.pop_back();
  r.records.clear();
  r.moved = false;
  r.file.reset();
}
