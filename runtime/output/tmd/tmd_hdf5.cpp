#include "runtime/output/tmd/tmd_hdf5.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "runtime/platform/fixed_string.h"

namespace kalvir::tmd {

namespace {
constexpr hsize_t kMaxChunkItems = 1000;
constexpr unsigned kDeflateLevel = 1;

std::string name_text(std::string_view name) { return std::string(trim_right(name)); }
}  // namespace

hdf5::Datatype string_type(std::size_t n) {
  // The predefined Fortran string type is the one-byte blank-padded one.
  hdf5::Datatype type(check_id(H5Tcopy(H5T_FORTRAN_S1)));
  check(H5Tset_size(type.get(), n));
  check(H5Tset_strpad(type.get(), H5T_STR_SPACEPAD));
  check(H5Tset_cset(type.get(), H5T_CSET_ASCII));
  return type;
}

void hsrstringattributecreate(hid_t loc, std::size_t size, std::string_view name, std::string_view value) {
  const hdf5::Datatype type = string_type(size);
  const hsize_t one = 1;
  const hdf5::Dataspace space(check_id(H5Screate_simple(1, &one, nullptr)));
  const hdf5::Attribute attr(
      check_id(H5Acreate2(loc, name_text(name).c_str(), type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT)));
  const std::string text = padded(value, size);
  check(H5Awrite(attr.get(), type.get(), text.data()));
}

void double_attribute_create(hid_t loc, std::string_view name, double value) {
  const hdf5::Dataspace space(check_id(H5Screate(H5S_SCALAR)));
  const hdf5::Attribute attr(
      check_id(H5Acreate2(loc, name_text(name).c_str(), H5T_NATIVE_DOUBLE, space.get(), H5P_DEFAULT, H5P_DEFAULT)));
  check(H5Awrite(attr.get(), H5T_NATIVE_DOUBLE, &value));
}

hdf5::Dataset hsrdatasetcreate(hid_t loc, std::span<const hsize_t> chunk, std::span<const hsize_t> dims,
                               std::span<const hsize_t> maxdims, std::string_view name, hid_t type) {
  const int rank = static_cast<int>(dims.size());
  const hdf5::Dataspace space(check_id(H5Screate_simple(rank, dims.data(), maxdims.data())));
  const hdf5::PropList dcpl(check_id(H5Pcreate(H5P_DATASET_CREATE)));
  check(H5Pset_chunk(dcpl.get(), rank, chunk.data()));
  check(H5Pset_deflate(dcpl.get(), kDeflateLevel));
  check(H5Pset_fill_time(dcpl.get(), H5D_FILL_TIME_ALLOC));
  return hdf5::Dataset(
      check_id(H5Dcreate2(loc, name_text(name).c_str(), type, space.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT)));
}

void static_dataset_write(hid_t loc, std::string_view name, hid_t type, std::initializer_list<hsize_t> shape,
                          const void* data, bool cap_rows) {
  std::vector<hsize_t> dims(shape);
  std::vector<hsize_t> chunk(shape);
  if (cap_rows) chunk[0] = std::min(chunk[0], kMaxChunkItems);
  const hdf5::Dataset ds = hsrdatasetcreate(loc, chunk, dims, dims, name, type);
  check(H5Dwrite(ds.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data));
}

hdf5::Dataset datacreate(std::string_view name, hid_t type, hid_t loc, std::int32_t nattr, std::int32_t nitems,
                         bool always3d) {
  if (nattr < 1 || nitems < 1) return hdf5::Dataset{};
  const hsize_t items = static_cast<hsize_t>(nitems);
  const hsize_t attrs = static_cast<hsize_t>(nattr);
  const hsize_t items_chunk = std::min(items, kMaxChunkItems);
  if (always3d || nattr != 1) {
    const std::array<hsize_t, 3> dims{0, items, attrs};
    const std::array<hsize_t, 3> maxdims{H5S_UNLIMITED, items, attrs};
    const std::array<hsize_t, 3> chunk{kTimeChunk, items_chunk, attrs};
    return hsrdatasetcreate(loc, chunk, dims, maxdims, name, type);
  }
  const std::array<hsize_t, 2> dims{0, items};
  const std::array<hsize_t, 2> maxdims{H5S_UNLIMITED, items};
  const std::array<hsize_t, 2> chunk{kTimeChunk, items_chunk};
  return hsrdatasetcreate(loc, chunk, dims, maxdims, name, type);
}

void append_slab(hid_t dataset, hid_t memtype, std::initializer_list<hsize_t> shape, const void* data) {
  constexpr int kMaxRank = 3;
  const int rank = static_cast<int>(shape.size()) + 1;
  if (rank > kMaxRank) throw Hdf5Failure{-1};
  std::array<hsize_t, kMaxRank> dims{};
  {
    hdf5::Dataspace space(check_id(H5Dget_space(dataset)));
    // A dataset of another rank than the slab cannot take it.
    if (check(H5Sget_simple_extent_ndims(space.get())) != rank) throw Hdf5Failure{-1};
    check(H5Sget_simple_extent_dims(space.get(), dims.data(), nullptr));
    check(space.close());
  }
  // Nothing is ever written past the dataset's own extents.
  if (!std::equal(shape.begin(), shape.end(), dims.begin() + 1)) throw Hdf5Failure{-1};
  const hsize_t slab = dims[0];
  dims[0] = slab + 1;
  check(H5Dset_extent(dataset, dims.data()));

  hdf5::Dataspace filespace(check_id(H5Dget_space(dataset)));
  std::array<hsize_t, kMaxRank> start{};
  std::array<hsize_t, kMaxRank> count{};
  start[0] = slab;
  count[0] = 1;
  std::copy(shape.begin(), shape.end(), count.begin() + 1);
  check(H5Sselect_hyperslab(filespace.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr));
  hdf5::Dataspace memspace(check_id(H5Screate_simple(rank, count.data(), nullptr)));
  check(H5Dwrite(dataset, memtype, memspace.get(), filespace.get(), H5P_DEFAULT, data));
  check(memspace.close());
  check(filespace.close());
}

}  // namespace kalvir::tmd
