// Module TmdThermalModelDataFile: the TMD result files, one per slot, with
// their creation (file, groups, attributes and every dataset of the layout,
// static contents written at once) and their closing.
//
// Layout of a file: the root carries Description and FileVersion; group
// AnalysisSet1 holds the physical constants as attributes and the static
// datasets (models, node and conductor lists, attribute and constant names);
// group DataGroup1 inside it holds the time-extensible datasets to which each
// write appends one slab.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/output/tmd/hdf5_handle.h"
#include "runtime/output/tmd/tmd_selection.h"

namespace kalvir::tmd {
inline constexpr std::int32_t kSlots = 100;

// Work areas of the conductor slab writers, kept with the slot from one
// write to the next: a write then fills memory of its slab's size that is
// already mapped, instead of fresh pages zeroed anew at every output, and the
// areas never grow beyond the slabs of the file's counts. (Node slabs need
// none: the chunk writer asks for their rows a batch of chunks at a time.)
struct SlabWork {
  std::array<std::vector<double>, kConductorKinds> conductors;  // by kind, in flag order
};

// The conductors and links of the file's data rows, in the order of the
// connection-list walk that gives them (list and number of each), with the
// status letters of the selected thermal nodes that walk read: it passes over
// nodes of status 'C'. A write walks the lists again only when one of those
// letters has changed; the lists themselves are fixed from the load on.
struct ConductorRows {
  struct Row {
    int list;
    std::int32_t number;
  };
  std::vector<Row> rows;
  std::string statuses;
  bool known = false;
};
// Slots 1..99 belong to DMPTMD basenames, slot 100 to parameter cases.
inline constexpr std::int32_t kParameterCaseSlot = 100;
}  // namespace kalvir::tmd

// The state of one file slot. A slot is empty when fileid is not valid.
struct TmdSlot {
  kalvir::hdf5::File fileid;
  kalvir::hdf5::Group analysisset1id;
  kalvir::hdf5::Group datagroup1id;
  kalvir::hdf5::Dataset timesdatasetid;
  kalvir::hdf5::Dataset thermalnodesrealdatasetid;
  kalvir::hdf5::Dataset thermalnodesstringdatasetid;
  kalvir::hdf5::Dataset thermalnodesintegerdatasetid;
  kalvir::hdf5::Dataset fluidnodesrealdatasetid;
  kalvir::hdf5::Dataset fluidnodesstringdatasetid;
  kalvir::hdf5::Dataset fluidnodesintegerdatasetid;
  kalvir::hdf5::Dataset gl_datasetid;
  kalvir::hdf5::Dataset gr_datasetid;
  kalvir::hdf5::Dataset gf_datasetid;
  kalvir::hdf5::Dataset gv_datasetid;
  kalvir::hdf5::Dataset m_datasetid;
  kalvir::hdf5::Dataset gp_datasetid;
  kalvir::hdf5::Dataset muserconstantsrealdatasetid;
  kalvir::hdf5::Dataset muserconstantsintdatasetid;
  kalvir::hdf5::Dataset muserconstantschardatasetid;
  kalvir::hdf5::Dataset mcontrolconstantsrealdatasetid;
  kalvir::hdf5::Dataset mcontrolconstantsintdatasetid;
  kalvir::hdf5::Dataset mcontrolconstantschardatasetid;
  std::int32_t numselectedthermalnodes = 0;
  std::int32_t numselectedfluidnodes = 0;
  std::int32_t numrealthermalattributes = 0;
  std::int32_t numstringthermalattributes = 0;
  std::int32_t numintegerthermalattributes = 0;
  std::int32_t numrealfluidattributes = 0;
  std::int32_t numstringfluidattributes = 0;
  std::int32_t numintegerfluidattributes = 0;
  std::int32_t countgl = 0;
  std::int32_t countgr = 0;
  std::int32_t countgf = 0;
  std::int32_t countgv = 0;
  std::int32_t countm_gp = 0;
  // The request that created the file: every write to the file records
  // these nodes, entities and constants, so that its slabs fit the file.
  TmvThermalModelVariables selection;
  kalvir::tmd::SlabWork work;
  kalvir::tmd::ConductorRows conductor_rows;
  // The name the file was created under, removed when its creation fails.
  std::string filename;

  bool open() const noexcept { return fileid.valid(); }
  // The time-extensible datasets, times first.
  std::array<kalvir::hdf5::Dataset*, 19> time_datasets() noexcept;
  // Closes every identifier, the file last, and empties the slot; returns
  // the file close's status. A file whose close fails stays open in the
  // library (kalvir::tmd::files_left_open).
  herr_t close() noexcept;
  // Empties the slot without closing anything through the library, for a
  // file whose metadata could not be written: closing it would write to it
  // again, and a close that fails leaves the library unable to shut down.
  // The file keeps what its last flush stored.
  void abandon() noexcept;
};

// Slot 1..100; any other number is an internal consistency stop.
TmdSlot& tmd_slot(std::int32_t slot);

// Creates file FILENAME (trailing blanks removed; an existing file is
// replaced) in SLOT with its groups AnalysisSet1 and DataGroup1 and the
// physical-constant attributes. A file still open in the slot is closed
// first. STATUS 0, or -1 when an HDF5 call failed: the slot is then
// abandoned and the file the library created removed, so that no file that
// looks like a result is left.
void tmdcreatefile(std::string_view FILENAME, std::int32_t SLOT, std::int32_t& STATUS);

// Creates the remaining attributes and every dataset of the file in slot
// fileindex for the selection just stored in TmvThermalModelVariables,
// writes the static ones and fixes the slot's counts. STATUS -1 on failure,
// after which the slot is abandoned and the file removed, as for
// tmdcreatefile.
void tmdcreatedatasets(std::int32_t& STATUS);

// Closes the slot's file and empties the slot; nothing (STATUS unchanged)
// when the slot is empty. STATUS is the file close's status.
void tmdclosefile(std::int32_t SLOT, std::int32_t& STATUS);

namespace kalvir::tmd {
// Closes every open TMD file; the end of the run calls it before it shuts
// the HDF5 library down.
void close_all_files();

// Whether a TMD file was left open in the library: abandoned after a failed
// creation or write, or its close failed. The end of the run must then not
// shut the library down, which would close the file (and, after a failed
// close, end in a crash); the process end leaves the file as it was flushed.
bool files_left_open();
}  // namespace kalvir::tmd
