#include "runtime/control/state_dump.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/status.h"
#include "runtime/platform/units.h"

// The records hold the values as they lie in memory; the file layout is
// little-endian, so the host must be too.
static_assert(std::endian::native == std::endian::little, "the state dump is written in host byte order");
static_assert(sizeof(GloiBlock) == GloiBlock::count * sizeof(std::int32_t), "GLOI words must run together");
static_assert(sizeof(GlorBlock) == GlorBlock::count * sizeof(double), "GLOR words must run together");

namespace {

namespace io = kalvir::platform;

std::uint64_t restores = 0;

using Bytes = std::span<std::byte>;

// The places one record fills: up to three pieces written back to back. A
// count taken from FLAGS that does not fit its block gives the pieces that do
// fit and a failure status for the record.
struct Pieces {
  std::array<Bytes, 3> part{};
  int n = 0;
  int status = 0;

  Pieces& add(Bytes b) {
    part[static_cast<std::size_t>(n++)] = b;
    return *this;
  }
  std::size_t total() const {
    std::size_t t = 0;
    for (int i = 0; i < n; ++i) t += part[static_cast<std::size_t>(i)].size();
    return t;
  }
};

template <class T>
Bytes raw(T* data, std::size_t count) {
  return {reinterpret_cast<std::byte*>(data), count * sizeof(T)};
}

template <class T>
Pieces whole(kalvir::Array1<T>& a) {
  return Pieces{}.add(raw(a.data(), static_cast<std::size_t>(a.size())));
}
template <class T>
Pieces whole(kalvir::Array2<T>& a) {
  return Pieces{}.add(raw(a.data(), static_cast<std::size_t>(a.size())));
}
template <std::size_t W>
Pieces whole(kalvir::CharArray<W>& a) {
  return Pieces{}.add(raw(a.data(), static_cast<std::size_t>(a.size()) * W));
}

// The first `count` words of a block of `room` words.
template <class T>
Pieces leading(T* first, std::int64_t count, std::int64_t room) {
  Pieces p;
  const std::int64_t n = count < 0 ? 0 : (count > room ? room : count);
  p.add(raw(first, static_cast<std::size_t>(n)));
  if (n != count) p.status = EINVAL;
  return p;
}

Pieces run_information() {
  return Pieces{}
      .add(raw(JOBINF.model.data(), JOBINF.model.size()))
      .add(raw(JOBINF.date.data(), JOBINF.date.size()))
      .add(raw(JOBINF.time.data(), JOBINF.time.size()));
}

Pieces character_constants() {
  auto all = GLOC.raw();
  return Pieces{}.add(raw(all.data(), all.size()));
}

std::int64_t per_submodel(int word) { return static_cast<std::int64_t>(gfl_getnumsubmodels()) * FLAGS(word); }

#define KALVIR_WHOLE(name) [] { return whole(name); }

// The 85 records in file order.
constexpr std::array<Pieces (*)(), kalvir::kStateDumpRecords> kRecords{
    run_information,                                   //  1
    character_constants,                               //  2
    KALVIR_WHOLE(gar_modeldirectory),                  //  3
    KALVIR_WHOLE(gar_modelstatuses),                   //  4
    KALVIR_WHOLE(gar_modelnames),                      //  5
    KALVIR_WHOLE(gar_thermalnodenums),                 //  6
    KALVIR_WHOLE(gar_thermalnodetemps),                //  7
    KALVIR_WHOLE(gar_thermalnodecapacitances),         //  8
    KALVIR_WHOLE(gar_thermalnodeheatsourcesalbedo),    //  9
    KALVIR_WHOLE(gar_thermalnodeheatsourcesplanet),    // 10
    KALVIR_WHOLE(gar_thermalnodeheatsourcesinternal),  // 11
    KALVIR_WHOLE(gar_thermalnodeheatsourcesother),     // 12
    KALVIR_WHOLE(gar_thermalnodeheatsourcessolar),     // 13
    KALVIR_WHOLE(gar_thermalnodesurfaceareas),         // 14
    KALVIR_WHOLE(gar_thermalnodeabsorptivities),       // 15
    KALVIR_WHOLE(gar_thermalnodeemissivities),         // 16
    KALVIR_WHOLE(gar_thermalnodeincidentfluxesalbedo), // 17
    KALVIR_WHOLE(gar_thermalnodeincidentfluxesplanet), // 18
    KALVIR_WHOLE(gar_thermalnodeincidentfluxessolar),  // 19
    KALVIR_WHOLE(gar_thermalnodecoordsx),              // 20
    KALVIR_WHOLE(gar_thermalnodecoordsy),              // 21
    KALVIR_WHOLE(gar_thermalnodecoordsz),              // 22
    KALVIR_WHOLE(gar_thermalnodestatuses),             // 23
    KALVIR_WHOLE(gar_thermalnodestatusescopy),         // 24
    KALVIR_WHOLE(gar_thermalnodelabels),               // 25
    KALVIR_WHOLE(gar_linearconds),                     // 26
    KALVIR_WHOLE(gar_linearcondacts),                  // 27
    KALVIR_WHOLE(gar_radiativeconds),                  // 28
    KALVIR_WHOLE(gar_radiativecondacts),               // 29
    KALVIR_WHOLE(gar_fluidicconds),                    // 30
    KALVIR_WHOLE(gar_fluidiccondacts),                 // 31
    KALVIR_WHOLE(gar_vfacconds),                       // 32
    KALVIR_WHOLE(gar_vfaccondacts),                    // 33
    KALVIR_WHOLE(gar_vfaccondnodepairs),               // 34
    KALVIR_WHOLE(gar_userconstnames),                  // 35
    KALVIR_WHOLE(gar_userconstvaluesreal),             // 36
    KALVIR_WHOLE(gar_userconstvaluesint),              // 37
    KALVIR_WHOLE(gar_userconstpointerschar),           // 38
    KALVIR_WHOLE(gar_userconstvalueschar),             // 39
    KALVIR_WHOLE(gar_arraynames),                      // 40
    KALVIR_WHOLE(gar_arrayinfopointers),               // 41
    KALVIR_WHOLE(gar_arrayinfolist),                   // 42
    KALVIR_WHOLE(gar_arrayvaluesint),                  // 43
    KALVIR_WHOLE(gar_arrayvaluesreal),                 // 44
    KALVIR_WHOLE(gar_arrayvalueschar),                 // 45
    KALVIR_WHOLE(gar_controlconstnames),               // 46
    [] { return leading(&GLOI(1), FLAGS(14), GloiBlock::count); },         // 47
    [] { return leading(&GLOR(1), FLAGS(13), GlorBlock::count); },         // 48
    [] { return leading(LOCI.data(), per_submodel(11), LOCI.size()); },    // 49
    [] { return leading(LOCR.data(), per_submodel(10), LOCR.size()); },    // 50
    KALVIR_WHOLE(gar_pcsptrsthermalold),               // 51
    KALVIR_WHOLE(gar_pcsthermalold),                   // 52
    KALVIR_WHOLE(gar_fluidnodenums),                   // 53
    KALVIR_WHOLE(gar_fluidnodeheattransferareas),      // 54
    KALVIR_WHOLE(gar_fluidnodehydraulicdiameters),     // 55
    KALVIR_WHOLE(gar_fluidnodelengths),                // 56
    KALVIR_WHOLE(gar_fluidnodepressures),              // 57
    KALVIR_WHOLE(gar_fluidnodespecenthalpies),         // 58
    KALVIR_WHOLE(gar_fluidnodetemps),                  // 59
    KALVIR_WHOLE(gar_fluidnodewallroughnesses),        // 60
    KALVIR_WHOLE(gar_fluidnodeheatsources),            // 61
    KALVIR_WHOLE(gar_fluidnodemassflowsources),        // 62
    KALVIR_WHOLE(gar_fluidnodemasssourcespecenthalpies),  // 63
    KALVIR_WHOLE(gar_fluidnodemasssourcetemps),        // 64
    KALVIR_WHOLE(gar_fluidnodefluidtypes),             // 65
    KALVIR_WHOLE(gar_fluidnodecoordsx),                // 66
    KALVIR_WHOLE(gar_fluidnodecoordsy),                // 67
    KALVIR_WHOLE(gar_fluidnodecoordsz),                // 68
    KALVIR_WHOLE(gar_fluidnodelabels),                 // 69
    KALVIR_WHOLE(gar_fluidnodestatuses),               // 70
    KALVIR_WHOLE(gar_fluidnodecompliances),            // 71
    KALVIR_WHOLE(gar_fluidnodeflowareas),              // 72
    KALVIR_WHOLE(gar_fluidnodeflowregimes),            // 73
    KALVIR_WHOLE(gar_fluidnodestatedescriptors),       // 74
    KALVIR_WHOLE(gar_fluidnodemasssourcespechumidities),  // 75
    KALVIR_WHOLE(gar_fluidnoderelhumidities),          // 76
    KALVIR_WHOLE(gar_fluidnodevapourqualities),        // 77
    KALVIR_WHOLE(gar_fluidnodevolumechangerates),      // 78
    KALVIR_WHOLE(gar_fluidnodevolumes),                // 79
    KALVIR_WHOLE(gar_massflowlinkcondnodepairs),       // 80
    KALVIR_WHOLE(gar_massflowlinkflowrates),           // 81
    KALVIR_WHOLE(gar_massflowlinkfittinglosses),       // 82
    KALVIR_WHOLE(gar_massflowlinkstatuses),            // 83
    KALVIR_WHOLE(gar_pcsptrsfluid),                    // 84
    KALVIR_WHOLE(gar_pcsfluid),                        // 85
};

// Values the dump file leaves out that a case can still change: the user
// attributes (case statements), the links' types and pressure sources with
// their derivatives (the model's blocks). DMPCOM keeps a copy of them beside
// the file and RSTCOM puts it back, so that an !INITIAL case starts from all
// of the state saved before the base case, not from what the last case left.
constexpr std::array<Pieces (*)(), 9> kKeptBeside{
    KALVIR_WHOLE(gar_thermalnodeuserentityvalsreal),
    KALVIR_WHOLE(gar_thermalnodeuserentityvalsint),
    KALVIR_WHOLE(gar_thermalnodeuserentityvalschar),
    KALVIR_WHOLE(gar_fluidnodeuserentityvalsreal),
    KALVIR_WHOLE(gar_fluidnodeuserentityvalsint),
    KALVIR_WHOLE(gar_fluidnodeuserentityvalschar),
    KALVIR_WHOLE(gar_massflowlinktypes),
    KALVIR_WHOLE(gar_massflowlinkpressuresources),
    KALVIR_WHOLE(gar_massflowlinkpsourcederivs),
};

#undef KALVIR_WHOLE

std::vector<std::vector<std::byte>>& kept_beside() {
  static std::vector<std::vector<std::byte>> copies;
  return copies;
}

void keep_beside() {
  auto& copies = kept_beside();
  copies.clear();
  for (const auto places : kKeptBeside) {
    const Pieces p = places();
    std::vector<std::byte>& copy = copies.emplace_back();
    for (int i = 0; i < p.n; ++i) {
      const Bytes b = p.part[static_cast<std::size_t>(i)];
      copy.insert(copy.end(), b.begin(), b.end());
    }
  }
}

// The copy back into its places; EINVAL when there is no copy or one that
// does not fit (the arrays were allocated anew since), which restores nothing.
int put_back_kept() {
  const auto& copies = kept_beside();
  if (copies.size() != kKeptBeside.size()) return EINVAL;
  for (std::size_t k = 0; k < copies.size(); ++k)
    if (kKeptBeside[k]().total() != copies[k].size()) return EINVAL;
  for (std::size_t k = 0; k < copies.size(); ++k) {
    const Pieces p = kKeptBeside[k]();
    std::size_t at = 0;
    for (int i = 0; i < p.n; ++i) {
      const Bytes b = p.part[static_cast<std::size_t>(i)];
      if (!b.empty()) std::memcpy(b.data(), copies[k].data() + at, b.size());
      at += b.size();
    }
  }
  return 0;
}

// Records 1 and 2 are written or read first; a failure there ends the dump.
constexpr std::size_t kHeadRecords = 2;

int write_one(std::int32_t unit, const Pieces& p, std::vector<std::byte>& buf) {
  buf.clear();
  for (int i = 0; i < p.n; ++i) {
    const Bytes b = p.part[static_cast<std::size_t>(i)];
    buf.insert(buf.end(), b.begin(), b.end());
  }
  const int s = io::write_record(unit, buf);
  return s != 0 ? s : p.status;
}

int read_one(std::int32_t unit, const Pieces& p, std::vector<std::byte>& buf) {
  const int s = io::read_record(unit, buf);
  if (s != 0) return s;
  // A record of another length than its places was written for another
  // model or is damaged: restoring part of it would mix two states.
  if (p.status != 0 || buf.size() != p.total()) return EINVAL;
  std::size_t at = 0;
  for (int i = 0; i < p.n; ++i) {
    const Bytes b = p.part[static_cast<std::size_t>(i)];
    if (!b.empty()) std::memcpy(b.data(), buf.data() + at, b.size());
    at += b.size();
  }
  return 0;
}

template <class Step>
std::int32_t walk(Step step) {
  std::vector<std::byte> buf;
  std::int64_t ierr = 0;
  for (std::size_t r = 0; r < kRecords.size(); ++r) {
    ierr += std::abs(step(kRecords[r](), buf));
    if (r + 1 == kHeadRecords && ierr != 0) break;
  }
  return static_cast<std::int32_t>(ierr > INT32_MAX ? INT32_MAX : ierr);
}

}  // namespace

void DMPCOM(std::int32_t UNIT, std::int32_t& IERR) {
  IERR = walk([&](const Pieces& p, std::vector<std::byte>& buf) { return write_one(UNIT, p, buf); });
  keep_beside();
}

void RSTCOM(std::int32_t UNIT, std::int32_t& IERR) {
  static_cast<void>(io::unit_rewind(UNIT));
  IERR = walk([&](const Pieces& p, std::vector<std::byte>& buf) { return read_one(UNIT, p, buf); });
  if (IERR == 0) IERR = put_back_kept();
  if (IERR == 0) {
    // The node status letters came back from the dump: the solution
    // routines and the node lists must not keep what they derived before.
    stat_setstatst(1);
    ++restores;
  }
}

std::uint64_t kalvir::state_restores() { return restores; }
