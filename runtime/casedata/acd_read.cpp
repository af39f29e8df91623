// HDF5 read layer of the ACD readers (see acd_read.h).
#include "runtime/casedata/acd_read.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace kalvir::acdio {
namespace {

std::int64_t reads = 0;

bool numeric_class(H5T_class_t c) { return c == H5T_INTEGER || c == H5T_FLOAT; }

Handle type_of(hid_t dataset) { return Handle(H5Dget_type(dataset), H5Tclose); }
Handle space_of(hid_t dataset) { return Handle(H5Dget_space(dataset), H5Sclose); }

// Dimensions of a dataspace; empty when it is not simple or cannot be read.
std::vector<hsize_t> dims_of(hid_t space) {
  if (H5Sget_simple_extent_type(space) != H5S_SIMPLE) return {};
  const int rank = H5Sget_simple_extent_ndims(space);
  if (rank < 1 || rank > 8) return {};
  std::vector<hsize_t> dims(static_cast<std::size_t>(rank));
  if (H5Sget_simple_extent_dims(space, dims.data(), nullptr) != rank) return {};
  return dims;
}

bool numeric_dataset(hid_t dataset) {
  const Handle type = type_of(dataset);
  return type.valid() && numeric_class(H5Tget_class(type.get()));
}

// A transfer property list that lends the library type-conversion and
// background buffers sized to the transfer. Left to itself the library takes
// a zeroed conversion buffer of 1 MiB (and a zeroed background buffer) on
// every read that converts, such as each member read of a compound dataset,
// however few the values.
class ConversionBuffers {
 public:
  ConversionBuffers(hsize_t n, std::size_t file_size, std::size_t memory_size) {
    constexpr std::size_t kMostBytes = std::size_t{1} << 20;  // the library's own size
    const std::size_t element = std::max(file_size, memory_size);
    if (element == 0) return;
    const std::size_t elements = std::max<std::size_t>(1, std::min<hsize_t>(n, kMostBytes / element));
    const std::size_t bytes = elements * element;
    conversion_ = std::make_unique_for_overwrite<unsigned char[]>(bytes);
    background_ = std::make_unique_for_overwrite<unsigned char[]>(bytes);
    transfer_ = Handle(H5Pcreate(H5P_DATASET_XFER), H5Pclose);
    if (transfer_.valid() && H5Pset_buffer(transfer_.get(), bytes, conversion_.get(), background_.get()) < 0)
      transfer_.reset();
  }
  bool valid() const { return transfer_.valid(); }
  hid_t transfer() const { return transfer_.get(); }

 private:
  std::unique_ptr<unsigned char[]> conversion_, background_;
  Handle transfer_;
};

// Reads a hyperslab (start, count) of the dataset into n elements of memory type mtype.
bool read_slab(hid_t dataset, hid_t mtype, std::span<const hsize_t> start, std::span<const hsize_t> count,
               hsize_t n, void* out) {
  const Handle fspace = space_of(dataset);
  if (!fspace.valid()) return false;
  if (H5Sselect_hyperslab(fspace.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr) < 0) return false;
  const Handle mspace(H5Screate_simple(1, &n, nullptr), H5Sclose);
  if (!mspace.valid()) return false;
  const Handle ftype = type_of(dataset);
  if (!ftype.valid()) return false;
  ConversionBuffers buffers(n, H5Tget_size(ftype.get()), H5Tget_size(mtype));
  if (!buffers.valid()) return false;
  ++reads;
  return H5Dread(dataset, mtype, mspace.get(), fspace.get(), buffers.transfer(), out) >= 0;
}

template <typename T>
bool read_leading_as(hid_t dataset, hid_t mtype, std::span<T> out) {
  if (out.empty()) return true;
  if (!numeric_dataset(dataset)) return false;
  const Handle fspace = space_of(dataset);
  if (!fspace.valid()) return false;
  const std::vector<hsize_t> dims = dims_of(fspace.get());
  if (dims.size() != 1 || dims[0] < out.size()) return false;
  const std::array<hsize_t, 1> start{0}, count{out.size()};
  return read_slab(dataset, mtype, start, count, out.size(), out.data());
}

// The compound dataset's member `member`, checked to exist with a class that
// `accept` allows, and the dataset's own record count.
template <typename Accept>
bool compound_member(hid_t dataset, const char* member, std::size_t n, Accept accept) {
  const Handle type = type_of(dataset);
  if (!type.valid() || H5Tget_class(type.get()) != H5T_COMPOUND) return false;
  const int index = H5Tget_member_index(type.get(), member);
  if (index < 0) return false;
  if (!accept(H5Tget_member_class(type.get(), static_cast<unsigned>(index)))) return false;
  const Handle space = space_of(dataset);
  if (!space.valid()) return false;
  const std::vector<hsize_t> dims = dims_of(space.get());
  return dims.size() == 1 && dims[0] >= n;
}

template <typename T>
bool read_member_as(hid_t dataset, const char* member, hid_t native, std::span<T> out) {
  if (out.empty()) return true;
  if (!compound_member(dataset, member, out.size(), numeric_class)) return false;
  const Handle mtype(H5Tcreate(H5T_COMPOUND, sizeof(T)), H5Tclose);
  if (!mtype.valid() || H5Tinsert(mtype.get(), member, 0, native) < 0) return false;
  const std::array<hsize_t, 1> start{0}, count{out.size()};
  return read_slab(dataset, mtype.get(), start, count, out.size(), out.data());
}

}  // namespace

Handle::Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    reset();
    id_ = std::exchange(other.id_, -1);
    close_ = other.close_;
  }
  return *this;
}

void Handle::reset() {
  if (id_ >= 0 && close_ != nullptr) {
    // After a failed run has shut the library down the id is stale; closing
    // it then would only make the library complain.
    if (H5Iis_valid(id_) > 0) static_cast<void>(close_(id_));
  }
  id_ = -1;
}

void quiet_errors() { static_cast<void>(H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr)); }

std::int64_t read_count() { return reads; }
void reset_read_count() { reads = 0; }

Handle open_file(const std::string& name) {
  quiet_errors();
  return Handle(H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
}

Handle open_group(hid_t location, const std::string& path) {
  if (location < 0 || !link_exists(location, path)) return {};
  H5O_info_t info{};
  if (H5Oget_info_by_name(location, path.c_str(), &info, H5P_DEFAULT) < 0 || info.type != H5O_TYPE_GROUP) return {};
  return Handle(H5Gopen2(location, path.c_str(), H5P_DEFAULT), H5Gclose);
}

Handle open_dataset(hid_t location, const std::string& path) {
  if (location < 0 || !link_exists(location, path)) return {};
  H5O_info_t info{};
  if (H5Oget_info_by_name(location, path.c_str(), &info, H5P_DEFAULT) < 0 || info.type != H5O_TYPE_DATASET)
    return {};
  return Handle(H5Dopen2(location, path.c_str(), H5P_DEFAULT), H5Dclose);
}

bool link_exists(hid_t location, std::string_view path) {
  if (location < 0 || path.empty()) return false;
  // H5Lexists wants every intermediate link to exist, so test one step at a time.
  for (std::size_t at = 0;;) {
    const std::size_t slash = path.find('/', at);
    const std::string prefix(path.substr(0, slash));
    if (!prefix.empty() && prefix != "." && H5Lexists(location, prefix.c_str(), H5P_DEFAULT) <= 0) return false;
    if (slash == std::string_view::npos) return true;
    at = slash + 1;
  }
}

bool attribute_exists(hid_t location, const std::string& object, const std::string& name) {
  if (object != "." && !link_exists(location, object)) return false;
  return H5Aexists_by_name(location, object.c_str(), name.c_str(), H5P_DEFAULT) > 0;
}

namespace {
template <typename T>
bool read_scalar_attribute(hid_t location, const std::string& object, const std::string& name, hid_t native,
                           T& value) {
  if (!attribute_exists(location, object, name)) return false;
  const Handle attr(H5Aopen_by_name(location, object.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  if (!attr.valid()) return false;
  const Handle type(H5Aget_type(attr.get()), H5Tclose);
  if (!type.valid() || !numeric_class(H5Tget_class(type.get()))) return false;
  const Handle space(H5Aget_space(attr.get()), H5Sclose);
  // One element only: the value goes into a single variable.
  if (!space.valid() || H5Sget_simple_extent_npoints(space.get()) != 1) return false;
  T read{};
  ++reads;
  if (H5Aread(attr.get(), native, &read) < 0) return false;
  value = read;
  return true;
}
}  // namespace

bool read_attribute(hid_t location, const std::string& object, const std::string& name, std::int32_t& value) {
  return read_scalar_attribute(location, object, name, H5T_NATIVE_INT32, value);
}

bool read_attribute(hid_t location, const std::string& object, const std::string& name, double& value) {
  return read_scalar_attribute(location, object, name, H5T_NATIVE_DOUBLE, value);
}

std::vector<hsize_t> dataset_dims(hid_t dataset) {
  const Handle space = space_of(dataset);
  if (!space.valid()) return {};
  return dims_of(space.get());
}

bool read_leading(hid_t dataset, std::span<double> out) {
  return read_leading_as(dataset, H5T_NATIVE_DOUBLE, out);
}

bool read_leading(hid_t dataset, std::span<std::int32_t> out) {
  return read_leading_as(dataset, H5T_NATIVE_INT32, out);
}

bool read_row(hid_t dataset, hsize_t row, std::span<double> out) {
  if (out.empty()) return true;
  if (!numeric_dataset(dataset)) return false;
  const std::vector<hsize_t> dims = dataset_dims(dataset);
  if (dims.size() != 2 || row >= dims[0] || dims[1] < out.size()) return false;
  const std::array<hsize_t, 2> start{row, 0}, count{1, out.size()};
  return read_slab(dataset, H5T_NATIVE_DOUBLE, start, count, out.size(), out.data());
}

bool read_row_3d(hid_t dataset, hsize_t row, hsize_t n2, hsize_t n3, std::span<double> out) {
  if (n2 == 0 || n3 == 0) return true;
  if (out.size() < n2 * n3 || !numeric_dataset(dataset)) return false;
  const std::vector<hsize_t> dims = dataset_dims(dataset);
  if (dims.size() != 3 || row >= dims[0] || dims[1] < n2 || dims[2] < n3) return false;
  // The file's last dimension is the band, so the slab arrives band fastest.
  const std::array<hsize_t, 3> start{row, 0, 0}, count{1, n2, n3};
  return read_slab(dataset, H5T_NATIVE_DOUBLE, start, count, n2 * n3, out.data());
}

bool read_member(hid_t dataset, const char* member, std::span<double> out) {
  return read_member_as(dataset, member, H5T_NATIVE_DOUBLE, out);
}

bool read_member(hid_t dataset, const char* member, std::span<std::int32_t> out) {
  return read_member_as(dataset, member, H5T_NATIVE_INT32, out);
}

bool read_member(hid_t dataset, const char* member, std::size_t width, std::vector<std::string>& out) {
  const std::size_t n = out.size();
  if (n == 0) return true;
  if (width == 0) return false;
  if (!compound_member(dataset, member, n, [](H5T_class_t c) { return c == H5T_STRING; })) return false;
  const Handle text(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!text.valid() || H5Tset_size(text.get(), width) < 0 || H5Tset_strpad(text.get(), H5T_STR_SPACEPAD) < 0)
    return false;
  const Handle mtype(H5Tcreate(H5T_COMPOUND, width), H5Tclose);
  if (!mtype.valid() || H5Tinsert(mtype.get(), member, 0, text.get()) < 0) return false;
  std::vector<char> buffer(n * width, ' ');
  const std::array<hsize_t, 1> start{0}, count{n};
  if (!read_slab(dataset, mtype.get(), start, count, n, buffer.data())) return false;
  std::replace(buffer.begin(), buffer.end(), '\0', ' ');
  for (std::size_t k = 0; k < n; ++k) out[k].assign(buffer.data() + k * width, width);
  return true;
}

std::string object_name(hid_t object) {
  std::array<char, 101> name{};
  const ssize_t n = H5Iget_name(object, name.data(), name.size());
  if (n <= 0) return {};
  return std::string(name.data(), std::min<std::size_t>(static_cast<std::size_t>(n), name.size() - 1));
}

bool member_names(hid_t group, std::vector<std::string>& names) {
  names.clear();
  H5G_info_t info{};
  if (H5Gget_info(group, &info) < 0) return false;
  for (hsize_t k = 0; k < info.nlinks; ++k) {
    const ssize_t n = H5Lget_name_by_idx(group, ".", H5_INDEX_NAME, H5_ITER_INC, k, nullptr, 0, H5P_DEFAULT);
    if (n < 0) return false;
    std::string name(static_cast<std::size_t>(n) + 1, '\0');
    if (H5Lget_name_by_idx(group, ".", H5_INDEX_NAME, H5_ITER_INC, k, name.data(), name.size(), H5P_DEFAULT) < 0)
      return false;
    name.resize(static_cast<std::size_t>(n));
    names.push_back(std::move(name));
  }
  return true;
}

}  // namespace kalvir::acdio
