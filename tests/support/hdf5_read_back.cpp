#include "tests/support/hdf5_read_back.h"

#include <algorithm>
#include <stdexcept>

namespace kalvir::test {
namespace {

// Closes an identifier of the reader when it goes.
struct Id {
  hid_t id;
  herr_t (*close)(hid_t);
  ~Id() {
    if (id >= 0) close(id);
  }
  operator hid_t() const { return id; }  // NOLINT
};

std::string shape(const std::vector<hsize_t>& d) {
  std::string s = "(";
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (i) s += ", ";
    s += d[i] == H5S_UNLIMITED ? "unlimited" : std::to_string(d[i]);
  }
  return s + ")";
}

herr_t collect(hid_t, const char* name, const H5O_info_t* info, void* data) {
  auto* out = static_cast<std::vector<std::string>*>(data);
  if (std::string(name) != "." && (info->type == H5O_TYPE_GROUP || info->type == H5O_TYPE_DATASET)) {
    out->push_back("/" + std::string(name));
  }
  return 0;
}

herr_t collect_attr(hid_t, const char* name, const H5A_info_t*, void* data) {
  static_cast<std::vector<std::string>*>(data)->push_back(name);
  return 0;
}

}  // namespace

std::string describe_type(hid_t type) {
  switch (H5Tget_class(type)) {
    case H5T_INTEGER:
      return (H5Tequal(type, H5T_NATIVE_INT) > 0 ? "int32" : "integer?") +
             std::string(H5Tget_size(type) == 4 ? "" : "(size)");
    case H5T_FLOAT:
      return H5Tequal(type, H5T_NATIVE_DOUBLE) > 0 ? "double" : "float?";
    case H5T_STRING: {
      const H5T_str_t pad = H5Tget_strpad(type);
      const char* padding = pad == H5T_STR_SPACEPAD ? "spacepad" : pad == H5T_STR_NULLTERM ? "nullterm" : "nullpad";
      return "string " + std::to_string(H5Tget_size(type)) + " " + padding +
             (H5Tget_cset(type) == H5T_CSET_ASCII ? "" : " non-ascii") + (H5Tis_variable_str(type) > 0 ? " vlen" : "");
    }
    case H5T_COMPOUND: {
      std::string s = "compound " + std::to_string(H5Tget_size(type)) + " {";
      const int n = H5Tget_nmembers(type);
      for (int i = 0; i < n; ++i) {
        char* name = H5Tget_member_name(type, static_cast<unsigned>(i));
        const Id member{H5Tget_member_type(type, static_cast<unsigned>(i)), H5Tclose};
        s += (i ? "; " : "") + std::string(name) + " @" +
             std::to_string(H5Tget_member_offset(type, static_cast<unsigned>(i))) + " " + describe_type(member);
        H5free_memory(name);
      }
      return s + "}";
    }
    default:
      return "other";
  }
}

H5Reader::H5Reader(const std::string& path) { file_ = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT); }
H5Reader::~H5Reader() {
  if (file_ >= 0) H5Fclose(file_);
}

std::vector<std::string> H5Reader::objects() const {
  std::vector<std::string> out;
  H5Ovisit(file_, H5_INDEX_NAME, H5_ITER_INC, collect, &out);
  return out;
}

std::vector<std::string> H5Reader::attributes(const std::string& object) const {
  std::vector<std::string> out;
  const Id obj{H5Oopen(file_, object.c_str(), H5P_DEFAULT), H5Oclose};
  hsize_t idx = 0;
  H5Aiterate2(obj, H5_INDEX_NAME, H5_ITER_INC, &idx, collect_attr, &out);
  return out;
}

std::string H5Reader::describe_attribute(const std::string& object, const std::string& name) const {
  const Id attr{H5Aopen_by_name(file_, object.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  if (attr < 0) return "missing";
  const Id type{H5Aget_type(attr), H5Tclose};
  const Id space{H5Aget_space(attr), H5Sclose};
  std::string s = describe_type(type);
  if (H5Sget_simple_extent_type(space) == H5S_SCALAR) return s + " scalar";
  std::vector<hsize_t> d(static_cast<std::size_t>(H5Sget_simple_extent_ndims(space)));
  H5Sget_simple_extent_dims(space, d.data(), nullptr);
  return s + " " + shape(d);
}

std::string H5Reader::string_attribute(const std::string& object, const std::string& name) const {
  const Id attr{H5Aopen_by_name(file_, object.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  const Id type{H5Aget_type(attr), H5Tclose};
  std::string value(H5Tget_size(type), '\0');
  H5Aread(attr, type, value.data());
  return value;
}

double H5Reader::double_attribute(const std::string& object, const std::string& name) const {
  const Id attr{H5Aopen_by_name(file_, object.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  double v = -999.0;
  H5Aread(attr, H5T_NATIVE_DOUBLE, &v);
  return v;
}

std::string H5Reader::describe_dataset(const std::string& path) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  if (ds < 0) return "missing";
  const Id type{H5Dget_type(ds), H5Tclose};
  const Id space{H5Dget_space(ds), H5Sclose};
  const Id dcpl{H5Dget_create_plist(ds), H5Pclose};
  const int rank = H5Sget_simple_extent_ndims(space);
  std::vector<hsize_t> d(static_cast<std::size_t>(rank)), m(static_cast<std::size_t>(rank));
  H5Sget_simple_extent_dims(space, d.data(), m.data());
  std::string s = describe_type(type) + " " + shape(d) + " max " + shape(m);
  if (H5Pget_layout(dcpl) == H5D_CHUNKED) {
    std::vector<hsize_t> c(static_cast<std::size_t>(rank));
    H5Pget_chunk(dcpl, rank, c.data());
    s += " chunk " + shape(c);
  } else {
    s += " contiguous";
  }
  const int nfilters = H5Pget_nfilters(dcpl);
  for (int i = 0; i < nfilters; ++i) {
    unsigned flags = 0;
    std::size_t nelmts = 1;
    unsigned values[1] = {0};
    const H5Z_filter_t f = H5Pget_filter2(dcpl, static_cast<unsigned>(i), &flags, &nelmts, values, 0, nullptr, nullptr);
    s += f == H5Z_FILTER_DEFLATE ? " deflate " + std::to_string(values[0]) : " filter?";
  }
  H5D_fill_time_t ft{};
  H5Pget_fill_time(dcpl, &ft);
  if (ft == H5D_FILL_TIME_ALLOC) s += " fill-alloc";
  return s;
}

std::vector<std::uint64_t> H5Reader::dims(const std::string& path) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Id space{H5Dget_space(ds), H5Sclose};
  std::vector<hsize_t> d(static_cast<std::size_t>(std::max(H5Sget_simple_extent_ndims(space), 0)));
  H5Sget_simple_extent_dims(space, d.data(), nullptr);
  return {d.begin(), d.end()};
}

namespace {
std::size_t elements(hid_t ds) {
  const Id space{H5Dget_space(ds), H5Sclose};
  return static_cast<std::size_t>(H5Sget_simple_extent_npoints(space));
}
}  // namespace

std::vector<double> H5Reader::doubles(const std::string& path) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  std::vector<double> v(elements(ds));
  if (!v.empty()) H5Dread(ds, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data());
  return v;
}

std::vector<std::int32_t> H5Reader::ints(const std::string& path) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  std::vector<std::int32_t> v(elements(ds));
  if (!v.empty()) H5Dread(ds, H5T_NATIVE_INT, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data());
  return v;
}

std::vector<std::string> H5Reader::strings(const std::string& path) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Id type{H5Dget_type(ds), H5Tclose};
  const std::size_t size = H5Tget_size(type);
  const std::size_t n = elements(ds);
  std::string buf(n * size, '\0');
  if (n > 0) H5Dread(ds, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, buf.data());
  std::vector<std::string> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(buf.substr(i * size, size));
  return out;
}

std::vector<std::string> H5Reader::string_member(const std::string& path, const std::string& member,
                                                 std::size_t size) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Id str{H5Tcopy(H5T_FORTRAN_S1), H5Tclose};
  H5Tset_size(str, size);
  const Id mem{H5Tcreate(H5T_COMPOUND, size), H5Tclose};
  H5Tinsert(mem, member.c_str(), 0, str);
  const std::size_t n = elements(ds);
  std::string buf(n * size, '\0');
  if (H5Dread(ds, mem, H5S_ALL, H5S_ALL, H5P_DEFAULT, buf.data()) < 0) throw std::runtime_error("member read");
  std::vector<std::string> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(buf.substr(i * size, size));
  return out;
}

std::vector<std::int32_t> H5Reader::int_member(const std::string& path, const std::string& member) const {
  const Id ds{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Id mem{H5Tcreate(H5T_COMPOUND, sizeof(std::int32_t)), H5Tclose};
  H5Tinsert(mem, member.c_str(), 0, H5T_NATIVE_INT);
  std::vector<std::int32_t> v(elements(ds));
  if (H5Dread(ds, mem, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data()) < 0) throw std::runtime_error("member read");
  return v;
}

}  // namespace kalvir::test
