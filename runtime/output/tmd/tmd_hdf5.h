// The HDF5 steps shared by the TMD file writers: fixed-length blank-padded
// string types, string and double attributes, chunked deflated datasets,
// extendible time-data datasets and the one-slab append.
//
// A failing library call throws Hdf5Failure, which the writer's entry points
// (tmdcreatefile, tmdcreatedatasets, tmdwritedata) turn into their status
// result; every identifier taken on the way is held by a handle and closed as
// the failure unwinds, so the first failing call's status is the one
// reported.
#pragma once

#include <hdf5.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string_view>

#include "runtime/output/tmd/hdf5_handle.h"

namespace kalvir::tmd {

// Slabs per chunk along the time dimension of every time-extensible dataset.
// One: each write then fills whole chunks, which the library compresses and
// stores once, without fill values and without a chunk left open for the next
// write to read back, fill again and compress anew at every flush; the cost of
// a write follows its own slab, not the data already in the file.
inline constexpr hsize_t kTimeChunk = 1;

struct Hdf5Failure {
  herr_t status;
};

// Returns s, or throws when the library reported a failure (negative value).
inline herr_t check(herr_t s) {
  if (s < 0) throw Hdf5Failure{s};
  return s;
}
inline hid_t check_id(hid_t id) {
  if (id < 0) throw Hdf5Failure{-1};
  return id;
}

// Runs body and returns 0, or -1 when an HDF5 call inside it failed.
template <class Body>
std::int32_t hdf5_status(Body body) {
  try {
    body();
  } catch (const Hdf5Failure&) {
    return -1;
  }
  return 0;
}

// A fixed-length ASCII string of n bytes, blank-padded, without terminator.
hdf5::Datatype string_type(std::size_t n);

// A string attribute of `size` characters (one-element rank-1 space) holding
// value, blank-padded or cut.
void hsrstringattributecreate(hid_t loc, std::size_t size, std::string_view name, std::string_view value);
// A double attribute with a scalar space.
void double_attribute_create(hid_t loc, std::string_view name, double value);

// A chunked dataset compressed with deflate level 1 whose space is allocated
// with its fill value. dims, maxdims and chunk have the dataset's rank.
hdf5::Dataset hsrdatasetcreate(hid_t loc, std::span<const hsize_t> chunk, std::span<const hsize_t> dims,
                               std::span<const hsize_t> maxdims, std::string_view name, hid_t type);

// A static dataset of the given shape (maximum and chunk equal to it,
// except that chunk rows are capped at 1000), written from data in one call.
void static_dataset_write(hid_t loc, std::string_view name, hid_t type, std::initializer_list<hsize_t> shape,
                          const void* data, bool cap_rows = false);

// An extendible time-data dataset: (0, nitems, nattr) when always3d is set or
// nattr differs from 1, else (0, nitems); chunk kTimeChunk times, at most 1000
// items.
// No dataset (invalid handle) when nattr or nitems is below 1.
hdf5::Dataset datacreate(std::string_view name, hid_t type, hid_t loc, std::int32_t nattr, std::int32_t nitems,
                         bool always3d);

// Appends one time slab to dataset: shape is the slab's extent in every
// dimension after the first (time); data holds it in the dataset's order.
// A deflated dataset one slab deep whose file type is the memory type gets
// its chunks compressed here and stored with direct chunk writes, byte for
// byte what the filter would store; any other goes through the library's
// filter.
void append_slab(hid_t dataset, hid_t memtype, std::initializer_list<hsize_t> shape, const void* data);

// Fills rows first .. first + count - 1 of a slab (dimension 1 after time;
// a rank-1 slab is one row) into dst, in the dataset's element order. It may
// be called from several threads at once for different rows, and so only
// reads what it fills from.
using RowFiller = std::function<void(std::size_t first, std::size_t count, void* dst)>;

// append_slab with the rows filled on demand: a directly written slab is
// filled a chunk at a time and never held whole.
void append_rows(hid_t dataset, hid_t memtype, std::initializer_list<hsize_t> shape, const RowFiller& fill);

// Stores the file's metadata (H5Fflush, local scope). The space the library
// has allocated for the file is made to exist on disk first, so that a full
// disk fails the flush before anything is stored, not half-way through it:
// a flush that fails part way leaves metadata that points beyond the end of
// the file, and datasets that no longer read, earlier slabs included.
void flush_file(hid_t file);

// Releases the compressed chunks kept for reuse by the next slab (every
// dataset's); called when a file closes, whose identifiers the library may
// give again.
void forget_stored_chunks();

// Whether append_slab may store chunks directly (on by default); tests turn
// it off to write the same file through the library's filter.
void set_direct_chunk_writes(bool on);

}  // namespace kalvir::tmd
