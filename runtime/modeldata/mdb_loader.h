// Loading the model database (MDB) file into the global arrays.
//
// SCOMLD opens the file named after the model, checks its header, the
// control-constant counts of the program and the program's FLAGS sizes
// against the sizes the file holds, sets the defaults that the file does
// not carry and hands over to LOADB, which reads the model tree and then one
// block per submodel, builds the connection lists and resolves the inter-model
// links and node ties. Every failure of the load is reported by a severity-4
// message, which ends the run; a missing file is the one failure that comes
// back to the caller (IERR 1, no message: the start-up driver names the file
// and the working directory).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/modeldata/mdb_context.h"
#include "runtime/platform/arrays.h"

namespace kalvir::mdb {
// The MDB version this program reads.
inline constexpr std::int32_t kMdbVersion = 20;

// One submodel block (ctx.isub): count table, the three parts, the connection
// lists, the section marker. On failure ctx.section names the step.
std::int32_t LOADC(LoadContext& ctx);
}  // namespace kalvir::mdb

namespace kalvir {
// The ACD file's array reads that the load merges into the ARRAY stores:
// acda_open, acda_movenextsubmodel, acda_getarraydata,
// acda_updatearraypointers and acda_close of the analysis-case data, which
// lies above the model data store; filled by kalvir::install_run_hooks.
struct AcdArrayReads {
  void (*open)(std::string_view MODELNAME) = nullptr;
  void (*next_submodel)(std::string_view NAME, std::int32_t LEVEL) = nullptr;
  void (*array_data)(std::int32_t& NARRAYS, std::int32_t& NVALUES, std::int32_t& NINDEX,
                     std::vector<double>& arrayreals, std::vector<std::int32_t>& arrayints) = nullptr;
  void (*update_pointers)(std::int32_t NARRAYS, std::int32_t INDEXBASE, std::int32_t VALUEBASE,
                          Array1<std::int32_t>& INFOPOINTERS, Array1<std::int32_t>& INFOLIST,
                          const CharArray<18>& NAMES, std::int32_t INFOBASE, std::int32_t FIRST,
                          std::int32_t LAST) = nullptr;
  void (*close)() = nullptr;
};
void set_acd_array_reads(const AcdArrayReads& reads);
// The reads as filled; each is checked where it is called.
const AcdArrayReads& acd_array_reads();
}  // namespace kalvir

// Loads the MDB file on unit IUNIT. IERR 0, or 1 when the file is missing or
// cannot be named or opened (no message). Other failures end the run.
void SCOMLD(std::int32_t IUNIT, std::int32_t& IERR);

// EXISTS := whether the MDB file of MODELNAME exists; IERR 1 when its name
// cannot be built.
void SMODCH(std::string_view MODELNAME, bool& EXISTS, std::int32_t& IERR);

// Opens the MDB file of MODELNAME on IUNIT (record file, OLD). IERR -1 when the
// name cannot be built, else the status of the open.
void SOPEXT(std::string_view MODELNAME, std::int32_t IUNIT, std::int32_t& IERR);

// Reads the file from record 1 to the end of the last submodel block.
// MODELNAME (24 characters) is the program's model name; it receives the name
// stored in the file. NROW is the number of model-directory rows (18).
void LOADB(std::span<char> MODELNAME, std::int32_t NROW, std::int32_t IUNIT, std::int32_t& IERR);

// Skips the block that follows a submodel block (ITAB: the skip table, 3 x 43)
// and its section marker; IERR 5 when the marker is not there.
void LOADD(const kalvir::Array2<std::int32_t>& ITAB, std::int32_t IUNIT, std::int32_t& IERR);

// FLUIDNODEMODELNUMS(j) := the submodel that owns fluid node j.
void SETFNM(const kalvir::Array2<std::int32_t>& MODDIR, std::int32_t NSUB, std::int32_t NF,
            kalvir::Array1<std::int32_t>& FLUIDNODEMODELNUMS);
