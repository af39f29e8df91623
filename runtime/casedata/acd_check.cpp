// Checked access to ACD items (see acd_check.h).
#include "runtime/casedata/acd_check.h"

#include <hdf5.h>

#include <cmath>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"

namespace kalvir::acd {

void Checker::fail(std::string_view head, std::string_view label, std::string_view problem,
                   std::string_view item) const {
  std::string text(head);
  text += "@";
  text += problem;
  text += "@";
  text += label;
  text += ": ";
  text += item;
  text += "<NL>ACD file: " + file_() + "@";
  SETERX(text, 4, head == "Invalid ACD data" ? 3 : 1, routine_);
  // A fatal message does not come back; should it ever, the run still ends.
  internal_stop(routine_);
}

void Checker::bad_dataset(std::string_view problem, std::string_view item) const {
  fail("Cannot read ACD dataset", "Dataset", problem, item);
}
void Checker::bad_attribute(std::string_view problem, std::string_view item) const {
  fail("Cannot read ACD attribute", "Attribute", problem, item);
}
void Checker::bad_group(std::string_view problem, std::string_view item) const {
  fail("Cannot read ACD group", "Group", problem, item);
}
void Checker::bad_data(std::string_view problem, std::string_view item) const {
  fail("Invalid ACD data", "Item", problem, item);
}

acdio::Handle Checker::group(hid_t location, const std::string& path, const std::string& item) const {
  if (!acdio::link_exists(location, path)) bad_group("group missing", item);
  acdio::Handle g = acdio::open_group(location, path);
  if (!g.valid()) bad_group("not a group", item);
  return g;
}

namespace {
template <typename T>
T attribute(const Checker& check, hid_t location, const std::string& object, const std::string& name,
            const std::string& item) {
  const std::string what = name + " of " + item;
  if (!acdio::attribute_exists(location, object, name)) check.bad_attribute("attribute missing", what);
  T value{};
  if (!acdio::read_attribute(location, object, name, value))
    check.bad_attribute("not a single number", what);
  return value;
}
}  // namespace

std::int32_t Checker::int_attribute(hid_t location, const std::string& object, const std::string& name,
                                    const std::string& item) const {
  return attribute<std::int32_t>(*this, location, object, name, item);
}

double Checker::double_attribute(hid_t location, const std::string& object, const std::string& name,
                                 const std::string& item) const {
  const double value = attribute<double>(*this, location, object, name, item);
  if (!std::isfinite(value)) bad_data("not a finite number", name + " of " + item);
  return value;
}

namespace {
// " by NAME" for a count that came from attribute NAME.
std::string counted(std::string_view name) { return name.empty() ? std::string() : " by " + std::string(name); }
}  // namespace

acdio::Handle Checker::dataset(hid_t location, const std::string& path, const std::string& item,
                               std::initializer_list<hsize_t> least,
                               std::initializer_list<std::string_view> counted_by) const {
  if (!acdio::link_exists(location, path)) bad_dataset("dataset missing", item);
  acdio::Handle set = acdio::open_dataset(location, path);
  if (!set.valid()) bad_dataset("not a dataset", item);
  const acdio::Handle type(H5Dget_type(set.get()), H5Tclose);
  const H5T_class_t kind = type.valid() ? H5Tget_class(type.get()) : H5T_NO_CLASS;
  if (kind != H5T_INTEGER && kind != H5T_FLOAT) bad_dataset("values are not numbers", item);
  const std::vector<hsize_t> dims = acdio::dataset_dims(set.get());
  if (dims.size() != least.size())
    bad_dataset("dataset has " + std::to_string(dims.size()) + " dimensions, " + std::to_string(least.size()) +
                    " expected",
                item);
  std::size_t d = 0;
  for (const hsize_t n : least) {
    if (dims[d] < n)
      bad_dataset("dimension " + std::to_string(d + 1) + " has " + std::to_string(dims[d]) + " elements, " +
                      std::to_string(n) + " needed" +
                      counted(d < counted_by.size() ? counted_by.begin()[d] : std::string_view()),
                  item);
    ++d;
  }
  return set;
}

acdio::Handle Checker::records(hid_t location, const std::string& path, const std::string& item, std::size_t n,
                               std::string_view counted_by) const {
  if (!acdio::link_exists(location, path)) bad_dataset("dataset missing", item);
  acdio::Handle set = acdio::open_dataset(location, path);
  if (!set.valid()) bad_dataset("not a dataset", item);
  const acdio::Handle type(H5Dget_type(set.get()), H5Tclose);
  if (!type.valid() || H5Tget_class(type.get()) != H5T_COMPOUND) bad_dataset("records are not compound", item);
  const std::vector<hsize_t> dims = acdio::dataset_dims(set.get());
  if (dims.size() != 1) bad_dataset("dataset is not one-dimensional", item);
  if (dims[0] < n)
    bad_dataset("dataset has " + std::to_string(dims[0]) + " records, " + std::to_string(n) + " needed" +
                    counted(counted_by),
                item);
  return set;
}

void Checker::read(hid_t dataset, std::span<double> out, const std::string& item) const {
  if (!acdio::read_leading(dataset, out)) bad_dataset("read failed", item);
}
void Checker::read(hid_t dataset, std::span<std::int32_t> out, const std::string& item) const {
  if (!acdio::read_leading(dataset, out)) bad_dataset("read failed", item);
}
void Checker::read_member(hid_t dataset, const char* member, std::span<double> out, const std::string& item) const {
  if (!acdio::read_member(dataset, member, out))
    bad_dataset("member " + std::string(member) + " missing or not a number", item);
}
void Checker::read_member(hid_t dataset, const char* member, std::span<std::int32_t> out,
                          const std::string& item) const {
  if (!acdio::read_member(dataset, member, out))
    bad_dataset("member " + std::string(member) + " missing or not a number", item);
}
void Checker::read_member(hid_t dataset, const char* member, std::size_t width, std::vector<std::string>& out,
                          const std::string& item) const {
  if (!acdio::read_member(dataset, member, width, out))
    bad_dataset("member " + std::string(member) + " missing or not a string", item);
}

void Checker::ascending(std::span<const double> values, const std::string& item) const {
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (!std::isfinite(values[k])) bad_data("value " + std::to_string(k + 1) + " not finite", item);
    if (k > 0 && values[k] < values[k - 1]) bad_data("values not in ascending order", item);
  }
}

}  // namespace kalvir::acd
