#include "runtime/output/tmd/tmd_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/tmd/tmd_columns.h"
#include "runtime/output/tmd/tmd_conductors.h"
#include "runtime/output/tmd/tmd_hdf5.h"

namespace kalvir::tmd {
namespace {

constexpr std::size_t kFileNameLength = 255;
// No raw-data chunk cache: every write fills whole chunks (kTimeChunk), which
// then go to the file at once instead of staying in a per-dataset cache that
// grows with the run; static datasets are written once, whole.
constexpr std::size_t kChunkCacheBytes = 0;
constexpr double kChunkPreemption = 1.0;
constexpr std::size_t kAttributeNameLength = 32;
constexpr std::size_t kNodeTextLength = 24;
constexpr std::size_t kConstantTextLength = 132;
constexpr std::size_t kControlNameLength = 6;
constexpr std::size_t kUserConstantNameLength = 18;
constexpr std::size_t kModelNameLength = 24;
constexpr std::size_t kModelPathLength = 2474;
constexpr std::size_t kPathWork = 2500;

std::array<TmdSlot, kSlots>& slots() {
  // Never destroyed: the identifiers it holds must not be closed after the
  // HDF5 library has shut down at process exit.
  static auto* all = new std::array<TmdSlot, kSlots>;
  return *all;
}

// Names of n columns, each blank-padded to width, back to back.
template <class Names>
std::string name_block(const Names& names, std::size_t width) {
  std::string out;
  out.reserve(names.size() * width);
  for (const auto& n : names) out += padded(n, width);
  return out;
}

template <class T>
std::vector<std::string> column_names(const std::vector<Column<T>>& cols) {
  std::vector<std::string> names;
  names.reserve(cols.size());
  for (const auto& c : cols) names.push_back(c.name);
  return names;
}

// One member of a compound dataset's rows: its name, offset and type in the
// row, and its values, one per row, back to back.
struct Member {
  const char* name;
  std::size_t offset;
  hid_t type;
  const void* values;
};

// A compound dataset of n rows of `size` bytes whose members together fill
// the row. The rows are put together in memory and written in one call with
// the file's own type, so that the library converts nothing: a write of one
// member at a time would have it convert, with zeroed buffers, on every call.
void compound_dataset_write(hid_t loc, std::string_view name, std::size_t size, std::size_t n,
                            std::initializer_list<Member> members) {
  hdf5::Datatype type(check_id(H5Tcreate(H5T_COMPOUND, size)));
  for (const Member& m : members) check(H5Tinsert(type.get(), m.name, m.offset, m.type));
  const std::array<hsize_t, 1> dims{n};
  const hdf5::Dataset ds = hsrdatasetcreate(loc, dims, dims, dims, name, type.get());
  std::vector<unsigned char> rows(std::max<std::size_t>(n * size, 1));
  for (const Member& m : members) {
    const std::size_t width = H5Tget_size(m.type);
    if (width == 0 || m.offset + width > size) throw Hdf5Failure{-1};
    const auto* from = static_cast<const unsigned char*>(m.values);
    for (std::size_t r = 0; r < n; ++r) std::memcpy(rows.data() + r * size + m.offset, from + r * width, width);
  }
  check(H5Dwrite(ds.get(), type.get(), H5S_ALL, H5S_ALL, H5P_DEFAULT, rows.data()));
}

// The text of LSUBMD for a submodel, without its final ':', cut to width.
std::string submodel_text(std::string_view scope, std::int32_t isub, std::size_t width) {
  std::string buf(kPathWork, ' ');
  std::int32_t len = 0;
  std::int32_t ierr = 0;
  LSUBMD(scope, isub, len, buf, ierr);
  if (ierr != 0 && ierr != 3) return padded("", width);
  const auto n = static_cast<std::size_t>(std::clamp<std::int32_t>(len, 0, static_cast<std::int32_t>(kPathWork)));
  return padded(std::string_view(buf).substr(0, n), width);
}

void modelscreate(hid_t loc, const TmvThermalModelVariables& sel) {
  const std::int32_t nsub = sel.numberofsubmodels;
  const std::size_t n = static_cast<std::size_t>(std::max(nsub, 0));
  std::string names;
  std::string paths;
  std::vector<std::int32_t> parents(n, 0);
  names.reserve(n * kModelNameLength);
  paths.reserve(n * kModelPathLength);
  for (std::int32_t i = 1; i <= nsub; ++i) {
    names += submodel_text("SUBMODEL", i, kModelNameLength);
    paths += submodel_text("ALL", i, kModelPathLength);
    GetParentModelNumber(i, parents[static_cast<std::size_t>(i - 1)]);
  }
  const hdf5::Datatype name_t = string_type(kModelNameLength);
  const hdf5::Datatype path_t = string_type(kModelPathLength);
  compound_dataset_write(loc, "models", 2502, n,
                         {{"modelName", 0, name_t.get(), names.data()},
                          {"parentId", 24, H5T_NATIVE_INT, parents.data()},
                          {"modelPath", 28, path_t.get(), paths.data()}});
}

// The name list of one kind of user constant (compound of name and modelId).
void hsr_compounddatasetstringintcreate(hid_t loc, std::string_view name, const std::string& names,
                                        const std::vector<std::int32_t>& ids) {
  const hdf5::Datatype name_t = string_type(kUserConstantNameLength);
  compound_dataset_write(loc, name, 22, ids.size(),
                         {{"name", 0, name_t.get(), names.data()}, {"modelId", 18, H5T_NATIVE_INT, ids.data()}});
}

// Names and submodels of the selected user constants of one kind (row is the
// model-directory row before the kind's names; the names end where the next
// kind's begin), exactly count of them.
void user_constant_names(const TmvThermalModelVariables& sel, int kind, std::int32_t count, std::string& names,
                         std::vector<std::int32_t>& ids) {
  const auto& dir = gar_modeldirectory;
  names.clear();
  ids.clear();
  for (std::int32_t m = sel.tmv_selectedsubmodelfirstid; m <= sel.tmv_selectedsubmodellastid; ++m) {
    // Real names row11(m)+1..row12(m), integer row12(m)+1..row13(m),
    // character row13(m)+1..row11(m+1).
    const std::int32_t from = dir(11 + kind, m);
    const std::int32_t to = kind < 2 ? dir(12 + kind, m) : dir(11, m + 1);
    for (std::int32_t k = from + 1; k <= to && static_cast<std::int32_t>(ids.size()) < count; ++k) {
      names += padded(k >= 1 && k <= gar_userconstnames.size() ? gar_userconstnames(k) : std::string_view{},
                      kUserConstantNameLength);
      ids.push_back(m);
    }
  }
  // An inconsistent directory must not leave the names short of the data.
  while (static_cast<std::int32_t>(ids.size()) < count) {
    names += padded("", kUserConstantNameLength);
    ids.push_back(0);
  }
}

void node_datasets(TmdSlot& slot, NodeKind kind, const std::vector<std::int32_t>& nodes) {
  const TmvThermalModelVariables& sel = slot.selection;
  const hid_t as1 = slot.analysisset1id.get();
  const hid_t dg1 = slot.datagroup1id.get();
  const bool thermal = kind == NodeKind::Thermal;
  const std::int32_t count = static_cast<std::int32_t>(nodes.size());
  const hsize_t rows = nodes.size();
  const std::string prefix = thermal ? "thermalNodes" : "fluidNodes";

  std::vector<std::int32_t> table;
  table.reserve(2 * nodes.size());
  for (const std::int32_t node : nodes) {
    const std::int64_t i = thermal ? node : node - sel.numberofthermalnodes;
    const auto& nums = thermal ? gar_thermalnodenums : gar_fluidnodenums;
    table.push_back(i >= 1 && i <= nums.size() ? nums(i) : 0);
    table.push_back(NDSSMD(node));
  }
  static_dataset_write(as1, prefix, H5T_NATIVE_INT, {rows, 2}, table.data(), true);

  const hdf5::Datatype name_t = string_type(kAttributeNameLength);
  const auto reals = column_names(real_columns(sel, kind));
  if (!reals.empty()) {
    static_dataset_write(as1, prefix + "RealAttributes", name_t.get(), {reals.size()},
                         name_block(reals, kAttributeNameLength).data());
  }
  const auto nreal = static_cast<std::int32_t>(reals.size());
  (thermal ? slot.numrealthermalattributes : slot.numrealfluidattributes) = nreal;
  (thermal ? slot.thermalnodesrealdatasetid : slot.fluidnodesrealdatasetid) =
      datacreate(prefix + "RealData", H5T_NATIVE_DOUBLE, dg1, nreal, count, true);

  const auto texts = column_names(text_columns(sel, kind));
  static_dataset_write(as1, prefix + "StringAttributes", name_t.get(), {texts.size()},
                       name_block(texts, kAttributeNameLength).data());
  const auto ntext = static_cast<std::int32_t>(texts.size());
  (thermal ? slot.numstringthermalattributes : slot.numstringfluidattributes) = ntext;
  const hdf5::Datatype text_t = string_type(kNodeTextLength);
  (thermal ? slot.thermalnodesstringdatasetid : slot.fluidnodesstringdatasetid) =
      datacreate(prefix + "StringData", text_t.get(), dg1, ntext, count, true);

  if (sel.numuserintegerattributes >= 1) {
    const auto ints = column_names(integer_columns(sel, kind));
    if (!ints.empty()) {
      static_dataset_write(as1, prefix + "IntegerAttributes", name_t.get(), {ints.size()},
                           name_block(ints, kAttributeNameLength).data());
    }
    const auto nint = static_cast<std::int32_t>(ints.size());
    (thermal ? slot.numintegerthermalattributes : slot.numintegerfluidattributes) = nint;
    (thermal ? slot.thermalnodesintegerdatasetid : slot.fluidnodesintegerdatasetid) =
        datacreate(prefix + "IntegerData", H5T_NATIVE_INT, dg1, nint, count, true);
  }
}

void conductor_datasets(TmdSlot& slot) {
  const TmvThermalModelVariables& sel = slot.selection;
  const hid_t as1 = slot.analysisset1id.get();
  const hid_t dg1 = slot.datagroup1id.get();
  ConductorTables info;
  std::int32_t status = 0;
  GetConductorInfo(slot, info, status);

  auto list_create = [&](int list, std::string_view name, std::int32_t count) {
    auto& records = info[static_cast<std::size_t>(list)];
    static_dataset_write(as1, name, H5T_NATIVE_INT, {static_cast<hsize_t>(count), 4}, records.data(), true);
    records = {};
  };
  auto data_create = [&](std::string_view name, std::int32_t count) {
    return datacreate(name, H5T_NATIVE_DOUBLE, dg1, 2, count, true);
  };

  struct Kind {
    int list;
    const char* table;
    const char* data;
    std::int32_t TmdSlot::*count;
    hdf5::Dataset TmdSlot::*dataset;
  };
  static constexpr std::array<Kind, 4> kKinds{{
      {kListGL, "conductorsGL", "conductorDataGL", &TmdSlot::countgl, &TmdSlot::gl_datasetid},
      {kListGR, "conductorsGR", "conductorDataGR", &TmdSlot::countgr, &TmdSlot::gr_datasetid},
      {kListGF, "conductorsGF", "conductorDataGF", &TmdSlot::countgf, &TmdSlot::gf_datasetid},
      {kListGV, "conductorsGV", "conductorDataGV", &TmdSlot::countgv, &TmdSlot::gv_datasetid},
  }};
  for (const Kind& k : kKinds) {
    const std::int32_t count = slot.*k.count;
    if (!sel.kind_selected(k.list) || count < 1) continue;
    list_create(k.list, k.table, count);
    slot.*k.dataset = data_create(k.data, count);
  }
  const bool m = sel.kind_selected(kFlagM);
  const bool gp = sel.kind_selected(kFlagGP);
  if ((m || gp) && slot.countm_gp >= 1) {
    list_create(kListLinks, "conductorsM_GP", slot.countm_gp);
    if (m) slot.m_datasetid = data_create("conductorDataM", slot.countm_gp);
    if (gp) slot.gp_datasetid = data_create("conductorDataGP", slot.countm_gp);
  }
}

void constant_datasets(TmdSlot& slot) {
  const TmvThermalModelVariables& sel = slot.selection;
  const hid_t as1 = slot.analysisset1id.get();
  const hid_t dg1 = slot.datagroup1id.get();
  const hdf5::Datatype value_t = string_type(kConstantTextLength);

  struct Kind {
    const char* names;
    const char* data;
    std::int32_t count;
    hid_t type;
    hdf5::Dataset TmdSlot::*dataset;
  };
  const std::array<Kind, 3> kinds{{
      {"userConstantsReal", "userConstantsRealData", sel.tmv_numselecteduserconstantsreal, H5T_NATIVE_DOUBLE,
       &TmdSlot::muserconstantsrealdatasetid},
      {"userConstantsInteger", "userConstantsIntegerData", sel.tmv_numselecteduserconstantsint, H5T_NATIVE_INT,
       &TmdSlot::muserconstantsintdatasetid},
      {"userConstantsString", "userConstantsStringData", sel.tmv_numselecteduserconstantschar, value_t.get(),
       &TmdSlot::muserconstantschardatasetid},
  }};
  std::string names;
  std::vector<std::int32_t> ids;
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const Kind& kind = kinds[k];
    if (kind.count < 1) continue;
    user_constant_names(sel, static_cast<int>(k), kind.count, names, ids);
    hsr_compounddatasetstringintcreate(as1, kind.names, names, ids);
    slot.*kind.dataset = datacreate(kind.data, kind.type, dg1, 1, kind.count, false);
  }

  const hdf5::Datatype name_t = string_type(kControlNameLength);
  auto control = [&](const auto& table, const char* names_ds, const char* data_ds, hid_t type,
                     hdf5::Dataset TmdSlot::*dataset) {
    static_dataset_write(as1, names_ds, name_t.get(), {table.size()}, name_block(table, kControlNameLength).data());
    slot.*dataset = datacreate(data_ds, type, dg1, 1, static_cast<std::int32_t>(table.size()), false);
  };
  control(gcc_ctrl_const_names_real, "controlConstantsReal", "controlConstantsRealData", H5T_NATIVE_DOUBLE,
          &TmdSlot::mcontrolconstantsrealdatasetid);
  control(gcc_ctrl_const_names_int, "controlConstantsInteger", "controlConstantsIntegerData", H5T_NATIVE_INT,
          &TmdSlot::mcontrolconstantsintdatasetid);
  control(gcc_ctrl_const_names_char, "controlConstantsString", "controlConstantsStringData", value_t.get(),
          &TmdSlot::mcontrolconstantschardatasetid);
}

// Files left open in the library (TmdSlot::abandon, a failed close).
int left_open = 0;

// Ends a failed creation: the slot is abandoned, and the file is removed if
// the library created it, so that a file that holds the fixed datasets only
// in part does not pass for a result.
void creation_failed(TmdSlot& slot) {
  const bool created = slot.open();
  const std::string name = slot.filename;
  slot.abandon();
  if (created) static_cast<void>(std::remove(name.c_str()));
}

}  // namespace

void close_all_files() {
  for (TmdSlot& slot : slots()) static_cast<void>(slot.close());
}

bool files_left_open() { return left_open > 0; }

}  // namespace kalvir::tmd

std::array<kalvir::hdf5::Dataset*, 19> TmdSlot::time_datasets() noexcept {
  return {&timesdatasetid,
          &thermalnodesrealdatasetid,
          &thermalnodesstringdatasetid,
          &thermalnodesintegerdatasetid,
          &fluidnodesrealdatasetid,
          &fluidnodesstringdatasetid,
          &fluidnodesintegerdatasetid,
          &gl_datasetid,
          &gr_datasetid,
          &gf_datasetid,
          &gv_datasetid,
          &m_datasetid,
          &gp_datasetid,
          &muserconstantsrealdatasetid,
          &muserconstantsintdatasetid,
          &muserconstantschardatasetid,
          &mcontrolconstantsrealdatasetid,
          &mcontrolconstantsintdatasetid,
          &mcontrolconstantschardatasetid};
}

herr_t TmdSlot::close() noexcept {
  for (auto* d : time_datasets()) d->reset();
  datagroup1id.reset();
  analysisset1id.reset();
  const herr_t status = fileid.close();
  if (status < 0) ++kalvir::tmd::left_open;
  kalvir::tmd::forget_stored_chunks();
  *this = TmdSlot{};
  return status;
}

void TmdSlot::abandon() noexcept {
  if (!open()) return;
  for (auto* d : time_datasets()) d->release();
  datagroup1id.release();
  analysisset1id.release();
  fileid.release();
  ++kalvir::tmd::left_open;
  kalvir::tmd::forget_stored_chunks();
  *this = TmdSlot{};
}

TmdSlot& tmd_slot(std::int32_t slot) {
  if (slot < 1 || slot > kalvir::tmd::kSlots) internal_stop("TMD file slot out of range");
  return kalvir::tmd::slots()[static_cast<std::size_t>(slot - 1)];
}

void tmdcreatefile(std::string_view FILENAME, std::int32_t SLOT, std::int32_t& STATUS) {
  using namespace kalvir::tmd;
  // Every TMD file is closed through its own handles at the end of the run,
  // so that none is left half-written and no handle outlives the library;
  // one abandoned after a failure stays as its last flush left it.
  register_run_closer(close_all_files);
  TmdSlot& slot = tmd_slot(SLOT);
  static_cast<void>(slot.close());
  const std::string name(kalvir::trim_right(FILENAME.substr(0, std::min(FILENAME.size(), kFileNameLength))));
  STATUS = hdf5_status([&] {
    check(H5open());
    const kalvir::hdf5::PropList fapl(check_id(H5Pcreate(H5P_FILE_ACCESS)));
    int mdc_nelmts = 0;
    std::size_t rdcc_nslots = 0;
    std::size_t rdcc_nbytes = 0;
    double rdcc_w0 = 0.0;
    check(H5Pget_cache(fapl.get(), &mdc_nelmts, &rdcc_nslots, &rdcc_nbytes, &rdcc_w0));
    check(H5Pset_cache(fapl.get(), mdc_nelmts, rdcc_nslots, kChunkCacheBytes, kChunkPreemption));
    slot.filename = name;
    slot.fileid.reset(check_id(H5Fcreate(name.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, fapl.get())));
    slot.analysisset1id.reset(
        check_id(H5Gcreate2(slot.fileid.get(), "AnalysisSet1", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)));
    const hid_t as1 = slot.analysisset1id.get();
    double_attribute_create(as1, "PAbs", gcc_getpabs());
    double_attribute_create(as1, "StefanBoltzmann", gcc_getstefan());
    double_attribute_create(as1, "TAbs", gcc_gettabs());
    slot.datagroup1id.reset(check_id(H5Gcreate2(as1, "DataGroup1", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)));
  });
  if (STATUS != 0) creation_failed(slot);
}

void tmdcreatedatasets(std::int32_t& STATUS) {
  using namespace kalvir::tmd;
  const TmvThermalModelVariables& tmv = tmv_module();
  TmdSlot& slot = tmd_slot(tmv.fileindex);
  if (!slot.open()) {
    STATUS = -1;
    return;
  }
  slot.selection = tmv;
  const TmvThermalModelVariables& sel = slot.selection;
  STATUS = hdf5_status([&] {
    const hid_t root = slot.fileid.get();
    const hid_t as1 = slot.analysisset1id.get();
    const hid_t dg1 = slot.datagroup1id.get();
    hsrstringattributecreate(root, 24, "Description", sel.thejobname);
    hsrstringattributecreate(root, 5, "FileVersion", "01.00");
    hsrstringattributecreate(as1, 24, "Description", sel.thejobname);
    hsrstringattributecreate(as1, 17, "Date", sel.thejobdate);
    hsrstringattributecreate(dg1, 100, "Description", sel.description);
    hsrstringattributecreate(dg1, 20, "KALVIR_version", "2020");
    hsrstringattributecreate(dg1, 8, "Time", sel.thejobtime);

    modelscreate(as1, sel);
    {
      const std::array<hsize_t, 1> dims{0};
      const std::array<hsize_t, 1> maxdims{H5S_UNLIMITED};
      const std::array<hsize_t, 1> chunk{kTimeChunk};
      slot.timesdatasetid = hsrdatasetcreate(dg1, chunk, dims, maxdims, "times", H5T_NATIVE_DOUBLE);
    }

    // The selection lists thermal nodes first, then fluid nodes.
    const std::int32_t nnode = sel.numberofthermalnodes;
    const std::int32_t nall = nnode + sel.numberoffluidnodes;
    std::vector<std::int32_t> thermal;
    std::vector<std::int32_t> fluid;
    if (sel.wantnodesflag != 0) {
      for (const std::int32_t node : sel.selected()) {
        if (node < 1) internal_stop("Tmd<SetupNodeIds> 1");
        if (node > nall) internal_stop("Tmd<SetupNodeIds> 2");
        if (node <= nnode) {
          if (fluid.empty()) thermal.push_back(node);
        } else {
          fluid.push_back(node);
        }
      }
    }
    slot.numselectedthermalnodes = static_cast<std::int32_t>(thermal.size());
    slot.numselectedfluidnodes = static_cast<std::int32_t>(fluid.size());
    if (!thermal.empty()) node_datasets(slot, NodeKind::Thermal, thermal);
    if (!fluid.empty()) node_datasets(slot, NodeKind::Fluid, fluid);

    if (sel.wantconductorsflag != 0) conductor_datasets(slot);
    if (sel.wantconstantsflag != 0) constant_datasets(slot);
    // A complete file on disk before its first output: a write that fails
    // then leaves a file with its layout and the outputs stored whole.
    flush_file(root);
  });
  if (STATUS != 0) creation_failed(slot);
}

void tmdclosefile(std::int32_t SLOT, std::int32_t& STATUS) {
  TmdSlot& slot = tmd_slot(SLOT);
  if (!slot.open()) return;
  STATUS = slot.close() < 0 ? -1 : 0;
}
