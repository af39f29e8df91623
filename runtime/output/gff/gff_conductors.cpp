#include "runtime/output/gff/gff_conductors.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/packed_lists.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/output/gff/gff_header.h"

namespace kalvir::gff {

namespace {

// Items of a conductor line.
constexpr std::size_t kItems = 10;
enum Item : std::size_t {
  kTime = 1, kType, kOwner, kFromModel, kFromNode, kToModel, kToNode, kSequence, kValue, kStatus
};

// The connection-list kinds of linear, radiative and fluidic conductors
// (1, 2, 3), with the arrays of their values and activity letters.
struct ConductorArrays {
  const Array1<double>& values;
  const gar::C1& acts;
};
const ConductorArrays& arrays_of(std::int32_t kind) {
  static const std::array<ConductorArrays, 3> kArrays{{
      {gar_linearconds, gar_linearcondacts},
      {gar_radiativeconds, gar_radiativecondacts},
      {gar_fluidicconds, gar_fluidiccondacts},
  }};
  return kArrays.at(static_cast<std::size_t>(kind - 1));
}
constexpr std::int32_t kFluidic = 3;

// Value and status code of conductor c of a kind as a list entry names it: a
// negative fluidic entry stands for conductor |c| taken the other way round.
void put_conductor(DataLine& line, std::int32_t kind, std::int32_t c) {
  const ConductorArrays& a = arrays_of(kind);
  const std::int64_t k = std::abs(static_cast<std::int64_t>(c));
  if (k < 1 || k > a.values.size() || k > a.acts.size()) {
    internal_stop("GFF: conductor index out of range in a connection list");
  }
  line.real(kValue, kind == kFluidic && c < 0 ? -a.values(k) : a.values(k));
  line.integer(kStatus, letter_code(kActivities, a.acts(k)[0]));
}

// Sequence numbers: a counter per other node, cleared at each new kind of a
// node's list. Only the counters in use are cleared again, so a node costs
// the length of its list, not the number of nodes.
class SequenceCounters {
 public:
  explicit SequenceCounters(std::span<std::int32_t> work) : work_(work) {
    std::fill(work_.begin(), work_.end(), 0);
  }
  std::int32_t next(std::int64_t index) {
    if (index < 1 || index > static_cast<std::int64_t>(work_.size())) {
      internal_stop("GFF: work area too small for the sequence numbers");
    }
    std::int32_t& n = work_[static_cast<std::size_t>(index - 1)];
    if (n == 0) used_.push_back(index);
    return ++n;
  }
  void clear() {
    for (const std::int64_t i : used_) work_[static_cast<std::size_t>(i - 1)] = 0;
    used_.clear();
  }

 private:
  std::span<std::int32_t> work_;
  std::vector<std::int64_t> used_;
};

// The words of the connection lists in use.
std::span<const std::int32_t> thermal_list() {
  return gar_pcsthermalold.span().first(static_cast<std::size_t>(std::max(0, mdb::thermal_list_length())));
}
std::span<const std::int32_t> fluid_list() {
  return gar_pcsfluid.span().first(static_cast<std::size_t>(std::max(0, mdb::fluid_list_length())));
}

// Items 4 to 7 of the two ends (internal node indices).
void put_ends(DataLine& line, std::int32_t from, std::int32_t to) {
  line.integer(kFromModel, NDSSMD(from));
  line.integer(kFromNode, NODNUM(from));
  line.integer(kToModel, NDSSMD(to));
  line.integer(kToNode, NODNUM(to));
}

// Element k of a node-pair array (2 words per conductor), 0 beyond it.
std::int32_t pair_end(const Array1<std::int32_t>& pairs, std::int64_t k) {
  return k >= 1 && k <= pairs.size() ? pairs(k) : 0;
}

// Walks the connection lists of the nodes of every submodel (model directory
// row `row`, `count` nodes of the kind): begin(node) says whether the node
// writes at all, step(...) is the list reader (STUNPK, SFUNPK) and
// entry(kind, conductor, other node) takes each entry. The sequence counters
// start afresh at each node and at each new kind of its list.
template <class Begin, class Step, class Entry>
void walk_connections(int row, std::int64_t count, SequenceCounters& counters, Begin begin, Step step,
                      Entry entry) {
  const std::int32_t nsub = block_submodels();
  for (std::int32_t m = 1; m <= nsub; ++m) {
    const EntityRange nodes = entity_range(row, m, nsub, count);
    for (auto node = static_cast<std::int32_t>(nodes.first); node <= nodes.last; ++node) {
      if (!begin(node)) continue;
      std::int32_t kind = 1, pos = 0, c = 0, o = 0, last_kind = 1;
      counters.clear();
      for (;;) {
        step(node, kind, pos, c, o);
        if (pos == 0) break;
        if (kind != last_kind) {
          counters.clear();
          last_kind = kind;
        }
        entry(kind, c, o);
      }
    }
  }
}

}  // namespace

}  // namespace kalvir::gff

void GTCNDB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN,
            std::span<std::int32_t> WORK) {
  using namespace kalvir::gff;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const auto list = thermal_list();
  DataLine line(UNIT, RECORD, "GTCNDB", NOTATION, kItems);
  SequenceCounters counters(WORK);
  line.time(kTime, TIMEN, 2);
  std::int32_t n = 0;
  walk_connections(
      3, std::min<std::int64_t>(nnode, gar_pcsptrsthermalold.size()), counters,
      [&](std::int32_t node) {
        n = node;
        return gar_thermalnodestatuses(node)[0] != 'C';
      },
      [&](std::int32_t node, std::int32_t& kind, std::int32_t& pos, std::int32_t& c, std::int32_t& o) {
        STUNPK(1, nnode, node, gar_thermalnodestatuses, list, gar_pcsptrsthermalold.span(), kind, pos, c, o);
      },
      [&](std::int32_t kind, std::int32_t c, std::int32_t o) {
        // The other end writes a conductor it shares with a lower index; a
        // conductor to a fluid node belongs to the fluid record.
        if (o <= n || o > nnode) return;
        line.integer(kType, kind);
        line.integer(kOwner, CDSSMD(std::abs(c), kind));
        put_ends(line, n, o);
        line.integer(kSequence, counters.next(o));
        put_conductor(line, kind, c);
        line.write(10);
      });
}

void GVFB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  DataLine line(UNIT, RECORD, "GVFB", NOTATION, kItems, kLineCapacity, "view factor data");
  line.time(kTime, TIMEN, 1);
  line.integer(kType, 4);
  line.integer(kSequence, 1);
  const std::int64_t ngv = std::min<std::int64_t>({FLAGS(flagw::NGV), gar_vfacconds.size(), gar_vfaccondacts.size()});
  const std::int32_t nsub = block_submodels();
  for (std::int32_t m = 1; m <= nsub; ++m) {
    const EntityRange gv = entity_range(7, m, nsub, ngv);
    for (std::int64_t k = gv.first; k <= gv.last; ++k) {
      line.integer(kOwner, CDSSMD(static_cast<std::int32_t>(k), 4));
      put_ends(line, pair_end(gar_vfaccondnodepairs, 2 * k - 1), pair_end(gar_vfaccondnodepairs, 2 * k));
      line.real(kValue, gar_vfacconds(k));
      line.integer(kStatus, letter_code(kActivities, gar_vfaccondacts(k)[0]));
      line.write(6);
    }
  }
}

void GFCNDB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN,
            std::span<std::int32_t> WORK) {
  using namespace kalvir::gff;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int64_t nm = std::min<std::int64_t>(
      {FLAGS(flagw::NM), gar_massflowlinkfittinglosses.size(), gar_massflowlinkstatuses.size()});
  const auto list = fluid_list();
  DataLine line(UNIT, RECORD, "GFCNDB", NOTATION, kItems);
  SequenceCounters counters(WORK);
  line.time(kTime, TIMEN, 2);
  std::int32_t self = 0;
  walk_connections(
      16, std::min<std::int64_t>(FLAGS(flagw::NF), gar_pcsptrsfluid.size()), counters,
      [&](std::int32_t i) {
        self = nnode + i;
        return true;
      },
      [&](std::int32_t i, std::int32_t& kind, std::int32_t& pos, std::int32_t& c, std::int32_t& o) {
        SFUNPK(1, i, gar_thermalnodestatuses, list, gar_pcsptrsfluid.span(), kind, pos, c, o);
      },
      [&](std::int32_t kind, std::int32_t c, std::int32_t o) {
        if (kind == 1) {
          // A link stands in the lists of both its nodes: it is written from
          // its first node, whose list names the second.
          const std::int32_t sequence = counters.next(nnode + std::int64_t{o});
          if (c < 1 || c > nm || pair_end(gar_massflowlinkcondnodepairs, 2LL * c) != o) return;
          line.integer(kType, 4);
          line.integer(kOwner, CDSSMD(c, 5));
          put_ends(line, self, nnode + o);
          line.integer(kSequence, sequence);
          line.real(kValue, gar_massflowlinkfittinglosses(c));
          line.integer(kStatus, letter_code(kActivities, gar_massflowlinkstatuses(c)[0]));
          line.write(8);
          return;
        }
        const std::int32_t sequence = counters.next(o);
        // Between two fluid nodes the lower index writes.
        if (o > nnode && o <= self) return;
        line.integer(kType, kind - 1);
        line.integer(kOwner, CDSSMD(std::abs(c), kind - 1));
        put_ends(line, self, o);
        line.integer(kSequence, sequence);
        put_conductor(line, kind - 1, c);
        line.write(13);
      });
}

void GMFB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  DataLine line(UNIT, RECORD, "GMFB", NOTATION, kItems);
  line.time(kTime, TIMEN, 1);
  line.integer(kType, 5);
  line.integer(kSequence, 1);
  const std::int64_t nm =
      std::min<std::int64_t>({FLAGS(flagw::NM), gar_massflowlinkflowrates.size(), gar_massflowlinkstatuses.size()});
  const std::int32_t nsub = block_submodels();
  for (std::int32_t m = 1; m <= nsub; ++m) {
    const EntityRange links = entity_range(17, m, nsub, nm);
    for (std::int64_t k = links.first; k <= links.last; ++k) {
      line.integer(kOwner, CDSSMD(static_cast<std::int32_t>(k), 5));
      put_ends(line, nnode + pair_end(gar_massflowlinkcondnodepairs, 2 * k - 1),
               nnode + pair_end(gar_massflowlinkcondnodepairs, 2 * k));
      line.real(kValue, gar_massflowlinkflowrates(k));
      line.integer(kStatus, letter_code(kActivities, gar_massflowlinkstatuses(k)[0]));
      line.write(7);
    }
  }
}
