#include "runtime/output/tmd/tmd_hdf5.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/output/tmd/tmd_deflate.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::tmd {

namespace {
constexpr hsize_t kMaxChunkItems = 1000;
constexpr int kMaxRank = 3;  // time, items, attributes
constexpr unsigned kDeflateLevel = 1;

std::string name_text(std::string_view name) { return std::string(trim_right(name)); }

bool direct_writes = true;

// How a slab of a dataset splits into whole chunks that can be compressed
// here and stored as they are: the dataset is chunked one slab deep, its
// only filter is deflate, its file type is the memory type, and every chunk
// dimension after the second spans the slab, so that chunk k is the
// contiguous run of rows k*rows .. (k+1)*rows - 1 of the slab.
struct DirectLayout {
  int level = -1;  // deflate level; -1: write through the library's filter
  hsize_t rows = 0;
  std::size_t row_bytes = 0;
};

DirectLayout direct_layout(hid_t dataset, hid_t memtype, std::span<const hsize_t> dims) {
  const int rank = static_cast<int>(dims.size());
  DirectLayout d;
  if (!direct_writes) return d;
  const hdf5::PropList dcpl(check_id(H5Dget_create_plist(dataset)));
  if (H5Pget_layout(dcpl.get()) != H5D_CHUNKED || H5Pget_nfilters(dcpl.get()) != 1) return d;
  std::array<hsize_t, 3> chunk{};
  if (H5Pget_chunk(dcpl.get(), rank, chunk.data()) != rank || chunk[0] != 1) return d;
  unsigned flags = 0;
  std::size_t nvalues = 1;
  unsigned values[1] = {0};
  unsigned config = 0;
  if (H5Pget_filter2(dcpl.get(), 0, &flags, &nvalues, values, 0, nullptr, &config) != H5Z_FILTER_DEFLATE ||
      nvalues != 1)
    return d;
  const hdf5::Datatype filetype(check_id(H5Dget_type(dataset)));
  if (check(H5Tequal(filetype.get(), memtype)) <= 0) return d;
  std::size_t row_bytes = H5Tget_size(memtype);
  for (std::size_t k = 2; k < dims.size(); ++k) {
    if (chunk[k] != dims[k]) return d;
    row_bytes *= dims[k];
  }
  d.rows = rank > 1 ? chunk[1] : 1;
  d.row_bytes = row_bytes;
  d.level = static_cast<int>(values[0]);
  return d;
}

// The compressed chunks of each dataset's last slab, by dataset identifier
// and chunk index. Much of a file does not change from one output to the
// next (labels, most conductor values); a chunk whose rows come out as those
// of the chunk before it is stored again without being compressed again.
// An entry is only ever reused when it inflates to exactly the new rows, so
// an entry left over from another dataset is merely not reused.
struct StoredChunk {
  std::vector<unsigned char> bytes;  // empty: stored raw, or not yet written
  int level = -1;
};
std::unordered_map<hid_t, std::vector<StoredChunk>> stored_chunks;

// One chunk's rows, and its compressed form (touched only as far as the
// compressed bytes reach), kept from one write to the next so that their
// memory is mapped once.
std::vector<unsigned char> raw_chunk;
std::unique_ptr<unsigned char[]> packed;
std::size_t packed_capacity = 0;

unsigned char* packed_buffer(std::size_t bound) {
  if (packed_capacity < bound) {
    packed.reset(new unsigned char[bound]);
    packed_capacity = bound;
  }
  return packed.get();
}

// Fills chunk k of a slab of nrows rows into raw (chunk bytes), rows past
// the end holding the default fill value (zero bytes).
void fill_chunk(const DirectLayout& d, hsize_t nrows, hsize_t k, const RowFiller& fill, std::vector<unsigned char>& raw) {
  const std::size_t chunk_bytes = static_cast<std::size_t>(d.rows) * d.row_bytes;
  if (raw.size() < chunk_bytes) raw.resize(chunk_bytes);
  const hsize_t row = k * d.rows;
  const hsize_t rows = std::min(d.rows, nrows - row);
  fill(row, rows, raw.data());
  std::memset(raw.data() + rows * d.row_bytes, 0, chunk_bytes - rows * d.row_bytes);
}

// Makes c hold raw compressed at level, unless it already holds raw's
// compressed bytes from the last slab; out is filter_bound(raw.size()) of
// scratch space.
void pack_chunk(StoredChunk& c, std::span<const unsigned char> raw, int level, unsigned char* out) {
  if (c.level == level && !c.bytes.empty() && inflates_to(c.bytes, raw)) return;
  const std::size_t size = deflate_chunk(raw, level, out);
  c.bytes.assign(out, out + size);
  c.level = level;
}

void store_chunk(hid_t dataset, const StoredChunk& c, const hsize_t* offset, std::span<const unsigned char> raw) {
  if (!c.bytes.empty()) {
    check(H5Dwrite_chunk(dataset, H5P_DEFAULT, 0, offset, c.bytes.size(), c.bytes.data()));
  } else {
    check(H5Dwrite_chunk(dataset, H5P_DEFAULT, 1, offset, raw.size(), raw.data()));
  }
}

// Writes the slab at time index slab chunk by chunk with the bytes the
// deflate filter would store; a chunk the filter could not shrink within its
// bound is stored raw with the filter marked as skipped. Each chunk is
// filled, compared with the last slab's chunk and compressed or kept, and
// stored, one after the other, so that the slab is never held whole.
void write_direct(hid_t dataset, const DirectLayout& d, int rank, hsize_t slab, hsize_t nrows, const RowFiller& fill) {
  const std::size_t chunk_bytes = static_cast<std::size_t>(d.rows) * d.row_bytes;
  const hsize_t nchunks = (nrows + d.rows - 1) / d.rows;
  std::vector<StoredChunk>& stored = stored_chunks[dataset];
  if (stored.size() < nchunks) stored.resize(nchunks);
  std::array<hsize_t, 3> offset{};
  offset[0] = slab;
  unsigned char* out = packed_buffer(filter_bound(chunk_bytes));
  for (hsize_t k = 0; k < nchunks; ++k) {
    fill_chunk(d, nrows, k, fill, raw_chunk);
    const std::span<const unsigned char> chunk(raw_chunk.data(), chunk_bytes);
    pack_chunk(stored[k], chunk, d.level, out);
    if (rank > 1) offset[1] = k * d.rows;
    store_chunk(dataset, stored[k], offset.data(), chunk);
  }
}
}  // namespace

void set_direct_chunk_writes(bool on) { direct_writes = on; }

void forget_stored_chunks() { stored_chunks = {}; }

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
  if (!direct_writes || dims.empty() || dims[0] == 0) {
    check(H5Dwrite(ds.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data));
    return;
  }
  // Whole chunks along the first dimension, compressed here as the slabs
  // are: the file type is the memory type, every other dimension is whole.
  std::size_t row_bytes = H5Tget_size(type);
  for (std::size_t k = 1; k < dims.size(); ++k) row_bytes *= dims[k];
  const DirectLayout d{static_cast<int>(kDeflateLevel), chunk[0], row_bytes};
  const auto* bytes = static_cast<const unsigned char*>(data);
  const RowFiller fill = [&](std::size_t first, std::size_t count, void* dst) {
    std::memcpy(dst, bytes + first * row_bytes, count * row_bytes);
  };
  std::vector<hsize_t> offset(dims.size(), 0);
  const hsize_t nchunks = (dims[0] + d.rows - 1) / d.rows;
  for (hsize_t k = 0; k < nchunks; ++k) {
    fill_chunk(d, dims[0], k, fill, raw_chunk);
    const std::span<const unsigned char> raw(raw_chunk.data(), static_cast<std::size_t>(d.rows) * row_bytes);
    unsigned char* out = packed_buffer(filter_bound(raw.size()));
    const std::size_t size = deflate_chunk(raw, d.level, out);
    offset[0] = k * d.rows;
    if (size > 0) {
      check(H5Dwrite_chunk(ds.get(), H5P_DEFAULT, 0, offset.data(), size, out));
    } else {
      check(H5Dwrite_chunk(ds.get(), H5P_DEFAULT, 1, offset.data(), raw.size(), raw.data()));
    }
  }
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

void flush_file(hid_t file) {
  haddr_t end = 0;
  check(H5Fget_eoa(file, &end));
  // The files are written through the library's default driver, whose
  // handle is the file descriptor.
  void* handle = nullptr;
  check(H5Fget_vfd_handle(file, H5P_DEFAULT, &handle));
  const int fd = *static_cast<const int*>(handle);
  struct stat st {};
  if (fstat(fd, &st) != 0) throw Hdf5Failure{-1};
  const auto size = static_cast<haddr_t>(st.st_size);
  if (end > size) {
    // A file system that cannot reserve space flushes as it always did.
    const int error = posix_fallocate(fd, st.st_size, static_cast<off_t>(end - size));
    if (error != 0 && error != EINVAL && error != EOPNOTSUPP) throw Hdf5Failure{-1};
  }
  check(H5Fflush(file, H5F_SCOPE_LOCAL));
}

void append_slab(hid_t dataset, hid_t memtype, std::initializer_list<hsize_t> shape, const void* data) {
  std::size_t row_bytes = H5Tget_size(memtype);
  if (shape.size() > 1) {
    for (auto it = std::next(shape.begin()); it != shape.end(); ++it) row_bytes *= *it;
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  append_rows(dataset, memtype, shape, [&](std::size_t first, std::size_t count, void* dst) {
    std::memcpy(dst, bytes + first * row_bytes, count * row_bytes);
  });
}

void append_rows(hid_t dataset, hid_t memtype, std::initializer_list<hsize_t> shape, const RowFiller& fill) {
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

  const DirectLayout direct = direct_layout(dataset, memtype, std::span<const hsize_t>(dims.data(), rank));
  const hsize_t nrows = rank > 1 ? dims[1] : 1;
  if (direct.level >= 0) {
    write_direct(dataset, direct, rank, slab, nrows, fill);
    return;
  }
  std::size_t row_bytes = H5Tget_size(memtype);
  for (int k = 2; k < rank; ++k) row_bytes *= dims[k];
  std::vector<unsigned char> data(nrows * row_bytes);
  fill(0, nrows, data.data());

  hdf5::Dataspace filespace(check_id(H5Dget_space(dataset)));
  std::array<hsize_t, kMaxRank> start{};
  std::array<hsize_t, kMaxRank> count{};
  start[0] = slab;
  count[0] = 1;
  std::copy(shape.begin(), shape.end(), count.begin() + 1);
  check(H5Sselect_hyperslab(filespace.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr));
  hdf5::Dataspace memspace(check_id(H5Screate_simple(rank, count.data(), nullptr)));
  check(H5Dwrite(dataset, memtype, memspace.get(), filespace.get(), H5P_DEFAULT, data.data()));
  check(memspace.close());
  check(filespace.close());
}

}  // namespace kalvir::tmd
