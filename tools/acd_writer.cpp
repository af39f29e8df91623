// Writer of ACD files (see acd_writer.h).
#include "tools/acd_writer.h"

#include <hdf5.h>
#include <hdf5_hl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace kalvir::acd {
namespace {

// An HDF5 id closed by its own close routine when the owner goes.
class Id {
 public:
  Id(hid_t id, herr_t (*close)(hid_t), std::string_view what) : id_(id), close_(close) {
    if (id_ < 0) throw std::runtime_error("ACD writer: cannot create " + std::string(what));
  }
  Id(Id&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  Id& operator=(Id&&) = delete;
  ~Id() {
    if (id_ >= 0) static_cast<void>(close_(id_));
  }
  operator hid_t() const { return id_; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

void check(herr_t status, std::string_view what) {
  if (status < 0) throw std::runtime_error("ACD writer: cannot write " + std::string(what));
}

// Silences the library's own error stack printing for the writer's lifetime.
class QuietErrors {
 public:
  QuietErrors() {
    H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
  ~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }

 private:
  H5E_auto2_t func_ = nullptr;
  void* data_ = nullptr;
};

Id group(hid_t location, const std::string& name) {
  return Id(H5Gcreate2(location, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose, name);
}

void int_attribute(hid_t location, const std::string& object, const std::string& name, std::int32_t value) {
  check(H5LTset_attribute_int(location, object.c_str(), name.c_str(), &value, 1), name);
}

void double_attribute(hid_t location, const std::string& object, const std::string& name, double value) {
  check(H5LTset_attribute_double(location, object.c_str(), name.c_str(), &value, 1), name);
}

template <typename T>
void dataset(hid_t location, const std::string& name, hid_t type, const std::vector<hsize_t>& dims,
             const std::vector<T>& values) {
  Id space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose, name);
  Id set(H5Dcreate2(location, name.c_str(), type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose, name);
  if (!values.empty()) check(H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()), name);
}

void doubles_1d(hid_t location, const std::string& name, const std::vector<double>& values) {
  dataset(location, name, H5T_NATIVE_DOUBLE, {values.size()}, values);
}

void ints_1d(hid_t location, const std::string& name, const std::vector<std::int32_t>& values) {
  dataset(location, name, H5T_NATIVE_INT32, {values.size()}, values);
}

void doubles_2d(hid_t location, const std::string& name, const std::vector<std::vector<double>>& rows) {
  const std::size_t columns = rows.empty() ? 0 : rows.front().size();
  std::vector<double> flat;
  for (const auto& row : rows) {
    if (row.size() != columns) throw std::runtime_error("ACD writer: rows of unequal length in " + name);
    flat.insert(flat.end(), row.begin(), row.end());
  }
  dataset(location, name, H5T_NATIVE_DOUBLE, {rows.size(), columns}, flat);
}

void doubles_3d(hid_t location, const std::string& name, const std::vector<std::vector<std::vector<double>>>& v) {
  const std::size_t n2 = v.empty() ? 0 : v.front().size();
  const std::size_t n3 = n2 == 0 ? 0 : v.front().front().size();
  std::vector<double> flat;
  for (const auto& plane : v) {
    if (plane.size() != n2) throw std::runtime_error("ACD writer: planes of unequal size in " + name);
    for (const auto& row : plane) {
      if (row.size() != n3) throw std::runtime_error("ACD writer: rows of unequal length in " + name);
      flat.insert(flat.end(), row.begin(), row.end());
    }
  }
  dataset(location, name, H5T_NATIVE_DOUBLE, {v.size(), n2, n3}, flat);
}

// A fixed-length string type of the given size (at least 1).
Id string_type(std::size_t size) {
  Id type(H5Tcopy(H5T_C_S1), H5Tclose, "string type");
  check(H5Tset_size(type, std::max<std::size_t>(size, 1)), "string type");
  check(H5Tset_strpad(type, H5T_STR_NULLPAD), "string type");
  return type;
}

void write_arcs(hid_t mission, const std::vector<OrbitalArc>& arcs) {
  Id type(H5Tcreate(H5T_COMPOUND, sizeof(OrbitalArc)), H5Tclose, "OrbitalArcTimes");
  check(H5Tinsert(type, "start", offsetof(OrbitalArc, start), H5T_NATIVE_DOUBLE), "start");
  check(H5Tinsert(type, "startFirst", offsetof(OrbitalArc, startFirst), H5T_NATIVE_DOUBLE), "startFirst");
  check(H5Tinsert(type, "endFirst", offsetof(OrbitalArc, endFirst), H5T_NATIVE_DOUBLE), "endFirst");
  check(H5Tinsert(type, "endAll", offsetof(OrbitalArc, endAll), H5T_NATIVE_DOUBLE), "endAll");
  dataset(mission, "OrbitalArcTimes", type, {arcs.size()}, arcs);
}

std::size_t longest(const std::vector<NodePair>& pairs, std::string NodePair::* member) {
  std::size_t n = 1;
  for (const auto& p : pairs) n = std::max(n, (p.*member).size());
  return n;
}

void write_pairs(hid_t location, const std::vector<NodePair>& pairs) {
  const std::size_t li = longest(pairs, &NodePair::pathI);
  const std::size_t lj = longest(pairs, &NodePair::pathJ);
  // Packed records: pathI, nodeI, pathJ, nodeJ.
  const std::size_t oi = 0, oni = li, oj = li + 4, onj = li + 4 + lj, size = li + lj + 8;
  Id ti = string_type(li);
  Id tj = string_type(lj);
  Id type(H5Tcreate(H5T_COMPOUND, size), H5Tclose, "NodePairs");
  check(H5Tinsert(type, "relativeSubmodelPathI", oi, ti), "relativeSubmodelPathI");
  check(H5Tinsert(type, "nodeNumberI", oni, H5T_NATIVE_INT32), "nodeNumberI");
  check(H5Tinsert(type, "relativeSubmodelPathJ", oj, tj), "relativeSubmodelPathJ");
  check(H5Tinsert(type, "nodeNumberJ", onj, H5T_NATIVE_INT32), "nodeNumberJ");
  std::vector<char> buffer(pairs.size() * size, '\0');
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    char* r = buffer.data() + k * size;
    std::copy(pairs[k].pathI.begin(), pairs[k].pathI.end(), r + oi);
    std::copy_n(reinterpret_cast<const char*>(&pairs[k].nodeI), 4, r + oni);
    std::copy(pairs[k].pathJ.begin(), pairs[k].pathJ.end(), r + oj);
    std::copy_n(reinterpret_cast<const char*>(&pairs[k].nodeJ), 4, r + onj);
  }
  dataset(location, "NodePairs", type, {pairs.size()}, buffer);
}

void write_arrays(hid_t model_data, const ArrayGroup& arrays) {
  Id group_id = group(model_data, "Arrays");
  std::int32_t nvalues = 0, nindex = 0;
  std::vector<double> data;
  std::size_t name_size = 1;
  for (const auto& r : arrays.records) {
    nvalues += r.size.value_or(static_cast<std::int32_t>(r.values.size()));
    nindex += table_index_length(r);
    data.insert(data.end(), r.values.begin(), r.values.end());
    name_size = std::max(name_size, r.name.size());
  }
  int_attribute(group_id, ".", "numberOfArrays",
                arrays.numberOfArrays.value_or(static_cast<std::int32_t>(arrays.records.size())));
  int_attribute(group_id, ".", "numberOfArrayValues", arrays.numberOfArrayValues.value_or(nvalues));
  int_attribute(group_id, ".", "numberOfArrayIndexValues", arrays.numberOfArrayIndexValues.value_or(nindex));
  doubles_1d(group_id, "ArrayData", data);

  // Records: arrayName, then the six integers.
  constexpr std::array<const char*, 6> ints{"arrayType", "size", "numberOfDimensions",
                                            "dimension1", "dimension2", "dimension3"};
  const std::size_t size = name_size + 4 * ints.size();
  Id name_type = string_type(name_size);
  Id type(H5Tcreate(H5T_COMPOUND, size), H5Tclose, "ArrayInformation");
  check(H5Tinsert(type, "arrayName", 0, name_type), "arrayName");
  for (std::size_t m = 0; m < ints.size(); ++m)
    check(H5Tinsert(type, ints[m], name_size + 4 * m, H5T_NATIVE_INT32), ints[m]);
  std::vector<char> buffer(arrays.records.size() * size, '\0');
  for (std::size_t k = 0; k < arrays.records.size(); ++k) {
    const ArrayRecord& r = arrays.records[k];
    char* p = buffer.data() + k * size;
    std::copy(r.name.begin(), r.name.end(), p);
    const std::array<std::int32_t, 6> words{r.arrayType, r.size.value_or(static_cast<std::int32_t>(r.values.size())),
                                            r.numberOfDimensions, r.dimension1, r.dimension2, r.dimension3};
    std::copy_n(reinterpret_cast<const char*>(words.data()), 4 * words.size(), p + name_size);
  }
  dataset(group_id, "ArrayInformation", type, {arrays.records.size()}, buffer);
}

void write_fluxes(hid_t time_dependent, const std::string& name, const TimeFluxes& fluxes) {
  Id kind = group(time_dependent, name);
  int_attribute(kind, ".", "count", fluxes.count.value_or(static_cast<std::int32_t>(fluxes.nodes.size())));
  if (!fluxes.nodes.empty()) ints_1d(kind, "Nodes", fluxes.nodes);
  if (!fluxes.values.empty()) doubles_2d(kind, "Values", fluxes.values);
}

void write_group(hid_t location, const ModelGroup& m) {
  const std::int32_t type = m.analysisCaseType;
  {
    Id mission = group(location, "Mission");
    int_attribute(mission, ".", "analysisCaseType", type);
    if (type >= 2 && type <= 4) {
      int_attribute(mission, ".", "numberOfTimes",
                    m.numberOfTimes.value_or(static_cast<std::int32_t>(m.times.size())));
      doubles_1d(mission, "Times", m.times);
    }
    if (type == 2) double_attribute(mission, ".", "period", m.period);
    if (type == 3) {
      int_attribute(mission, ".", "numberOfArcs", m.numberOfArcs.value_or(static_cast<std::int32_t>(m.arcs.size())));
      write_arcs(mission, m.arcs);
    }
    if (type == 4) {
      const auto nwb = static_cast<std::int32_t>(m.wavebands.empty() ? 0 : m.wavebands.size() - 1);
      int_attribute(mission, ".", "numberOfWavebands", m.numberOfWavebands.value_or(nwb));
      doubles_1d(mission, "Wavebands", m.wavebands);
    }
  }
  const bool model_data = (type >= 1 && type <= 4) || m.arrays.has_value();
  if (model_data) {
    Id data = group(location, "ModelData");
    if (type >= 1 && type <= 4) {
      ints_1d(data, "NodeList", m.nodeList);
      int_attribute(data, "NodeList", "count", m.nodeListCount.value_or(static_cast<std::int32_t>(m.nodeList.size())));
      {
        Id stat = group(data, "Static");
        doubles_1d(stat, "AlbedoFluxes", m.staticAlbedo);
        doubles_1d(stat, "PlanetFluxes", m.staticPlanet);
        doubles_1d(stat, "RemainderFluxes", m.staticRemainder);
        doubles_1d(stat, "SolarFluxes", m.staticSolar);
      }
      Id td = group(data, "TimeDependent");
      write_fluxes(td, "AlbedoFluxes", m.albedo);
      write_fluxes(td, "PlanetFluxes", m.planet);
      write_fluxes(td, "RemainderFluxes", m.remainder);
      write_fluxes(td, "SolarFluxes", m.solar);
      Id rc = group(td, "RadiativeConductors");
      int_attribute(rc, ".", "count", m.conductorCount.value_or(static_cast<std::int32_t>(m.pairs.size())));
      if (!m.pairs.empty()) write_pairs(rc, m.pairs);
      if (!m.conductorValues.empty()) doubles_2d(rc, "Values", m.conductorValues);
      if (!m.bandValues.empty()) doubles_3d(rc, "Values", m.bandValues);
    }
    if (m.arrays) write_arrays(data, *m.arrays);
  }
  if (m.writeSubmodelsGroup) {
    // Creation order is kept so that readers that must sort by name are tested.
    Id plist(H5Pcreate(H5P_GROUP_CREATE), H5Pclose, "group property list");
    check(H5Pset_link_creation_order(plist, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED), "creation order");
    Id subs(H5Gcreate2(location, "Submodels", H5P_DEFAULT, plist, H5P_DEFAULT), H5Gclose, "Submodels");
    for (const auto& child : m.submodels) {
      Id g = group(subs, child.name);
      write_group(g, child);
    }
  }
}

template <typename Edit>
void edit_file(const std::filesystem::path& file, Edit edit) {
  QuietErrors quiet;
  Id f(H5Fopen(file.string().c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose, file.string());
  edit(static_cast<hid_t>(f));
}

}  // namespace

std::int32_t table_index_length(const ArrayRecord& r) {
  if (r.arrayType != 4) return 0;
  if (r.numberOfDimensions == 2) return 3 * r.dimension1 + 6;
  if (r.numberOfDimensions == 3) return 3 * r.dimension1 * (r.dimension2 + 1) + 7;
  return 0;
}

ArrayRecord make_table_2d(std::string name, const std::vector<double>& x1, const std::vector<double>& x2,
                          const std::vector<std::vector<double>>& values) {
  ArrayRecord r;
  r.name = std::move(name);
  r.arrayType = 4;
  r.numberOfDimensions = 2;
  r.dimension1 = static_cast<std::int32_t>(x1.size());
  r.dimension2 = static_cast<std::int32_t>(x2.size());
  if (values.size() != x1.size()) throw std::runtime_error("ACD writer: table rows do not match dimension 1");
  for (const auto& row : values) {
    if (row.size() != x2.size()) throw std::runtime_error("ACD writer: table row does not match dimension 2");
    r.values.insert(r.values.end(), row.begin(), row.end());
  }
  r.values.insert(r.values.end(), x1.begin(), x1.end());
  r.values.insert(r.values.end(), x2.begin(), x2.end());
  return r;
}

void write_acd_file(const std::filesystem::path& file, const ModelGroup& root) {
  QuietErrors quiet;
  Id plist(H5Pcreate(H5P_FILE_CREATE), H5Pclose, "file property list");
  check(H5Pset_link_creation_order(plist, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED), "creation order");
  Id f(H5Fcreate(file.string().c_str(), H5F_ACC_TRUNC, plist, H5P_DEFAULT), H5Fclose, file.string());
  write_group(f, root);
}

void remove_attribute(const std::filesystem::path& file, const std::string& object, const std::string& attribute) {
  edit_file(file, [&](hid_t f) {
    check(H5Adelete_by_name(f, object.c_str(), attribute.c_str(), H5P_DEFAULT), object + " " + attribute);
  });
}

void remove_link(const std::filesystem::path& file, const std::string& path) {
  edit_file(file, [&](hid_t f) { check(H5Ldelete(f, path.c_str(), H5P_DEFAULT), path); });
}

void set_string_attribute(const std::filesystem::path& file, const std::string& object,
                          const std::string& attribute, const std::string& value) {
  edit_file(file, [&](hid_t f) {
    if (H5Aexists_by_name(f, object.c_str(), attribute.c_str(), H5P_DEFAULT) > 0)
      check(H5Adelete_by_name(f, object.c_str(), attribute.c_str(), H5P_DEFAULT), attribute);
    check(H5LTset_attribute_string(f, object.c_str(), attribute.c_str(), value.c_str()), attribute);
  });
}

void replace_dataset_1d(const std::filesystem::path& file, const std::string& path, const std::vector<double>& values) {
  edit_file(file, [&](hid_t f) {
    if (H5Lexists(f, path.c_str(), H5P_DEFAULT) > 0) check(H5Ldelete(f, path.c_str(), H5P_DEFAULT), path);
    doubles_1d(f, path, values);
  });
}

void replace_dataset_2d(const std::filesystem::path& file, const std::string& path,
                        const std::vector<std::vector<double>>& rows) {
  edit_file(file, [&](hid_t f) {
    if (H5Lexists(f, path.c_str(), H5P_DEFAULT) > 0) check(H5Ldelete(f, path.c_str(), H5P_DEFAULT), path);
    doubles_2d(f, path, rows);
  });
}

void replace_dataset_strings(const std::filesystem::path& file, const std::string& path,
                             const std::vector<std::string>& values) {
  edit_file(file, [&](hid_t f) {
    if (H5Lexists(f, path.c_str(), H5P_DEFAULT) > 0) check(H5Ldelete(f, path.c_str(), H5P_DEFAULT), path);
    std::size_t size = 1;
    for (const auto& v : values) size = std::max(size, v.size());
    std::vector<char> buffer(values.size() * size, '\0');
    for (std::size_t k = 0; k < values.size(); ++k) std::copy(values[k].begin(), values[k].end(), &buffer[k * size]);
    Id type = string_type(size);
    dataset(f, path, type, {values.size()}, buffer);
  });
}

}  // namespace kalvir::acd
