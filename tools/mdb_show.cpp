#include "tools/mdb_show.h"

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
#include "runtime/modeldata/pcs.h"
#include "runtime/modeldata/user_constants.h"
#include "runtime/parameters/constant_changes.h"
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

// The user constants as a model's blocks find them, by name
// (user_real_constant, user_integer_constant) or by the element of the value
// store the name leads to, and as a parameter case changes them: per
// submodel, real, integer and character ones, each kind in ascending order of
// name.
void describe_user_constants(std::ostringstream& o) {
  o << "User constants (submodel: kind name = value, and the element of the value store that holds it)\n";
  for (std::int32_t m = 1; m <= FLAGS(flagw::NSUB); ++m) {
    const auto dir = [](int row, std::int32_t col) { return gar_modeldirectory(row, col); };
    const std::string sub(trim_right(gar_modelnames(m)));
    const auto name = [](std::int64_t k) { return std::string(trim_right(gar_userconstnames(k))); };
    for (std::int32_t k = 1; k <= dir(8, m + 1) - dir(8, m); ++k)
      o << "  " << sub << ": real " << name(dir(11, m) + k) << " = "
        << real_text(gar_userconstvaluesreal(dir(8, m) + k)) << "  gar_userconstvaluesreal(" << dir(8, m) + k
        << ")\n";
    for (std::int32_t k = 1; k <= dir(9, m + 1) - dir(9, m); ++k)
      o << "  " << sub << ": integer " << name(dir(12, m) + k) << " = " << gar_userconstvaluesint(dir(9, m) + k)
        << "  gar_userconstvaluesint(" << dir(9, m) + k << ")\n";
    for (std::int32_t k = 1; k <= dir(10, m + 1) - dir(10, m); ++k) {
      const std::string n = name(dir(13, m) + k);
      kalvir::Chars<256> text;
      std::int32_t len = 0;
      const auto place = user_constant_place(m, n);
      const bool read = place && parameters::read_user_text(place->position, text, len) == 0;
      o << "  " << sub << ": character " << n << " = "
        << (read ? "'" + std::string(text.view().substr(0, static_cast<std::size_t>(len))) + "'" : "(unreadable)")
        << "  gar_userconstpointerschar(" << dir(10, m) + k << ")\n";
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
