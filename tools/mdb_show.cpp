#include "tools/mdb_show.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/packed_store.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::mdbw {
namespace {

constexpr const char* kThermalKinds[] = {"linear", "radiative", "fluidic"};
constexpr const char* kFluidKinds[] = {"links", "linear", "radiative", "fluidic"};

// The entries of one list walk, by kind, as "(node, conductor)" pairs.
template <class Walk>
std::string runs(int nkinds, const char* const* names, Walk walk) {
  std::vector<std::string> text(static_cast<std::size_t>(nkinds));
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  do {
    walk(kind, pos, cond, neighb);
    if (pos != 0 && kind >= 1 && kind <= nkinds)
      text[static_cast<std::size_t>(kind - 1)] += " (" + std::to_string(neighb) + "," + std::to_string(cond) + ")";
  } while (pos != 0);
  std::string out;
  for (int k = 0; k < nkinds; ++k) out += std::string("  ") + names[k] + ":" + text[static_cast<std::size_t>(k)];
  return out;
}

// A real to full precision: the shortest text that reads back as the same
// double.
std::string real_text(double v) {
  std::array<char, 32> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), r.ptr);
}

// The user constants of every submodel, each with the element of its value
// store that a model block reads: gar_userconstvaluesreal(k),
// gar_userconstvaluesint(k), and for a character constant the start of its
// text in the character store, gar_userconstpointerschar(k).
void describe_user_constants(std::ostringstream& o) {
  o << "User constants (submodel: kind name = value, read as the array element given)\n";
  const auto dir = [](int row, std::int32_t m) { return gar_modeldirectory(row, m); };
  const PackedRows store(gar_userconstvalueschar);
  const auto rows = static_cast<std::int32_t>(gar_userconstvalueschar.size());
  for (std::int32_t m = 1; m <= FLAGS(flagw::NSUB); ++m) {
    const std::string sub(trim_right(gar_modelnames(m)));
    const auto name = [](std::int32_t k) { return std::string(trim_right(gar_userconstnames(k))); };
    for (std::int32_t j = 1; j <= dir(12, m) - dir(11, m); ++j) {
      const std::int32_t k = dir(8, m) + j;
      o << "  " << sub << ": real " << name(dir(11, m) + j) << " = " << real_text(gar_userconstvaluesreal(k))
        << "  gar_userconstvaluesreal(" << k << ")\n";
    }
    for (std::int32_t j = 1; j <= dir(13, m) - dir(12, m); ++j) {
      const std::int32_t k = dir(9, m) + j;
      o << "  " << sub << ": integer " << name(dir(12, m) + j) << " = " << gar_userconstvaluesint(k)
        << "  gar_userconstvaluesint(" << k << ")\n";
    }
    for (std::int32_t j = 1; j <= dir(11, m + 1) - dir(13, m); ++j) {
      const std::int32_t k = dir(10, m) + j;
      const std::int64_t start = std::int64_t{133} * dir(15, m) + gar_userconstpointerschar(k);
      std::array<char, 256> text{};
      std::int32_t len = 0, ierr = 0;
      if (start >= 1 && start <= std::int64_t{133} * rows &&
          gar_userconstvalueschar.stream()[static_cast<std::size_t>(start - 1)] != '\0')
        DBFZPK(store, rows, 133 * rows, static_cast<std::int32_t>(start), len, text, ierr);
      o << "  " << sub << ": character " << name(dir(13, m) + j) << " = \""
        << std::string_view(text.data(), static_cast<std::size_t>(std::clamp<std::int32_t>(len, 0, 256)))
        << "\"  gar_userconstpointerschar(" << k << ")\n";
    }
  }
}

}  // namespace

std::string describe_loaded_model() {
  std::ostringstream o;
  const std::int32_t nsub = FLAGS(flagw::NSUB), nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF);
  o << "Model " << trim_right(JOBINF.model.view()) << ", " << nsub << " submodel(s)\n";
  o << "Model directory (rows 1-18; last column the totals)\n";
  for (std::int32_t m = 1; m <= nsub + 1; ++m) {
    o << "  " << (m <= nsub ? std::string(trim_right(gar_modelnames(m))) : std::string("(totals)")) << ":";
    for (int r = 1; r <= 18; ++r) o << ' ' << gar_modeldirectory(r, m);
    o << '\n';
  }
  o << "Thermal nodes (index, number, status, label)\n";
  for (std::int32_t i = 1; i <= nnode; ++i)
    o << "  " << i << ' ' << gar_thermalnodenums(i) << ' ' << gar_thermalnodestatuses(i) << ' '
      << trim_right(gar_thermalnodelabels(i)) << '\n';
  o << "Packed connection lists (node: start; entries (other node, conductor))\n";
  for (std::int32_t i = 1; i <= nnode; ++i) {
    o << "  " << i << ": " << gar_pcsptrsthermalold(i)
      << runs(3, kThermalKinds, [&](auto& kind, auto& pos, auto& cond, auto& neighb) {
           STUNPK(1, nnode, i, gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(), kind,
                  pos, cond, neighb);
         })
      << '\n';
  }
  o << "Record form (node: start and count of the linear, radiative and fluidic runs)\n";
  for (std::int32_t i = 1; i <= nnode; ++i) {
    o << "  " << i << ":";
    for (int w = 1; w <= 6; ++w) o << ' ' << gar_pcsptrsthermal(w, i);
    o << '\n';
  }
  const std::int32_t tail = FLAGS(flagw::NTIELEN), len = FLAGS(24);
  o << "Node tie tail (" << tail << " words):";
  for (std::int32_t k = len - tail + 1; k <= len; ++k) o << ' ' << gar_pcsthermalold(k);
  o << '\n';
  if (nf > 0) {
    o << "Fluid nodes (index, number, submodel, fluid; list start and entries)\n";
    for (std::int32_t f = 1; f <= nf; ++f) {
      o << "  " << f << ' ' << gar_fluidnodenums(f) << ' ' << gar_fluidnodemodelnums(f) << ' '
        << trim_right(gar_fluidnodefluidtypes(f)) << ": " << gar_pcsptrsfluid(f)
        << runs(4, kFluidKinds, [&](auto& kind, auto& pos, auto& cond, auto& neighb) {
             SFUNPK(1, f, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, cond,
                    neighb);
           })
        << '\n';
    }
  }
  if (FLAGS(flagw::NM) > 0) {
    o << "Mass-flow links (link: fluid nodes, flow rate, status)\n";
    for (std::int32_t l = 1; l <= FLAGS(flagw::NM); ++l)
      o << "  " << l << ": " << gar_massflowlinkcondnodepairs(2 * l - 1) << ' ' << gar_massflowlinkcondnodepairs(2 * l)
        << ' ' << real_text(gar_massflowlinkflowrates(l)) << ' ' << gar_massflowlinkstatuses(l) << '\n';
  }
  describe_user_constants(o);
  // The numeric control constants as the file set them; one left undefined
  // holds the marker, which a solution routine reads as the constant's
  // neutral value when it does not require it.
  o << "Control constants (name = value; \"undefined\" where the file leaves the marker)\n";
  const auto glor = glor_names();
  for (int i = 1; i <= GlorBlock::count; ++i) {
    o << "  " << glor[static_cast<std::size_t>(i - 1)] << " = ";
    if (SDUNDF(GLOR(i)))
      o << "undefined";
    else
      o << real_text(GLOR(i));
    o << '\n';
  }
  const auto gloi = gloi_names();
  for (int i = 1; i <= GloiBlock::count; ++i) {
    o << "  " << gloi[static_cast<std::size_t>(i - 1)] << " = ";
    if (SUNDCK(GLOI(i)))
      o << "undefined";
    else
      o << GLOI(i);
    o << '\n';
  }
  return o.str();
}

}  // namespace kalvir::mdbw
