// Owning wrappers for HDF5 identifiers.
//
// Every identifier the result-file writer obtains (file, group, dataset,
// dataspace, datatype, property list, attribute) is held by one of these, so
// that it is closed on every way out of a routine: the normal return, an
// early return after a failed call, and the unwinding of a run that ends
// inside the writer. Predefined library types (H5T_NATIVE_DOUBLE and the
// like) are never wrapped: they are not ours to close.
#pragma once

#include <hdf5.h>

#include <utility>

namespace kalvir::hdf5 {

template <herr_t (*Close)(hid_t)>
class Handle {
 public:
  Handle() noexcept = default;
  explicit Handle(hid_t id) noexcept : id_(id) {}
  ~Handle() { reset(); }

  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, H5I_INVALID_HID)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = std::exchange(other.id_, H5I_INVALID_HID);
    }
    return *this;
  }

  hid_t get() const noexcept { return id_; }
  bool valid() const noexcept { return id_ >= 0; }
  explicit operator bool() const noexcept { return valid(); }

  // Closes the held identifier (if any) and takes id, which may be a failure
  // value: valid() then tells the caller whether the call succeeded.
  void reset(hid_t id = H5I_INVALID_HID) noexcept {
    if (id_ >= 0) (void)Close(id_);
    id_ = id;
  }

  // Gives the held identifier up without closing it: the library keeps the
  // object open (for a file that must not be closed through the library).
  void release() noexcept { id_ = H5I_INVALID_HID; }

  // Closes the held identifier and returns the library's status for it, for
  // callers that must report a failing close (0 when nothing was held).
  herr_t close() noexcept {
    if (id_ < 0) return 0;
    const herr_t status = Close(id_);
    id_ = H5I_INVALID_HID;
    return status;
  }

 private:
  hid_t id_ = H5I_INVALID_HID;
};

using File = Handle<H5Fclose>;
using Group = Handle<H5Gclose>;
using Dataset = Handle<H5Dclose>;
using Dataspace = Handle<H5Sclose>;
using Datatype = Handle<H5Tclose>;
using PropList = Handle<H5Pclose>;
using Attribute = Handle<H5Aclose>;

}  // namespace kalvir::hdf5
