// Checked access to the items of an ACD file for its two readers: every
// group, attribute and dataset is looked at before it is used (presence, kind,
// element type, rank and extent), and a bad item ends the run with a fatal
// message that names the item and the file.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/casedata/acd_read.h"

namespace kalvir::acd {

class Checker {
 public:
  // ROUTINE is the routine named in the messages; FILE gives the file name.
  Checker(std::string routine, std::function<std::string()> file)
      : routine_(std::move(routine)), file_(std::move(file)) {}

  // Fatal messages: "Cannot read ACD dataset", "Cannot read ACD attribute",
  // "Cannot read ACD group" and "Invalid ACD data", each with the problem,
  // the item and the file name.
  [[noreturn]] void bad_dataset(std::string_view problem, std::string_view item) const;
  [[noreturn]] void bad_attribute(std::string_view problem, std::string_view item) const;
  [[noreturn]] void bad_group(std::string_view problem, std::string_view item) const;
  [[noreturn]] void bad_data(std::string_view problem, std::string_view item) const;

  // ITEM is the path of the thing in the file, for the messages.
  acdio::Handle group(hid_t location, const std::string& path, const std::string& item) const;
  // A one-element numeric attribute NAME of OBJECT ("." for LOCATION itself).
  std::int32_t int_attribute(hid_t location, const std::string& object, const std::string& name,
                             const std::string& item) const;
  double double_attribute(hid_t location, const std::string& object, const std::string& name,
                          const std::string& item) const;
  // A numeric dataset of rank least.size() whose every dimension is at least
  // the one given. COUNTED_BY names, dimension by dimension, the count
  // attribute that gave the extent, so that a count the dataset does not
  // confirm is reported by name.
  acdio::Handle dataset(hid_t location, const std::string& path, const std::string& item,
                        std::initializer_list<hsize_t> least,
                        std::initializer_list<std::string_view> counted_by = {}) const;
  // A one-dimensional compound dataset with at least N records (N from the
  // count attribute COUNTED_BY, when given).
  acdio::Handle records(hid_t location, const std::string& path, const std::string& item, std::size_t n,
                        std::string_view counted_by = {}) const;

  void read(hid_t dataset, std::span<double> out, const std::string& item) const;
  void read(hid_t dataset, std::span<std::int32_t> out, const std::string& item) const;
  void read_member(hid_t dataset, const char* member, std::span<double> out, const std::string& item) const;
  void read_member(hid_t dataset, const char* member, std::span<std::int32_t> out, const std::string& item) const;
  void read_member(hid_t dataset, const char* member, std::size_t width, std::vector<std::string>& out,
                   const std::string& item) const;

  // Finite values in ascending (non-decreasing) order.
  void ascending(std::span<const double> values, const std::string& item) const;

 private:
  [[noreturn]] void fail(std::string_view head, std::string_view label, std::string_view problem,
                         std::string_view item) const;
  std::string routine_;
  std::function<std::string()> file_;
};

}  // namespace kalvir::acd
