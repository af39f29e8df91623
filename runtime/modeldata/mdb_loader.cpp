#include "runtime/modeldata/mdb_loader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/file_names.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/mdb_records.h"
#include "runtime/modeldata/mdb_sections.h"
#include "runtime/modeldata/model_links.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"

namespace io = kalvir::platform;
using namespace kalvir::mdb;

namespace {

kalvir::AcdArrayReads acd_reads;

constexpr std::string_view kVersionText =
    "Different Kalvir version for MDB file and solution@Repreprocess input file to produce consistent  MDB file";
constexpr std::string_view kReadErrorText = "Read error - unable to read from MDB file";

// Record 1: model name, five integers (the second the number of submodels),
// a 17- and an 8-character text, the version.
struct Header {
  std::string name;
  std::array<std::int32_t, 5> ints{};
  std::int32_t version = 0;
};

int read_header(std::int32_t unit, Header& h) {
  std::vector<std::byte> buf;
  if (const int rc = io::read_record(unit, buf); rc != 0) return rc;
  io::RecordReader r(buf);
  h.name = r.chars(24);
  for (auto& v : h.ints) v = r.i32();
  r.skip(17 + 8);
  h.version = r.i32();
  return r.failed() ? EIO : 0;
}

// The pointer words of the integer dynamic core (see mdb_context.h). Returns
// the number of words missing when DYSTOR cannot hold the areas, else 0.
std::int64_t set_core_layout() {
  const std::int64_t dystor = std::min<std::int64_t>(FLAGS(flagw::DYSTOR), gar_dynamiccoreint.size());
  const std::int64_t nnode = FLAGS(flagw::NNODE);
  const std::int64_t nn = nnode + FLAGS(flagw::NF);
  const std::int64_t tie = std::max(FLAGS(flagw::NTIELEN), 0);
  const std::int64_t w8 = dystor + 1 - 6 * nn - 2 * tie;
  const std::int64_t w11 = w8 - 3 * nnode - FLAGS(flagw::NGL) - FLAGS(flagw::NGR) - FLAGS(flagw::NGF) - 6;
  const std::int64_t w9 = w11 - 5LL * FLAGS(flagw::NM);
  const std::int64_t w7 = w9 - std::max<std::int64_t>(kList66Words, FLAGS(17));
  if (w7 < dcw::FIRSTAREA) return dcw::FIRSTAREA - w7;
  dc(dcw::TIESTART) = static_cast<std::int32_t>(w8);
  dc(dcw::WORKSTART) = static_cast<std::int32_t>(w11);
  dc(dcw::FLINKSTART) = static_cast<std::int32_t>(w9);
  dc(dcw::FLINKUSED) = 0;
  dc(dcw::LINKEND) = static_cast<std::int32_t>(w7);
  dc(dcw::FLUSTART) = static_cast<std::int32_t>(w7);
  dc(dcw::FLUUSED) = 0;
  dc(dcw::RADSTART) = static_cast<std::int32_t>((w7 - 12) / 3 + 12);
  dc(dcw::RADUSED) = 0;
  dc(dcw::LINSTART) = dcw::FIRSTAREA;
  dc(dcw::LINUSED) = 0;
  return 0;
}

// Checks the model tree of record 2: the main model first at level 0, every
// other submodel one level below some earlier one, and each subtree size the
// number of submodels that follow it at deeper levels. The tree lookups walk
// it by these rules.
bool tree_is_consistent(std::span<const std::int32_t> words, std::int32_t nsub) {
  const auto level = [&](std::int32_t m) { return words[static_cast<std::size_t>(3 * (m - 1))]; };
  const auto size = [&](std::int32_t m) { return words[static_cast<std::size_t>(3 * (m - 1) + 1)]; };
  if (level(1) != 0) return false;
  for (std::int32_t m = 2; m <= nsub; ++m) {
    if (level(m) < 1 || level(m) > level(m - 1) + 1) return false;
  }
  for (std::int32_t m = 1; m <= nsub; ++m) {
    std::int32_t end = m + 1;
    while (end <= nsub && level(end) > level(m)) ++end;
    if (size(m) != end - m) return false;
  }
  return true;
}

// The FLAGS words that the file determines, each with the lists whose
// entries give its value: a list's length comes in words for a numeric list
// (two per real) and in characters for a character list, so an entry is
// `unit` of them; a character store (lists 51 and 61) counts its elements,
// rounded up per submodel as the load rounds them.
struct SizeList {
  std::int32_t list;
  std::int32_t unit;
};
struct SizeWord {
  int word;
  std::string_view what;
  std::array<SizeList, 4> lists;  // list 0: none
};
constexpr std::int32_t kNameChars = 18;
constexpr std::int32_t kElementChars = 133;
constexpr SizeWord kSizeWords[] = {
    {flagw::NNODE, "thermal nodes", {{{1, 1}}}},
    {flagw::NGL, "linear conductors", {{{14, 2}, {22, 2}}}},
    {flagw::NGF, "fluidic conductors", {{{16, 2}, {24, 2}}}},
    {flagw::NGR, "radiative conductors", {{{15, 2}, {23, 2}}}},
    {flagw::NGV, "view-factor conductors", {{{17, 2}}}},
    {6, "real user constants", {{{47, kNameChars}}}},
    {7, "integer user constants", {{{45, kNameChars}}}},
    {8, "elements of the character user-constant values", {{{51, kElementChars}}}},
    {9, "character user constants", {{{49, kNameChars}}}},
    {16, "all user constants", {{{45, kNameChars}, {47, kNameChars}, {49, kNameChars}}}},
    {18, "length of the ARRAY info list", {{{55, 1}}}},
    {19, "ARRAYs", {{{52, kNameChars}, {53, kNameChars}, {54, kNameChars}, {64, kNameChars}}}},
    {20, "real ARRAY values", {{{60, 2}}}},
    {21, "integer ARRAY values", {{{59, 1}}}},
    {22, "elements of the character ARRAY values", {{{61, kElementChars}}}},
    {flagw::NF, "fluid nodes", {{{201, 1}}}},
    {flagw::NM, "mass-flow links", {{{219, 2}, {224, 4}}}},
    {40, "node aliases", {{{107, kNameChars}}}},
};

// The SPRSIZ words of the attribute counts, in the order of list 109.
struct AttributeWord {
  int word;
  std::string_view what;
};
constexpr std::array<AttributeWord, kAttributeCountWords> kAttributeWords{
    {{5, "real attributes"}, {4, "integer attributes"}, {3, "character attributes"}}};

// The model sizes that the file holds, found by walking its submodel blocks
// list header by list header before anything is loaded: what the FLAGS and
// SPRSIZ words of the model program must say for the load to fit the arrays
// they size.
struct FileSizes {
  std::int64_t nsub = 0;
  std::array<std::int64_t, 42> words{};  // FLAGS word -> its value in the file
  std::optional<std::array<std::int32_t, kAttributeCountWords>> attributes;
};

constexpr std::size_t kScanRecordLimit = 100000000;
constexpr std::size_t kListNumbers = 301;

// Skips one record; false at the end of the file or on a read error.
bool skip_one(std::int32_t unit) { return io::skip_record(unit) == 0; }

// Walks the lists of one submodel block up to its section marker, noting
// their lengths, the skip table of the block that follows (list 66) and the
// attribute counts (list 109). False when the block is not laid out as the
// load expects: the load itself then reports what it finds.
bool scan_block(std::int32_t unit, std::span<const std::int32_t> counts, std::array<std::int64_t, kListNumbers>& lengths,
                std::array<std::int32_t, 3 * 43>& skips, FileSizes& sizes) {
  std::array<std::int32_t, 4> w{};
  for (std::size_t guard = 0; guard < kScanRecordLimit; ++guard) {
    if (kalvir::mdb::read_ints(unit, 4, w) != 0) return false;
    if (std::equal(w.begin(), w.end(), std::begin(kalvir::mdb::kMarker))) return true;
    const std::int32_t number = w[0];
    if (number < 1 || w[1] < 0) return false;
    std::int64_t length = 0;
    if (w[1] == kalvir::mdb::kContinued) {
      std::int32_t nb = 0;
      if (kalvir::mdb::read_ints(unit, 1, {&nb, 1}) != 0 || nb < 0) return false;
      for (std::int32_t b = 0; b < nb; ++b) {
        if (kalvir::mdb::read_ints(unit, 4, w) != 0 || !skip_one(unit)) return false;
        length += std::max(w[2], 0);
      }
    } else if (number == 66) {
      // The load takes list 66 only at its fixed length; any other length
      // (a damaged file, never a size to allocate) is left for it to report.
      std::array<std::int32_t, kList66Words> l66{};
      if (w[2] != kList66Words || kalvir::mdb::read_ints(unit, l66.size(), l66) != 0) return false;
      static_assert(76 + 3 * 43 <= kList66Words);
      std::copy_n(l66.begin() + 76, skips.size(), skips.begin());
      length = w[2];
    } else if (number == kAttributeCountList) {
      std::array<std::int32_t, kAttributeCountWords> a{};
      if (w[2] != kAttributeCountWords || kalvir::mdb::read_ints(unit, a.size(), a) != 0) return false;
      sizes.attributes = a;
      length = w[2];
    } else {
      if (!skip_one(unit)) return false;
      length = std::max(w[2], 0);
    }
    // A list whose length disagrees with the block's count table is a
    // damaged file, not a size of the model: the load reports it.
    const std::size_t at = 2 * static_cast<std::size_t>(number - 1) + 1;
    if (at >= counts.size() || counts[at] != std::max<std::int64_t>(length, 1)) return false;
    if (static_cast<std::size_t>(number) < lengths.size()) lengths[static_cast<std::size_t>(number)] += length;
  }
  return false;
}

// The sizes of the file on UNIT (read from its start; the caller rewinds it
// afterwards). False when the file is not laid out as expected.
bool scan_sizes(std::int32_t unit, FileSizes& sizes) {
  io::unit_rewind(unit);
  Header h;
  if (read_header(unit, h) != 0 || h.ints[1] < 1) return false;
  sizes.nsub = h.ints[1];
  // The model tree, the two name lists and the two records the load skips.
  for (int k = 0; k < 5; ++k)
    if (!skip_one(unit)) return false;
  for (std::int64_t i = 1; i <= sizes.nsub; ++i) {
    std::array<std::int32_t, 4> w{};
    // The count table: a plain list numbered after the submodel, a pair of
    // words per list, the second the list's length (at least 1).
    std::array<std::int32_t, 2 * 290> counts{};
    if (kalvir::mdb::read_ints(unit, 4, w) != 0 || w[0] != i || w[1] != 0 ||
        w[2] != static_cast<std::int32_t>(counts.size()) || kalvir::mdb::read_ints(unit, counts.size(), counts) != 0)
      return false;
    std::array<std::int32_t, 3 * 43> skips{};
    std::array<std::int64_t, kListNumbers> lengths{};
    if (!scan_block(unit, counts, lengths, skips, sizes)) return false;
    // Entries per submodel, rounded up as the load rounds each block's list.
    for (const SizeWord& s : kSizeWords)
      for (const SizeList& l : s.lists)
        if (l.list > 0)
          sizes.words[static_cast<std::size_t>(s.word)] +=
              (lengths[static_cast<std::size_t>(l.list)] + l.unit - 1) / l.unit;
    if (i == sizes.nsub) break;
    for (std::size_t c = 0; c < 43; ++c) {
      const std::int64_t n = skips[3 * c + 2];
      if (n < 0) return false;
      if (n == 0) continue;
      for (std::int64_t r = ((n + 24) / 25) * 2 + 1; r > 0; --r)
        if (!skip_one(unit)) return false;
    }
    if (kalvir::mdb::read_ints(unit, 4, w) != 0 || !std::equal(w.begin(), w.end(), std::begin(kalvir::mdb::kMarker)))
      return false;
  }
  return true;
}

// The file name of the model's MDB file, as the messages give it.
std::string mdb_file_name() {
  char name[32];
  std::int32_t ierr = 0;
  SFLNAM(JOBINF.model.view(), 1, kalvir::CharRowsMut(name, sizeof name, 1), ierr);
  return std::string(kalvir::trim_right(std::string_view(name, sizeof name)));
}

// Ends the run: a size word of the model program (BLOCK "FLAGS" or
// "SPRSIZ") disagrees with the file.
void size_mismatch(std::string_view block, int word, std::string_view what, std::int64_t program, std::int64_t file,
                   std::int32_t code, std::string_view routine) {
  const std::string text = "Model sizes of the program and the MDB file differ@" + std::string(block) + " word " +
                           std::to_string(word) + " (" + std::string(what) + ") is " + std::to_string(program) +
                           " in the program, " + std::to_string(file) + " in MDB file " + mdb_file_name() +
                           "@Copy the FLAGS and SPRSIZ words that kalvir_mdb_write printed for this file (also "
                           "in its .flags file) into the model program";
  SETERX(text, 4, code, routine);
}

// Ends the run when a FLAGS or SPRSIZ word of the model program disagrees
// with the size the file holds: loading would overrun or leave unfilled the
// arrays that the word sized, and fail later with a message that names
// neither. Words 20 and 21 hold the ACD file's ARRAY values as well, which
// the start-up driver added.
void check_sizes(std::int32_t unit) {
  FileSizes sizes;
  const bool scanned = scan_sizes(unit, sizes);
  io::unit_rewind(unit);
  if (!scanned) return;
  if (sizes.nsub != FLAGS(flagw::NSUB))
    size_mismatch("FLAGS", flagw::NSUB, "submodels", FLAGS(flagw::NSUB), sizes.nsub, 5, "SCOMLD");
  const kalvir::AcdArrayCounts& acd = kalvir::acd_array_counts();
  for (const SizeWord& s : kSizeWords) {
    std::int64_t value = sizes.words[static_cast<std::size_t>(s.word)];
    if (s.word == 20) value += acd.real_values;
    if (s.word == 21) value += acd.index_values;
    if (value != FLAGS(s.word)) size_mismatch("FLAGS", s.word, s.what, FLAGS(s.word), value, 5, "SCOMLD");
  }
  if (!sizes.attributes) return;
  for (std::size_t k = 0; k < kAttributeWords.size(); ++k) {
    const AttributeWord& a = kAttributeWords[k];
    if ((*sizes.attributes)[k] != SPRSIZ(a.word))
      size_mismatch("SPRSIZ", a.word, a.what, SPRSIZ(a.word), (*sizes.attributes)[k], 5, "SCOMLD");
  }
}

}  // namespace

namespace kalvir::mdb {

std::string dystor_message(std::string_view doing, std::int64_t shortfall) {
  const std::int64_t a = std::int64_t{FLAGS(flagw::DYSTOR)} + shortfall;
  const std::int64_t b = (a / 10000 + 1) * 10000;
  const std::string text = "Insufficient dynamic storage@" + std::string(doing) + "@Need at least " +
                           std::to_string(a) + " storage locations.<NL>" +
                           "Set DYSTOR on the $EXECUTION line of the main model:<NL>" +
                           "   $EXECUTION, DYSTOR = " + std::to_string(b) + "@" +
                           "Initialising model before solution";
  return kalvir::padded(text, 350);
}

std::int32_t LOADC(LoadContext& ctx) {
  ctx.begin_block(ctx.isub);
  std::fill(ctx.counts.span().begin(), ctx.counts.span().end(), 0);
  std::int32_t n = 0, st = 0;
  SCOMII(0, 2 * kCountLists, ctx.isub, ctx.unit, ctx.counts.span(), n, st);
  if (st != 0) {
    ctx.section = "MODEL DIRECTORY";
    return 1;
  }
  if ((st = LOADC1(ctx)) != 0 || (st = LOADC2(ctx)) != 0 || (st = LOADC3(ctx)) != 0) return st;

  SPCSA(ctx, st);
  if (st != 0) {
    ctx.section = "Failed to create PCS";
    return st;
  }
  SFPCSA(ctx, st);
  if (st != 0) {
    ctx.section = "Failed to create FPCS";
    return st;
  }
  if ((st = LOADUP(ctx)) != 0) {
    ctx.section = "Failed updating F nodes";
    return st;
  }
  SIMPCS(ctx, st);
  if (st != 0) {
    ctx.section = "UPDATE PCS";
    return st;
  }
  std::int32_t found = 0;
  DBQRMK(ctx.unit, found, st);
  if (found == 0) {
    ctx.section = "MARKER BLOCK";
    return st != 0 ? st : 5;
  }
  return 0;
}

}  // namespace kalvir::mdb

void SMODCH(std::string_view MODELNAME, bool& EXISTS, std::int32_t& IERR) {
  EXISTS = false;
  char name[32];
  SFLNAM(MODELNAME, 1, kalvir::CharRowsMut(name, sizeof name, 1), IERR);
  if (IERR != 0) {
    IERR = 1;
    return;
  }
  SFLXST(kalvir::CharRows(name, sizeof name, 1), 1, EXISTS, IERR);
}

void SOPEXT(std::string_view MODELNAME, std::int32_t IUNIT, std::int32_t& IERR) {
  char name[30];
  SFLNAM(MODELNAME, 1, kalvir::CharRowsMut(name, sizeof name, 1), IERR);
  if (IERR != 0) {
    IERR = -1;
    return;
  }
  SOPSQ(std::string_view(name, sizeof name), "UNFORMATTED", "OLD", IUNIT, IERR);
}

void SCOMLD(std::int32_t IUNIT, std::int32_t& IERR) {
  IERR = 0;
  // The page length follows the file's LENGTH on every way out (60 lines
  // when the file leaves it undefined).
  struct PageLength {
    ~PageLength() { PRTINF(1) = defined_or_neutral(&GloiBlock::LENGTH); }
  } page_length;

  bool exists = false;
  std::int32_t st = 0;
  SMODCH(JOBINF.model.view(), exists, st);
  if (st != 0 || !exists) {
    IERR = 1;
    return;
  }
  SOPEXT(JOBINF.model.view(), IUNIT, st);
  if (st != 0) {
    IERR = 1;
    return;
  }
  Header h;
  if (read_header(IUNIT, h) != 0) {
    IERR = 1;
    SETERX(kReadErrorText, 4, 2, "SCOMLD");
    return;
  }
  if (h.version <= 19) {
    IERR = 1;
    SETERX("Different KALVIR version for MDB file and solution@Repreprocess input file to produce consistent  MDB file",
           4, 3, "SCOMLD");
    return;
  }
  io::unit_rewind(IUNIT);
  st = 0;
  SCNTRL(FLAGS(15), FLAGS(14), FLAGS(13), FLAGS(12), FLAGS(11), FLAGS(10), gar_controlconstnames, st);
  if (st != 0) {
    IERR = 2;
    SETERX(kVersionText, 4, 4, "SCOMLD");
    return;
  }
  check_sizes(IUNIT);
  SLDINC();
  SETZZZ("A", FLAGS(flagw::NSUB), gar_modelstatuses.stream_span(), 1, st);
  SPRZER();
  LOADB(JOBINF.model.span(), kDirRows, IUNIT, st);
  if (st != 0) {
    IERR = 3;
  } else if (FLAGS(flagw::NNODE) > 0) {
    for (std::int64_t i = 1; i <= gar_thermalnodestatuses.size(); ++i)
      gar_thermalnodestatusescopy.set(i, gar_thermalnodestatuses(i));
  }
  SCLFIL("KEEP", IUNIT, st);
}

void LOADD(const kalvir::Array2<std::int32_t>& ITAB, std::int32_t IUNIT, std::int32_t& IERR) {
  IERR = 0;
  kalvir::LoopGuard guard("LOADD ");
  for (std::int64_t c = 1; c <= ITAB.cols(); ++c) {
    guard.tick();
    const std::int64_t n = ITAB(3, c);
    if (n == 0) continue;
    const std::int64_t records = ((n + 24) / 25) * 2 + 1;
    for (std::int64_t done = 0; done < records;) {
      const auto chunk = static_cast<std::int32_t>(std::min<std::int64_t>(records - done, 1 << 30));
      std::int32_t st = 0;
      DBQRSK(chunk, IUNIT, st);
      done += chunk;
    }
  }
  std::int32_t found = 0, st = 0;
  DBQRMK(IUNIT, found, st);
  if (found == 0) IERR = 5;
}

void SETFNM(const kalvir::Array2<std::int32_t>& MODDIR, std::int32_t NSUB, std::int32_t NF,
            kalvir::Array1<std::int32_t>& FLUIDNODEMODELNUMS) {
  std::int32_t m = 1;
  for (std::int32_t j = 1; j <= std::min<std::int64_t>(NF, FLUIDNODEMODELNUMS.size()); ++j) {
    while (m <= NSUB && MODDIR(16, m + 1) < j) ++m;
    FLUIDNODEMODELNUMS(j) = (m <= NSUB && MODDIR(16, m) < j) ? m : 0;
  }
}

void LOADB(std::span<char> MODELNAME, std::int32_t NROW, std::int32_t IUNIT, std::int32_t& IERR) {
  IERR = 0;
  LoadContext ctx;
  ctx.unit = IUNIT;
  // The load starts from a zero integer core. A fresh zeroed block gives it
  // without writing the pages that the load never touches (most of them).
  gar_dynamiccoreint.allocate(gar_dynamiccoreint.size());
  if (const std::int64_t shortfall = set_core_layout(); shortfall > 0) {
    IERR = 7;
    SETERX(dystor_message("Loading the model database", shortfall), 4, 1, "LOADB ");
    return;
  }

  const std::string program_name(MODELNAME.data(), MODELNAME.size());
  Header h;
  if (read_header(IUNIT, h) != 0) {
    IERR = 1;
    SETERX(kReadErrorText, 4, 1, "LOADB ");
    return;
  }
  if (kalvir::padded(program_name, 8) != kalvir::padded(h.name, 8)) {
    IERR = 1;
    SETERX(kalvir::padded("Model name stored in MDB file is incorrect@The model program has model name " +
                              program_name + ", whereas MDB file model name is " + h.name,
                          255),
           4, 2, "LOADB ");
    return;
  }
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  if (h.ints[1] != nsub) {
    IERR = 1;
    size_mismatch("FLAGS", flagw::NSUB, "submodels", nsub, h.ints[1], 3, "LOADB ");
    return;
  }
  if (h.version != kMdbVersion) {
    IERR = 1;
    SETERX("Different Kalvir version for MDB file and solution@Repreprocess input file to produce consistent MDB file",
           4, 4, "LOADB ");
    return;
  }
  kalvir::assign_padded(MODELNAME, h.name);

  std::string remembered(24, ' ');
  std::int32_t number = 0;
  auto& moddir = gar_modeldirectory;
  std::fill(moddir.span().begin(), moddir.span().end(), 0);

  // Records 2-4: the model tree and the two name lists.
  std::vector<std::int32_t> tree(static_cast<std::size_t>(3 * std::max(nsub, 0)));
  if (nsub < 1 || moddir.cols() < nsub + 1 || kalvir::mdb::read_ints(IUNIT, tree.size(), tree) != 0 ||
      !tree_is_consistent(tree, nsub) ||
      kalvir::mdb::read_chars(IUNIT, 24 * static_cast<std::size_t>(nsub), gar_modelnames.stream_span()) != 0) {
    IERR = 1;
    ctx.section = "Master/virtual directory";
  } else if (kalvir::mdb::read_chars(IUNIT, 24 * static_cast<std::size_t>(nsub), gar_submodelnames.stream_span()) !=
             0) {
    IERR = 1;
    ctx.section = "Master/virtual directory (original submodels)";
  }

  if (IERR == 0) {
    for (std::int32_t m = 1; m <= nsub; ++m) {
      moddir(1, m) = tree[static_cast<std::size_t>(3 * (m - 1))];
      moddir(2, m) = tree[static_cast<std::size_t>(3 * (m - 1) + 1)];
    }
    std::int32_t st = 0;
    DBQRSK(2, IUNIT, st);

    const kalvir::AcdArrayReads& acd = kalvir::acd_array_reads();
    const auto acda_close = kalvir::filled_hook(acd.close, "AcdArrayReads::close");
    const auto acda_movenextsubmodel = kalvir::filled_hook(acd.next_submodel, "AcdArrayReads::next_submodel");
    kalvir::filled_hook(acd.open, "AcdArrayReads::open")(gar_modelnames(1));
    struct AcdaClose {
      void (*close)();
      ~AcdaClose() { close(); }
    } acda_closer{acda_close};
    bool completed = true;
    for (std::int32_t i = 1; i <= nsub; ++i) {
      remembered = std::string(gar_modelnames(i));
      number = i;
      acda_movenextsubmodel(gar_submodelnames(i), moddir(1, i));
      ctx.isub = i;
      if ((IERR = LOADC(ctx)) != 0) {
        completed = false;
        break;
      }
      if (i < nsub) {
        LOADD(ctx.skips, IUNIT, IERR);
        if (IERR != 0) {
          ctx.section.clear();
          completed = false;
          break;
        }
      }
    }
    if (completed) {
      number = nsub + 1;
      if (dc(dcw::FLINKUSED) != 0) IERR = 5;
    }
  }

  // Inter-model conductors: resolve, chain, insert.
  bool storage_error = false;
  if (IERR == 0 && (dc(dcw::LINUSED) != 0 || dc(dcw::RADUSED) != 0 || dc(dcw::FLUUSED) != 0)) {
    std::int32_t st = 0;
    SLKALL(st);
    SLKPTS();
    if (FLAGS(flagw::NNODE) > 0) SLKCTR(ctx, st);
    if (st == 0 && FLAGS(flagw::NF) > 0) SFLCTR(ctx, st);
    if (st != 0) {
      IERR = st;
      ctx.section = "PCS STORAGE ERROR";
      storage_error = true;
    }
  }

  // The node tie list becomes the tail of the packed list.
  const std::int32_t w8 = dc(dcw::TIESTART);
  FLAGS(flagw::NTIELEN) = (w8 >= 1 && w8 <= gar_dynamiccoreint.size()) ? dc(w8) / 2 : 0;
  if (IERR == 0) {
    const std::int32_t len = FLAGS(flagw::NTIELEN);
    const std::int32_t pcslen = FLAGS(24);
    if (std::int64_t{ctx.npcs} + len > pcslen || pcslen > gar_pcsthermalold.size()) {
      IERR = 2;
    } else {
      auto tail = gar_pcsthermalold.span().subspan(static_cast<std::size_t>(pcslen - len), static_cast<std::size_t>(len));
      std::int32_t st = 0;
      SREDSP(moddir, len, kalvir::mdb::dcore().subspan(static_cast<std::size_t>(w8 - 1), 2 * static_cast<std::size_t>(len)),
             tail, st, gar_thermalnodenums, gar_thermalnodestatuses);
      if (st != 0) IERR = st;
      if (IERR == 0 && len > 2) {
        LINCSP(FLAGS(flagw::NNODE), gar_pcsptrsthermalold.span(), tail.subspan(2), gar_pcsthermalold.span(), st,
               gar_pcsfluid.span(), gar_pcsptrsfluid.span());
        if (st != 0) IERR = st;
        std::vector<std::int32_t> scratch(static_cast<std::size_t>(len));
        if (IERR == 0) SUPINV(len, tail, scratch);
      }
    }
  }
  if (IERR == 0 && !storage_error && FLAGS(flagw::NNODE) > 0) {
    LPCSCN(FLAGS(flagw::NNODE), gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(),
           gar_pcsthermal.span(), gar_pcsptrsthermal);
  }

  // Fluid defaults that the file does not carry.
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  if (nf > 0) {
    std::fill(gar_fluidnodewatervapoursinkrates.begin(), gar_fluidnodewatervapoursinkrates.end(), 0.0);
    for (std::int64_t j = 1; j <= gar_fluidnodevolumecontrolflags.size(); ++j) gar_fluidnodevolumecontrolflags.set(j, "A");
  }
  if (nm > 0) {
    for (auto* a : {&gar_massflowlinkpressuresources, &gar_massflowlinkpsourcederivs, &gar_massflowlinkevapheatfluxes})
      std::fill(a->begin(), a->end(), 0.0);
    std::fill(gar_massflowlinktypes.begin(), gar_massflowlinktypes.end(), 1);
    std::fill(gar_massflowlinkphasesepflags.span().begin(), gar_massflowlinkphasesepflags.span().end(), 0);
    std::fill(gar_massflowlinkphasesepvapquals.span().begin(), gar_massflowlinkphasesepvapquals.span().end(), 0.0);
  }
  if (nf > 0) SETFNM(moddir, nsub, nf, gar_fluidnodemodelnums);

  if (IERR != 0) {
    const std::string text = "Error in reading model " + kalvir::padded(remembered, 24) + "(" +
                             kalvir::int_field(number, 3) + ")@" + std::string(kalvir::trim_right(ctx.section)) +
                             "  Zerror = " + kalvir::int_field(IERR, 2);
    SETERX(text, 4, 5, "LOADB ");
  }
  (void)NROW;
}

void kalvir::set_acd_array_reads(const AcdArrayReads& reads) { acd_reads = reads; }

const kalvir::AcdArrayReads& kalvir::acd_array_reads() { return acd_reads; }
