// Status changes, node ties and undefined values.
//
// STATST is the model program's status statement: it switches a node's status
// letter or a conductor's activity at run time and records the change in the
// status-change flag that the solution routines test before each step.
// SSNCNT gives every tied node the value of its source node. MTDTST tests an
// option bit of METHOD. The undefined-value tests recognise the marker
// 2147483647 that values the model never set carry.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/arrays.h"

namespace kalvir {
// The entity-reference readers STATST applies a statement with: LSVENT,
// LSMINT, LSNSST and LSCSST of the model data store, which lies above the
// status changes; filled by kalvir::install_run_hooks.
struct StatusReaders {
  void (*entity)(std::string_view TEXT, std::int32_t& ISENT, std::int32_t& NLET, std::int32_t& ICTYPE,
                 std::int32_t& ISNODE, std::int32_t& IERR) = nullptr;  // LSVENT
  void (*submodel)(const Array2<std::int32_t>& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::int32_t REPORT,
                   std::int32_t ICUR, const CharArray<24>& NAMES, std::string_view TEXT, std::int32_t IEND,
                   std::int32_t& POS, std::int32_t& ISUB, std::int32_t& IERR) = nullptr;  // LSMINT
  void (*node_status)(std::int32_t& POS, std::int32_t ISUB, std::string_view TEXT, std::int32_t LEN,
                      std::string_view STATUS, std::int32_t& CHANGED, std::int32_t& IERR) = nullptr;  // LSNSST
  void (*conductor_status)(std::string_view CALLER, std::string_view STATUS, std::int32_t ICTYPE, std::int32_t ISUB,
                           std::string_view TEXT, std::int32_t LEN, std::int32_t& POS, std::int32_t& CHANGED,
                           std::int32_t& IERR) = nullptr;  // LSCSST
};
void set_status_readers(const StatusReaders& readers);
}  // namespace kalvir

// Applies the status statement: ZENT names a node ("N4", "T:SUB1:7") or a
// conductor ("GL(1,2)", "GV(3,SUB2:4,2)"); STATUS is a node status letter or
// "ON" / "OFF" for a conductor. Errors are reported by the readers and change
// nothing. "OFF" for a conductor also sets FLAGS word 30.
void STATST(std::string_view ZENT, std::string_view STATUS);

// The status-change flag: set to 1 when a status statement or the heater
// manager changed a status; the solution routines reset it.
std::int32_t stat_getstatst();
void stat_setstatst(std::int32_t FLAG);

// Node ties: IA is the length of LIST (FLAGS word 24), IB the length of the
// tie tail at its end (FLAGS word 25); the tail holds, from its word 2, the
// group count and the groups [source, n, n targets]. Each target of VALUES
// (1-based, e.g. gar_thermalnodetemps) takes its source's value. N plays no
// part. A tail that leads outside LIST or VALUES stops the run with ERROR.
void SSNCNT(std::int32_t IA, std::int32_t IB, std::int32_t N, std::span<const std::int32_t> LIST,
            std::span<double> VALUES);

// True when bit K (a power of two) of a non-negative METHOD is set.
bool MTDTST(std::int32_t K);

// The undefined-value marker and its tests. A double is undefined when its
// low-order 32-bit word holds the marker, whatever its other word: the bits
// are tested, never the value.
std::int32_t SKUNDF();
bool SUNDCK(std::int32_t I);
bool SDUNDF(double X);
bool SLUNDF(double X);
