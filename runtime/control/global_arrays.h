// gar_GlobalArrays_m: the model's variable-size data, allocated once by
// gar_Allocate and read and written in place by every subsystem.
//
// The table below lists the 108 arrays in allocation order with their types
// and extents; declarations, definitions and allocation are generated from it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

// The 28 sizes handed to gar_Allocate, in the order of its argument list.
struct GarSizes {
  std::int32_t ninfolist;        //  1 FLAGS 18
  std::int32_t dystor;           //  2 FLAGS 28
  std::int32_t ndirrows;         //  3 the constant 18
  std::int32_t npcsfluid;        //  4 FLAGS 35
  std::int32_t npcsthermal;      //  5 4 x (NGL + NGF + NGR)
  std::int32_t npcsthermalold;   //  6 FLAGS 24
  std::int32_t narrays;          //  7 FLAGS 19
  std::int32_t nccnames;         //  8 FLAGS 17
  std::int32_t nuserconsts;      //  9 FLAGS 16
  std::int32_t ncharrayelems;    // 10 FLAGS 22
  std::int32_t ncharuc;          // 11 FLAGS 9
  std::int32_t ncharucelems;     // 12 FLAGS 8
  std::int32_t ngf;              // 13
  std::int32_t nf;               // 14
  std::int32_t nintarrayelems;   // 15 FLAGS 21
  std::int32_t nintuc;           // 16 FLAGS 7
  std::int32_t ngl;              // 17
  std::int32_t nm;               // 18
  std::int32_t naliases;         // 19 FLAGS 40
  std::int32_t ngr;              // 20
  std::int32_t nrealarrayelems;  // 21 FLAGS 20
  std::int32_t nrealuc;          // 22 FLAGS 6
  std::int32_t nsub;             // 23
  std::int32_t nnode;            // 24
  std::int32_t ncharattr;        // 25 SPRSIZ 3
  std::int32_t nintattr;         // 26 SPRSIZ 4
  std::int32_t nrealattr;        // 27 SPRSIZ 5
  std::int32_t ngv;              // 28
};

// The sizes as the start-up driver takes them from FLAGS and SPRSIZ.
GarSizes gar_sizes_from_flags();

namespace kalvir::gar {
using I32 = Array1<std::int32_t>;
using R64 = Array1<double>;
using I32x2 = Array2<std::int32_t>;
using R64x2 = Array2<double>;
using L32x2 = Array2<std::int32_t>;  // logicals: 0 false, 1 true
using C1 = CharArray<1>;
using C4 = CharArray<4>;
using C18 = CharArray<18>;
using C24 = CharArray<24>;
using C133 = CharArray<133>;
}  // namespace kalvir::gar

// X(name, type, extents...) over a GarSizes s.
#define KALVIR_GAR_TABLE(X)                                                     \
  X(gar_arrayinfolist, I32, s.ninfolist)                                        \
  X(gar_arraynames, C18, s.narrays)                                             \
  X(gar_arrayinfopointers, I32, s.narrays)                                      \
  X(gar_arrayvalueschar, C133, s.ncharrayelems)                                 \
  X(gar_arrayvaluesint, I32, s.nintarrayelems)                                  \
  X(gar_arrayvaluesreal, R64, s.nrealarrayelems)                                \
  X(gar_fluidiccondnodepairs, I32, 2LL * s.ngf)                                 \
  X(gar_linearcondnodepairs, I32, 2LL * s.ngl)                                  \
  X(gar_radiativecondnodepairs, I32, 2LL * s.ngr)                               \
  X(gar_vfaccondnodepairs, I32, 2LL * s.ngv)                                    \
  X(gar_controlconstnames, C18, s.nccnames)                                     \
  X(gar_dynamiccoreint, I32, s.dystor)                                          \
  X(gar_dynamiccorereal, R64, s.dystor)                                         \
  X(gar_fluidiccondacts, C1, s.ngf)                                             \
  X(gar_fluidicconds, R64, s.ngf)                                               \
  X(gar_fluidnodecompliances, R64, s.nf)                                        \
  X(gar_fluidnodecoordsx, R64, s.nf)                                            \
  X(gar_fluidnodecoordsy, R64, s.nf)                                            \
  X(gar_fluidnodecoordsz, R64, s.nf)                                            \
  X(gar_fluidnodeflowareas, R64, s.nf)                                          \
  X(gar_fluidnodeflowregimes, C4, s.nf)                                         \
  X(gar_fluidnodeheatsources, R64, s.nf)                                        \
  X(gar_fluidnodeheattransferareas, R64, s.nf)                                  \
  X(gar_fluidnodehydraulicdiameters, R64, s.nf)                                 \
  X(gar_fluidnodelabels, C24, s.nf)                                             \
  X(gar_fluidnodelengths, R64, s.nf)                                            \
  X(gar_fluidnodemassflowsources, R64, s.nf)                                    \
  X(gar_fluidnodemasssourcespecenthalpies, R64, s.nf)                           \
  X(gar_fluidnodemasssourcespechumidities, R64, s.nf)                           \
  X(gar_fluidnodemasssourcetemps, R64, s.nf)                                    \
  X(gar_fluidnodemodelnums, I32, s.nf)                                          \
  X(gar_fluidnodenums, I32, s.nf)                                               \
  X(gar_fluidnodepressures, R64, s.nf)                                          \
  X(gar_fluidnoderelhumidities, R64, s.nf)                                      \
  X(gar_fluidnodespecenthalpies, R64, s.nf)                                     \
  X(gar_fluidnodespechumidities, R64, s.nf)                                     \
  X(gar_fluidnodestatedescriptors, C4, s.nf)                                    \
  X(gar_fluidnodestatuses, C1, s.nf)                                            \
  X(gar_fluidnodetemps, R64, s.nf)                                              \
  X(gar_fluidnodefluidtypes, C24, s.nf)                                         \
  X(gar_fluidnodeuserentityvalschar, C24, 1LL * s.ncharattr * s.nf)             \
  X(gar_fluidnodeuserentityvalsint, I32, 1LL * s.nintattr * s.nf)               \
  X(gar_fluidnodeuserentityvalsreal, R64, 1LL * s.nrealattr * s.nf)             \
  X(gar_fluidnodevapourqualities, R64, s.nf)                                    \
  X(gar_fluidnodewatervapoursinkrates, R64, s.nf)                               \
  X(gar_fluidnodevolumes, R64, s.nf)                                            \
  X(gar_fluidnodevolumechangerates, R64, s.nf)                                  \
  X(gar_fluidnodevolumecontrolflags, C1, s.nf)                                  \
  X(gar_fluidnodewallroughnesses, R64, s.nf)                                    \
  X(gar_linearcondacts, C1, s.ngl)                                              \
  X(gar_linearconds, R64, s.ngl)                                                \
  X(gar_massflowlinkphasesepflags, L32x2, 2, s.nm)                              \
  X(gar_massflowlinkenthalpies, R64, s.nm)                                      \
  X(gar_massflowlinkevapheatfluxes, R64, s.nm)                                  \
  X(gar_massflowlinkfittinglosses, R64, s.nm)                                   \
  X(gar_massflowlinkflowrates, R64, s.nm)                                       \
  X(gar_massflowlinkconds, R64, s.nm)                                           \
  X(gar_massflowlinkcondnodepairs, I32, 2LL * s.nm)                             \
  X(gar_massflowlinkstatuses, C1, s.nm)                                         \
  X(gar_massflowlinkpressuresources, R64, s.nm)                                 \
  X(gar_massflowlinkpsourcederivs, R64, s.nm)                                   \
  X(gar_massflowlinktypes, I32, s.nm)                                           \
  X(gar_massflowlinkvapquals, R64, s.nm)                                        \
  X(gar_massflowlinkphasesepvapquals, R64x2, 2, s.nm)                           \
  X(gar_modeldirectory, I32x2, s.ndirrows, s.nsub + 1LL)                        \
  X(gar_modelnames, C24, s.nsub)                                                \
  X(gar_modelstatuses, C1, s.nsub)                                              \
  X(gar_nodealiasnames, C18, s.naliases)                                        \
  X(gar_nodealiasnumbers, I32, s.naliases)                                      \
  X(gar_pcsfluid, I32, s.npcsfluid)                                             \
  X(gar_pcsptrsfluid, I32, s.nf)                                                \
  X(gar_pcsptrsthermal, I32x2, 6, s.nnode)                                      \
  X(gar_pcsptrsthermalold, I32, s.nnode)                                        \
  X(gar_pcsthermal, I32, s.npcsthermal)                                         \
  X(gar_pcsthermalold, I32, s.npcsthermalold)                                   \
  X(gar_radiativecondacts, C1, s.ngr)                                           \
  X(gar_radiativeconds, R64, s.ngr)                                             \
  X(gar_submodelnames, C24, s.nsub)                                             \
  X(gar_thermalnodecapacitances, R64, s.nnode)                                  \
  X(gar_thermalnodecoordsx, R64, s.nnode)                                       \
  X(gar_thermalnodecoordsy, R64, s.nnode)                                       \
  X(gar_thermalnodecoordsz, R64, s.nnode)                                       \
  X(gar_thermalnodeemissivities, R64, s.nnode)                                  \
  X(gar_thermalnodeincidentfluxesalbedo, R64, s.nnode)                          \
  X(gar_thermalnodeincidentfluxesplanet, R64, s.nnode)                          \
  X(gar_thermalnodeincidentfluxessolar, R64, s.nnode)                           \
  X(gar_thermalnodelabels, C24, s.nnode)                                        \
  X(gar_thermalnodenums, I32, s.nnode)                                          \
  X(gar_thermalnodeabsorptivities, R64, s.nnode)                                \
  X(gar_thermalnodestatuses, C1, s.nnode)                                       \
  X(gar_thermalnodestatusescopy, C1, s.nnode)                                   \
  X(gar_thermalnodesurfaceareas, R64, s.nnode)                                  \
  X(gar_thermalnodetemps, R64, s.nnode)                                         \
  X(gar_thermalnodeheatsourcesalbedo, R64, s.nnode)                             \
  X(gar_thermalnodeheatsourcesplanet, R64, s.nnode)                             \
  X(gar_thermalnodeheatsourcesinternal, R64, s.nnode)                           \
  X(gar_thermalnodeheatsourcesother, R64, s.nnode)                              \
  X(gar_thermalnodeheatsourcessolar, R64, s.nnode)                              \
  X(gar_thermalnodeuserentityvalschar, C24, 1LL * s.ncharattr * s.nnode)        \
  X(gar_thermalnodeuserentityvalsint, I32, 1LL * s.nintattr * s.nnode)          \
  X(gar_thermalnodeuserentityvalsreal, R64, 1LL * s.nrealattr * s.nnode)        \
  X(gar_userconstnames, C18, s.nuserconsts)                                     \
  X(gar_userconstpointerschar, I32, s.ncharuc)                                  \
  X(gar_userconstvalueschar, C133, s.ncharucelems)                              \
  X(gar_userconstvaluesint, I32, s.nintuc)                                      \
  X(gar_userconstvaluesreal, R64, s.nrealuc)                                    \
  X(gar_vfaccondacts, C1, s.ngv)                                                \
  X(gar_vfacconds, R64, s.ngv)

#define KALVIR_X(name, type, ...) extern kalvir::gar::type name;
KALVIR_GAR_TABLE(KALVIR_X)
#undef KALVIR_X

// Allocates all 108 arrays, value-initialised (zeros, blanks). A second call
// stops the run with "Attempting to allocate already allocated variable '...'",
// memory that cannot be had with "Allocation would exceed memory limit", and a
// negative size (a corrupt count) with its own message; all three end the run
// with exit status 1.
void gar_Allocate(const GarSizes& sizes);

// Releases every array (tests only: a run allocates once and keeps them).
void gar_release_all_for_tests();

// How many times the arrays have been allocated: a run allocates once, so
// state kept for the length of a run is fresh whenever the count moved.
std::uint64_t gar_allocation_count() noexcept;

// Work space in the dynamic cores. A mark saves the next-free words (FLAGS 29
// and 36) and puts them back when it goes out of scope, on every way out;
// take_real and take_int advance them and return the first word taken.
class DynamicCoreMark {
 public:
  DynamicCoreMark() noexcept;
  ~DynamicCoreMark();
  DynamicCoreMark(const DynamicCoreMark&) = delete;
  DynamicCoreMark& operator=(const DynamicCoreMark&) = delete;

  std::int32_t take_real(std::int32_t words) noexcept;
  std::int32_t take_int(std::int32_t words) noexcept;
  std::int32_t saved_real() const noexcept { return real_; }
  std::int32_t saved_int() const noexcept { return int_; }

 private:
  std::int32_t real_;
  std::int32_t int_;
};
