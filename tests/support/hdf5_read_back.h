// Reading a TMD file back through the HDF5 C API, independently of the
// writer: object listings, attribute and dataset descriptions (type, shape,
// chunk, filter) and the values of datasets and compound members.
#pragma once

#include <hdf5.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kalvir::test {

class H5Reader {
 public:
  explicit H5Reader(const std::string& path);
  ~H5Reader();
  H5Reader(const H5Reader&) = delete;
  H5Reader& operator=(const H5Reader&) = delete;
  bool ok() const { return file_ >= 0; }

  // Every group and dataset below the root as "/path", in name order.
  std::vector<std::string> objects() const;
  // Attribute names of an object, in name order.
  std::vector<std::string> attributes(const std::string& object) const;

  // "string 24 spacepad [1]", "double scalar", ...
  std::string describe_attribute(const std::string& object, const std::string& name) const;
  std::string string_attribute(const std::string& object, const std::string& name) const;
  double double_attribute(const std::string& object, const std::string& name) const;

  // "int32 (3, 2) max (3, 2) chunk (3, 2) deflate 1 fill-alloc", with
  // "unlimited" for an unlimited maximum; compounds list their members.
  std::string describe_dataset(const std::string& path) const;
  std::vector<std::uint64_t> dims(const std::string& path) const;

  std::vector<double> doubles(const std::string& path) const;
  std::vector<std::int32_t> ints(const std::string& path) const;
  // Fixed-length strings of the dataset's size, padding kept.
  std::vector<std::string> strings(const std::string& path) const;
  // One member of a compound dataset.
  std::vector<std::string> string_member(const std::string& path, const std::string& member, std::size_t size) const;
  std::vector<std::int32_t> int_member(const std::string& path, const std::string& member) const;

 private:
  hid_t file_ = -1;
};

// Describes a datatype as the listings above do.
std::string describe_type(hid_t type);

}  // namespace kalvir::test
