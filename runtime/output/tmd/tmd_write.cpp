#include "runtime/output/tmd/tmd_write.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/packed_store.h"
#include "runtime/output/tmd/tmd_columns.h"
#include "runtime/output/tmd/tmd_conductors.h"
#include "runtime/output/tmd/tmd_file.h"
#include "runtime/output/tmd/tmd_hdf5.h"

namespace kalvir::tmd {
namespace {

constexpr std::size_t kNodeTextLength = 24;
constexpr std::size_t kConstantTextLength = 132;
constexpr std::size_t kPackedRowLength = 133;

// The internal indices of the nodes a slab covers: entries first + 1 to
// first + count of the selection (thermal nodes, then fluid nodes).
std::span<const std::int32_t> slab_nodes(const TmvThermalModelVariables& sel, std::int32_t first, std::int32_t count) {
  const auto all = sel.selected();
  const std::size_t from = std::min(all.size(), static_cast<std::size_t>(std::max(first, 0)));
  const std::size_t n = std::min(all.size() - from, static_cast<std::size_t>(std::max(count, 0)));
  return all.subspan(from, n);
}

// Rows first .. first + count - 1 of a node-data slab of width columns from
// the column list, into out; rows the selection does not reach and columns
// without a source stay zero.
template <class T>
void node_rows(T* out, const std::vector<Column<T>>& cols, std::span<const std::int32_t> nodes, std::int64_t offset,
               std::size_t width, std::size_t first, std::size_t count) {
  const std::size_t usable = std::min(cols.size(), width);
  for (std::size_t r = first; r < first + count; ++r, out += width) {
    std::size_t c = 0;
    if (r < nodes.size()) {
      for (; c < usable; ++c) out[c] = column_value(cols[c], nodes[r] - offset);
    }
    std::fill(out + c, out + width, T{});
  }
}

// The same for texts of kNodeTextLength characters, blank where no source.
void text_rows(char* out, const std::vector<Column<std::string_view>>& cols, std::span<const std::int32_t> nodes,
               std::int64_t offset, std::size_t width, std::size_t first, std::size_t count) {
  const std::size_t usable = std::min(cols.size(), width);
  for (std::size_t r = first; r < first + count; ++r) {
    std::size_t c = 0;
    if (r < nodes.size()) {
      for (; c < usable; ++c, out += kNodeTextLength) {
        assign_padded(std::span<char>(out, kNodeTextLength), cols[c].value(nodes[r] - offset));
      }
    }
    const std::size_t blank = (width - c) * kNodeTextLength;
    std::fill(out, out + blank, ' ');
    out += blank;
  }
}

struct NodeSlabs {
  NodeKind kind;
  std::int32_t first;  // selection entries before the kind's rows
  std::int32_t rows;
  std::int32_t nreal, ntext, nint;
  hid_t real, text, integer;
};

// The slabs are filled as the chunk writer asks for their rows, so that a
// slab of many nodes is never held whole.
void write_node_slabs(const TmvThermalModelVariables& sel, const NodeSlabs& s) {
  if (s.rows < 1) return;
  const auto nodes = slab_nodes(sel, s.first, s.rows);
  const std::int64_t offset = s.kind == NodeKind::Thermal ? 0 : sel.numberofthermalnodes;
  const hsize_t rows = static_cast<hsize_t>(s.rows);
  auto width = [](std::int32_t n) { return static_cast<std::size_t>(std::max(n, 0)); };
  if (s.real >= 0) {
    const auto cols = real_columns(sel, s.kind);
    append_rows(s.real, H5T_NATIVE_DOUBLE, {rows, static_cast<hsize_t>(s.nreal)},
                [&](std::size_t first, std::size_t count, void* dst) {
                  node_rows(static_cast<double*>(dst), cols, nodes, offset, width(s.nreal), first, count);
                });
  }
  if (s.text >= 0) {
    const auto cols = text_columns(sel, s.kind);
    const hdf5::Datatype type = string_type(kNodeTextLength);
    append_rows(s.text, type.get(), {rows, static_cast<hsize_t>(s.ntext)},
                [&](std::size_t first, std::size_t count, void* dst) {
                  text_rows(static_cast<char*>(dst), cols, nodes, offset, width(s.ntext), first, count);
                });
  }
  if (sel.numuserintegerattributes >= 1 && s.integer >= 0) {
    const auto cols = integer_columns(sel, s.kind);
    append_rows(s.integer, H5T_NATIVE_INT, {rows, static_cast<hsize_t>(s.nint)},
                [&](std::size_t first, std::size_t count, void* dst) {
                  node_rows(static_cast<std::int32_t*>(dst), cols, nodes, offset, width(s.nint), first, count);
                });
  }
}

// Elements base + 1 .. base + n of a value store, zero where it ends.
template <class T>
std::vector<T> store_run(const Array1<T>& store, std::int64_t base, std::int32_t n) {
  std::vector<T> out(static_cast<std::size_t>(n), T{});
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int64_t i = base + k;
    if (i >= 1 && i <= store.size()) out[static_cast<std::size_t>(k - 1)] = store(i);
  }
  return out;
}

// The selected character user constants, submodel by submodel, each cut or
// blank-padded to 132 characters; a value that cannot be extracted stays as
// far as it came.
std::string character_constants(const TmvThermalModelVariables& sel, std::int32_t n) {
  const auto& dir = gar_modeldirectory;
  std::string out(static_cast<std::size_t>(n) * kConstantTextLength, ' ');
  const auto nrows = static_cast<std::int32_t>(gar_userconstvalueschar.size());
  const std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(
      static_cast<std::int64_t>(nrows) * kPackedRowLength, std::numeric_limits<std::int32_t>::max()));
  std::int32_t entry = 0;
  for (std::int32_t m = sel.tmv_selectedsubmodelfirstid; m <= sel.tmv_selectedsubmodellastid; ++m) {
    const std::int32_t count = dir(11, m + 1) - dir(13, m);
    for (std::int32_t j = 1; j <= count && entry < n; ++j, ++entry) {
      const std::int64_t p = static_cast<std::int64_t>(dir(10, m)) + j;
      if (p < 1 || p > gar_userconstpointerschar.size()) continue;
      const std::int64_t start =
          static_cast<std::int64_t>(kPackedRowLength) * dir(15, m) + gar_userconstpointerschar(p);
      if (start < 1 || start > end) continue;
      std::int32_t len = 0;
      std::int32_t ierr = 0;
      DBFZPK(gar_userconstvalueschar, nrows, end, static_cast<std::int32_t>(start), len,
             std::span<char>(out.data() + static_cast<std::size_t>(entry) * kConstantTextLength, kConstantTextLength),
             ierr);
    }
  }
  return out;
}

void write_constants(const TmdSlot& slot) {
  const TmvThermalModelVariables& sel = slot.selection;
  const auto& dir = gar_modeldirectory;
  const std::int32_t first = sel.tmv_selectedsubmodelfirstid;
  const hdf5::Datatype text_t = string_type(kConstantTextLength);

  if (const std::int32_t n = sel.tmv_numselecteduserconstantsreal; n >= 1 && slot.muserconstantsrealdatasetid) {
    const auto values = store_run(gar_userconstvaluesreal, dir(8, first), n);
    append_slab(slot.muserconstantsrealdatasetid.get(), H5T_NATIVE_DOUBLE, {static_cast<hsize_t>(n)}, values.data());
  }
  if (const std::int32_t n = sel.tmv_numselecteduserconstantsint; n >= 1 && slot.muserconstantsintdatasetid) {
    const auto values = store_run(gar_userconstvaluesint, dir(9, first), n);
    append_slab(slot.muserconstantsintdatasetid.get(), H5T_NATIVE_INT, {static_cast<hsize_t>(n)}, values.data());
  }
  if (const std::int32_t n = sel.tmv_numselecteduserconstantschar; n >= 1 && slot.muserconstantschardatasetid) {
    const std::string values = character_constants(sel, n);
    append_slab(slot.muserconstantschardatasetid.get(), text_t.get(), {static_cast<hsize_t>(n)}, values.data());
  }

  if (slot.mcontrolconstantsrealdatasetid) {
    std::array<double, 49> values{};
    gcc_getvaluesreal(values);
    append_slab(slot.mcontrolconstantsrealdatasetid.get(), H5T_NATIVE_DOUBLE, {values.size()}, values.data());
  }
  if (slot.mcontrolconstantsintdatasetid) {
    std::array<std::int32_t, 25> values{};
    gcc_getvaluesint(values);
    append_slab(slot.mcontrolconstantsintdatasetid.get(), H5T_NATIVE_INT, {values.size()}, values.data());
  }
  if (slot.mcontrolconstantschardatasetid) {
    CharArray<kConstantTextLength> values(16);
    gcc_getvalueschar(values);
    append_slab(slot.mcontrolconstantschardatasetid.get(), text_t.get(), {static_cast<hsize_t>(values.size())},
                values.data());
  }
}

}  // namespace
}  // namespace kalvir::tmd

void tmdwritedata(std::int32_t& STATUS) {
  using namespace kalvir::tmd;
  const TmvThermalModelVariables& tmv = tmv_module();
  TmdSlot& slot = tmd_slot(tmv.fileindex);
  if (!slot.open()) {
    STATUS = -1;
    return;
  }
  const TmvThermalModelVariables& sel = slot.selection;
  const hid_t file = slot.fileid.get();
  // The output's data first, flushed, then its time, flushed: a time reaches
  // the file only once all of its data are stored there, so that every time
  // in the file has its data in every dataset, whatever part of a write a
  // full disk stops.
  STATUS = hdf5_status([&] {
    if (sel.wantnodesflag != 0) {
      write_node_slabs(sel, {NodeKind::Thermal, 0, slot.numselectedthermalnodes, slot.numrealthermalattributes,
                             slot.numstringthermalattributes, slot.numintegerthermalattributes,
                             slot.thermalnodesrealdatasetid.get(), slot.thermalnodesstringdatasetid.get(),
                             slot.thermalnodesintegerdatasetid.get()});
      write_node_slabs(sel, {NodeKind::Fluid, slot.numselectedthermalnodes, slot.numselectedfluidnodes,
                             slot.numrealfluidattributes, slot.numstringfluidattributes,
                             slot.numintegerfluidattributes, slot.fluidnodesrealdatasetid.get(),
                             slot.fluidnodesstringdatasetid.get(), slot.fluidnodesintegerdatasetid.get()});
    }
    if (sel.wantconductorsflag != 0) write_conductor_data(slot);
    if (sel.wantconstantsflag != 0) write_constants(slot);
    flush_file(file);
    if (slot.timesdatasetid) {
      const double t = tmv.currenttime;
      append_slab(slot.timesdatasetid.get(), H5T_NATIVE_DOUBLE, {}, &t);
    }
    flush_file(file);
  });
  // A file whose write failed stays as its last flush left it, every time
  // in it with all of its data (a slab of the failed output may be there
  // without its time). It is neither flushed again nor closed through the
  // library: either would store the output written in part, whose missing
  // chunks read as zeros, and on a full disk a close that fails leaves the
  // library unable to shut down.
  if (STATUS != 0) slot.abandon();
}
