// The small HDF5 read layer of the ACD readers: owned handles that are closed
// on every path, and checked reads that never write past the caller's buffer
// (every read first checks the rank, the extent and the element type of what
// it reads). The library's own error printing is switched off: failures come
// back as false and the readers report them in the run's own words.
#pragma once

#include <hdf5.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalvir::acdio {

// An HDF5 id owned by one object and closed with its own close routine.
class Handle {
 public:
  Handle() = default;
  Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  Handle(Handle&& other) noexcept;
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }

  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }
  // Closes the id now (when it is still a live id of the library: a failed
  // run may have shut the library down before the owner goes).
  void reset();

 private:
  hid_t id_ = -1;
  herr_t (*close_)(hid_t) = nullptr;
};

// Switches the library's error printing off (it is switched on again whenever
// the library is restarted, so every open calls this).
void quiet_errors();

// Number of dataset and attribute reads done through this layer since the
// last reset; tests use it to see which reads an operation does.
std::int64_t read_count();
void reset_read_count();

Handle open_file(const std::string& name);
Handle open_group(hid_t location, const std::string& path);
Handle open_dataset(hid_t location, const std::string& path);

// True when every link along path exists (so a missing group half way is
// "no", not an error).
bool link_exists(hid_t location, std::string_view path);
bool attribute_exists(hid_t location, const std::string& object, const std::string& name);

// Scalar (one-element) numeric attributes of object (a path relative to
// location, "." for location itself).
bool read_attribute(hid_t location, const std::string& object, const std::string& name, std::int32_t& value);
bool read_attribute(hid_t location, const std::string& object, const std::string& name, double& value);

// Extent of a dataset: its dimensions, slowest first; empty on failure.
std::vector<hsize_t> dataset_dims(hid_t dataset);

// The first out.size() elements of a one-dimensional numeric dataset.
bool read_leading(hid_t dataset, std::span<double> out);
bool read_leading(hid_t dataset, std::span<std::int32_t> out);

// Row `row` (counted from 0) of a two-dimensional numeric dataset, its first
// out.size() columns.
bool read_row(hid_t dataset, hsize_t row, std::span<double> out);

// Row `row` of a three-dimensional dataset (row, n2, n3): out(b, k) =
// element (row, k, b) for k < n2 and b < n3, so that b varies fastest.
bool read_row_3d(hid_t dataset, hsize_t row, hsize_t n2, hsize_t n3, std::span<double> out);

// One member, by name, of the first out.size() records of a one-dimensional
// compound dataset.
bool read_member(hid_t dataset, const char* member, std::span<double> out);
bool read_member(hid_t dataset, const char* member, std::span<std::int32_t> out);
// A string member read as blank-padded strings of `width` characters (a
// longer value is cut).
bool read_member(hid_t dataset, const char* member, std::size_t width, std::vector<std::string>& out);

// The dataset's path name in the file ("" when the library cannot tell).
std::string object_name(hid_t object);

// Names of the members of a group in ascending name order.
bool member_names(hid_t group, std::vector<std::string>& names);

}  // namespace kalvir::acdio
