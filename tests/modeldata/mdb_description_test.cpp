// The text description of MDB fixtures: statements that cannot be used are
// refused with their line, a description becomes the model it says, and the
// sample description, written and loaded by the program's loader, gives the
// directory and lists that follow from the model by hand. Also the sizes file
// that travels with the MDB file.
#include "tools/mdb_description.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace mdb_description_test {

mdbw::Model parse(const std::string& text) {
  std::istringstream in(text);
  return mdbw::read_description(in);
}

std::string parse_error(const std::string& text) {
  try {
    parse(text);
  } catch (const mdbw::DescriptionError& e) {
    return e.what();
  }
  return "(accepted)";
}

struct BadCase {
  const char* text;
  const char* error;  // the start of the message
};

const BadCase kBadDescriptions[] = {
    {"# nothing\n", "the description has no \"model\" statement"},
    {"# only a comment\nnode 1\n", "line 2: the first statement must be \"model\""},
    {"model M\nmodel N\n", "line 2: \"model\" must come first, and once"},
    {"model M\nnodes 1\n", "line 2: unknown statement \"nodes\""},
    {"model M\nnode one\n", "line 2: \"one\" is not a whole number (the node number)"},
    {"model M\nnode 1 T=nan\n", "line 2: \"nan\" is not a finite number (T)"},
    {"model M\nnode 1 T=1e999\n", "line 2: \"1e999\" is not a finite number (T)"},
    {"model M\nnode 1 Q=3\n", "line 2: unknown option \"Q\""},
    {"model M\nnode 1 T=1 T=2\n", "line 2: option \"T\" given twice"},
    {"model M\nnode 1 2\n", "line 2: \"2\" is one word too many"},
    {"model M\nnode 1 label=\"OPEN\n", "line 2: a quote is not closed"},
    {"model M\nnode 1 label=\"A LABEL OF MORE THAN 24 CHARS\"\n",
     "line 2: label \"A LABEL OF MORE THAN 24 CHARS\" is longer"},
    {"model M\nnode 1 status=DB\n", "line 2: status \"DB\" is longer than 1 characters"},
    {"model M\nnode 0\n", "line 2: node numbers are positive"},
    {"model M\nfluidnode 1 fluid=WATR\n", "line 2: unknown fluid \"WATR\" (AMMONIA, WATER, AIR, AIRW, R11,"},
    {"model M\nfluidnode 1 status=D\n", "line 2: fluid node status \"D\" is none of F, H, I, J, K, O, Q, R, S, U, V"},
    {"model M\nnode 5\n\nnode 3\n", "line 4: thermal node 3 does not follow 5"},
    {"model M\nnode 5\nfluidnode 5\n", "line 3: node 5 is already a node of this submodel"},
    {"model M\nsubmodel M\n", "line 2: submodel \"M\" is named twice"},
    {"model M\nsubmodel S level=2\n", "line 2: level 2 cannot follow level 0"},
    {"model M\nsubmodel S level=0\n", "line 2: level 0 cannot follow level 0"},
    {"model M.X\n", "line 1: the model name \"M.X\" must be one word without \".\""},
    {"model M\nnode 1\nnode 2\nGL 1 3 1.0\n", "line 4: there is no node M.3"},
    {"model M\nnode 1\nGL 1 S.3 1.0\n", "line 3: there is no submodel \"S\""},
    {"model M\nnode 1\nGL 1 .3 1.0\n", "line 3: the second node \".3\" names no submodel"},
    {"model M\nnode 1\nnode 2\nGL 1 -2 1.0\n", "line 4: node number -2 is negative"},
    {"model M\nnode 1\nnode 2\nGL 2 1 1.0\n", "line 4: GL pairs name the lower node number first"},
    {"model M\nnode 1\nnode 2\nnode 3\nGR 2 3 1\nGR 1 3 1\n", "line 6: GR pairs of a submodel come in the order"},
    {"model M\nnode 1\nsubmodel S\nnode 1\nGV 1 M.1 0.5\n", "line 5: GV conductors cannot join two submodels"},
    {"model M\nnode 1\nsubmodel S\nnode 1\nGF -1 M.1 0.5\n", "line 5: node numbers are negative only in a"},
    {"model M\nnode 1\nfluidnode 2\nGV 1 2 0.1\n", "line 4: node M.2 is a fluid node; a thermal node is needed"},
    {"model M\nnode 1\nfluidnode 2\nlink 1 2 0.1\n", "line 4: node M.1 is a thermal node; a fluid node is needed"},
    {"model M\nfluidnode 1\nsubmodel S\nfluidnode 2\nlink 2 M.1 0.1\n",
     "line 5: a link declared in submodel S reaches only that submodel and the ones after it; declare it in M"},
    {"model M\nnode 1\nfluidnode 2\ntie 1 2\n", "line 4: node M.2 is a fluid node; a thermal node is needed"},
    {"model M\nnode 1\ntie 1\n", "line 3: a tie needs at least one target"},
    {"model M\nnode 1\ntie 1 1\n", "line 3: node M.1 is already tied"},
    {"model M\nnode 1\nnode 2\nnode 3\ntie 1 2\ntie 1 3\n", "line 6: node M.1 is already tied"},
    {"model M\nnode 1\nnode 2\nnode 3\ntie 1 2\ntie 3 2\n", "line 6: node M.2 is already tied"},
    {"model M\nnode 1\nnode 2\nnode 3\ntie 1 2\ntie 2 3\n", "line 6: node M.2 is already tied"},
    {"model M\nnode 1\nalias X 7\n", "line 3: there is no node M.7"},
    {"model M\nreal B 1\nreal A 2\n", "line 3: constant \"A\" does not follow \"B\""},
    {"model M\ninteger A 1\ninteger A 2\n", "line 3: constant \"A\" does not follow \"A\""},
    {"model M\ninteger A 1.5\n", "line 2: \"1.5\" is not a whole number (the value)"},
    {"model M\narray real T\n", "line 2: an ARRAY needs at least one value"},
    {"model M\narray text T 1\n", "line 2: the ARRAY type \"text\" is not real, integer or character"},
    {"model M\narray real T 1 2 3 dims=2x2\n", "line 2: the dimensions of ARRAY \"T\" do not hold its 3 values"},
    {"model M\narray real T 1 dims=1x1x1x1\n", "line 2: an ARRAY has at most three dimensions"},
    {"model M\narray real T 1 group=5\n", "line 2: ARRAY groups are 1 to 4"},
    {"model M\narray real T 1\narray integer T 2\n", "line 3: ARRAY \"T\" is named twice"},
    {"model M\nattribute real QI\n", "line 2: attribute \"QI\" is named like a built-in entity"},
    {"model M\nattribute character GL\n", "line 2: attribute \"GL\" is named like a built-in entity"},
    {"model M\nattribute integer D\n", "line 2: attribute \"D\" is named like a built-in entity"},
    {"model M\ncontrol TIMEX 1\n", "line 2: unknown control constant \"TIMEX\""},
    {"model M\ncontrol TIMEND 1\ncontrol TIMEND 2\n", "line 3: control constant TIMEND is set twice"},
    {"model M\ncontrol NLOOP 2.5\n", "line 2: \"2.5\" is not a whole number (the value)"},
    {"model M\nnode 1\nnode 2\ntriangle 0.5\n", "line 4: a triangle goes with GV conductors"},
    {"model M\nnode 1\nnode 2\nGV 1 2 1\ntriangle 0.5 0.6\n", "line 5: the triangle of 2 thermal nodes holds 1 values"},
    {"model M dystor=0\n", "line 1: dystor must be at least 1"},
    {"model M\nnode 99999999999\n", "line 2: \"99999999999\" is not a whole number (the node number)"},
    {"model M\nnode 1\nGL 1 M.-2147483648 1\n", "line 3: node number -2147483648 is negative"},
};

TEST(MdbDescription, RefusesWhatCannotBeWrittenNamingTheLine) {
  for (const BadCase& c : kBadDescriptions) {
    const std::string error = parse_error(c.text);
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\ngave: " << error;
  }
}

TEST(MdbDescription, StatementsBecomeTheModelTheySay) {
  const mdbw::Model m = parse(
      "model TOP acd=TOPACD dystor=4000   # the main model\n"
      "node 1 T=10 C=2 QI=3 status=B label=\"NODE # ONE\"\n"
      "node 4\n"
      "fluidnode 7 fluid=AMMONIA P=1e5 FST=PH\n"
      "GL 1 4 0.5 act=I\n"
      "GF -4 7 0.25\n"
      "GR 4 MID.2 1e-3\n"
      "link 7 LOW.9 0.1 GP=2\n"
      "tie 1 MID.2 LOW.3\n"
      "character NOTE \"TWO WORDS\"\n"
      "array real CURVE 0 1 2 3 group=2\n"
      "control NODES 5\n"
      "control TIMEND 100\n"
      "control NLOOP 7\n"
      "submodel MID acd=MIDACD\n"
      "node 2\n"
      "submodel LOW level=2\n"
      "node 3\n"
      "fluidnode 9\n"
      "GL 3 MID.2 4\n");
  ASSERT_EQ(m.submodels.size(), 3u);
  EXPECT_EQ(m.name, "TOP");
  EXPECT_EQ(m.dystor, 4000);
  const mdbw::Submodel& top = m.submodels[0];
  EXPECT_EQ(top.acd_name, "TOPACD");
  EXPECT_EQ(top.level, 0);
  EXPECT_EQ(m.submodels[1].level, 1);
  EXPECT_EQ(m.submodels[2].level, 2);
  ASSERT_EQ(top.nodes.size(), 2u);
  EXPECT_EQ(top.nodes[0].label, "NODE # ONE");
  EXPECT_EQ(top.nodes[0].status, 'B');
  EXPECT_DOUBLE_EQ(top.nodes[0].QI, 3.0);
  EXPECT_EQ(top.nodes[1].status, 'D');
  ASSERT_EQ(top.fluid.size(), 1u);
  EXPECT_EQ(top.fluid[0].fluid, "AMMONIA");
  EXPECT_EQ(top.fluid[0].FST, "PH");
  ASSERT_EQ(top.gl.size(), 1u);
  EXPECT_EQ(top.gl[0].act, 'I');
  ASSERT_EQ(top.gf.size(), 1u);
  EXPECT_EQ(top.gf[0].n1, -4);
  // Inter-model ends as offsets from the declaring submodel.
  ASSERT_EQ(top.xgr.size(), 1u);
  EXPECT_EQ(top.xgr[0].end1.offset, 0);
  EXPECT_EQ(top.xgr[0].end2.offset, 1);
  EXPECT_EQ(top.xgr[0].end2.node, 2);
  ASSERT_EQ(m.submodels[2].xgl.size(), 1u);
  EXPECT_EQ(m.submodels[2].xgl[0].end2.offset, -1);
  ASSERT_EQ(top.xlinks.size(), 1u);
  EXPECT_EQ(top.xlinks[0].end2.offset, 2);
  EXPECT_DOUBLE_EQ(top.xlinks[0].gp, 2.0);
  // Ties name submodels by their number, from 1.
  ASSERT_EQ(m.ties.size(), 1u);
  EXPECT_EQ(m.ties[0].source, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_EQ(m.ties[0].targets, (std::vector<std::array<std::int32_t, 2>>{{2, 2}, {3, 3}}));
  EXPECT_EQ(top.char_constants.at(0).value, "TWO WORDS");
  EXPECT_EQ(top.arrays.names[1], (std::vector<std::string>{"CURVE"}));
  EXPECT_EQ(top.arrays.reals, (std::vector<double>{0, 1, 2, 3}));
  EXPECT_EQ(top.local_ints[0], 5);
  EXPECT_FALSE(top.local_ints[1].has_value());
  const auto slot = [](std::span<const std::string_view> names, std::string_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  EXPECT_EQ(m.glor.at(slot(glor_names(), "TIMEND")), 100.0);
  EXPECT_EQ(m.gloi.at(slot(gloi_names(), "NLOOP")), 7);
  // What is never set stays unset: the writer gives it the undefined marker.
  EXPECT_FALSE(m.glor.at(slot(glor_names(), "DTMAX")).has_value());
  EXPECT_FALSE(m.gloi.at(slot(gloi_names(), "WIDTH")).has_value());
}

std::vector<std::int32_t> dir_column(std::int32_t m) {
  std::vector<std::int32_t> v;
  for (int r = 1; r <= 18; ++r) v.push_back(gar_modeldirectory(r, m));
  return v;
}

// The sample of tools/examples: PANEL (thermal nodes 1, 2, 3 and fluid node
// 50) and LOOP below it (thermal 10, 20, 30 and fluid 101, 102).
TEST(MdbDescription, TheSampleLoadsIntoTheListsItDescribes) {
  std::ifstream in(KALVIR_SOURCE_DIR "/tools/examples/two_submodels.mdbtxt");
  ASSERT_TRUE(in);
  const mdbw::Model m = mdbw::read_description(in);
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.status, 0) << r.printed;
  ASSERT_EQ(r.ierr, 0) << r.printed;

  EXPECT_EQ(FLAGS(flagw::NSUB), 2);
  EXPECT_EQ(FLAGS(flagw::NNODE), 6);
  EXPECT_EQ(FLAGS(flagw::NF), 3);
  // Level and subtree size, then where each submodel's thermal nodes
  // (row 3) and fluid nodes (row 16) start.
  const auto panel = dir_column(1), loop = dir_column(2);
  EXPECT_EQ((std::vector<std::int32_t>{panel[0], panel[1], panel[2], panel[15]}),
            (std::vector<std::int32_t>{0, 2, 0, 0}));
  EXPECT_EQ((std::vector<std::int32_t>{loop[0], loop[1], loop[2], loop[15]}), (std::vector<std::int32_t>{1, 1, 3, 1}));
  EXPECT_EQ(words(gar_thermalnodenums.span(), 1, 6), (std::vector<std::int32_t>{1, 2, 3, 10, 20, 30}));

  // Linear conductors by global number: 1 = PANEL (1,2), 2 = PANEL's
  // inter-model one from node 2 to LOOP.20, 3 = LOOP (10,20), 4 = LOOP
  // (20,101). Radiative: 1, 2 the explicit (1,3), (2,3); 3-5 the triangle
  // (1,2), (1,3), (2,3). Inter-model entries lead; the triangle follows
  // the explicit pairs.
  EXPECT_EQ(thermal_entries(1), (std::vector<Entry>{{1, 2, 1}, {2, 3, 1}, {2, 2, 3}, {2, 3, 4}}));
  EXPECT_EQ(thermal_entries(2), (std::vector<Entry>{{1, 5, 2}, {1, 1, 1}, {2, 3, 2}, {2, 1, 3}, {2, 3, 5}}));
  EXPECT_EQ(thermal_entries(3), (std::vector<Entry>{{2, 1, 1}, {2, 2, 2}, {2, 1, 4}, {2, 2, 5}}));
  // LOOP.20 meets node 2 across the models, LOOP.10 and fluid node 101
  // (index NNODE + 2).
  EXPECT_EQ(thermal_entries(5), (std::vector<Entry>{{1, 2, 2}, {1, 4, 3}, {1, 8, 4}}));
  // The record form holds the same entries.
  for (std::int32_t node = 1; node <= 5; ++node) EXPECT_EQ(record_entries(node), thermal_entries(node)) << node;

  // The tie: LOOP.30 (index 6) follows PANEL.2.
  EXPECT_EQ(words(gar_pcsthermalold.span(), FLAGS(24) - 4, 5), (std::vector<std::int32_t>{5, 1, 2, 1, 6}));

  // Mass-flow links: PANEL's two inter-model links (50 to LOOP.101, LOOP.102
  // to 50) come first, then LOOP's own (101, 102); fluid indices 50 -> 1,
  // 101 -> 2, 102 -> 3.
  EXPECT_EQ(FLAGS(flagw::NM), 3);
  EXPECT_EQ(words(gar_massflowlinkcondnodepairs.span(), 1, 6), (std::vector<std::int32_t>{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(fluid_entries(1), (std::vector<Entry>{{1, 2, 1}, {1, 3, 2}}));
  // Fluid node 101 is wetted by LOOP.20 (linear conductor 4).
  const auto wetted = fluid_entries(2);
  EXPECT_NE(std::find(wetted.begin(), wetted.end(), Entry{2, 5, 4}), wetted.end());
  EXPECT_EQ(gar_fluidnodefluidtypes(2), padded("WATER", 24));
}

TEST(MdbSizesFile, CarriesTheModelNameAndEveryWord) {
  const mdbw::Model m = parse("model SIZES\nnode 1\nnode 2\nGL 1 2 1\n");
  const mdbw::Sizes sizes = mdbw::model_sizes(m);
  std::istringstream in(mdbw::sizes_file_text(m.name, sizes));
  const mdbw::SizesFile back = mdbw::read_sizes_file(in);
  EXPECT_EQ(back.model_name, "SIZES");
  EXPECT_EQ(back.sizes.flags, sizes.flags);
  EXPECT_EQ(back.sizes.sprsiz, sizes.sprsiz);
}

TEST(MdbSizesFile, RefusesASpoiltFileNamingTheLine) {
  std::string flags40 = "FLAGS 1";
  for (int k = 2; k <= 40; ++k) flags40 += ",1";
  const std::string flags41 = flags40 + ",1";
  const BadCase cases[] = {
      {"MODEL A\nSPRSIZ 1,3,0,0,0\n", "the sizes file needs MODEL, FLAGS and SPRSIZ lines"},
      {"MODEL A\nSIZES 1\n", "line 2: unknown line \"SIZES\""},
      {"MODEL A\nMODEL B\n", "line 2: \"MODEL\" given twice"},
      {"MODEL\n", "line 1: expected \"MODEL\" and one word"},
      {"MODEL A B\n", "line 1: expected \"MODEL\" and one word"},
      {"SPRSIZ 1,3,0,0\n", "line 1: SPRSIZ has 4 words, not 5"},
      {"SPRSIZ 1,3,0,0,0,0\n", "line 1: SPRSIZ has more than 5 words"},
      {"SPRSIZ 1,-3,0,0,0\n", "line 1: SPRSIZ word 2 is not a whole number from 0 to 10000000"},
      {"SPRSIZ 1,,0,0,0\n", "line 1: SPRSIZ word 2 is not a whole number"},
      {"SPRSIZ 1,3,0,0,99999999\n", "line 1: SPRSIZ word 5 is not a whole number"},
  };
  for (const BadCase& c : cases) {
    std::istringstream in(c.text);
    std::string error = "(accepted)";
    try {
      mdbw::read_sizes_file(in);
    } catch (const mdbw::DescriptionError& e) {
      error = e.what();
    }
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\ngave: " << error;
  }
  std::istringstream short_flags("MODEL A\n" + flags40 + "\nSPRSIZ 1,3,0,0,0\n");
  EXPECT_THROW(mdbw::read_sizes_file(short_flags), mdbw::DescriptionError);
  std::istringstream full("MODEL A\n" + flags41 + "\nSPRSIZ 1,3,0,0,0\n");
  EXPECT_EQ(mdbw::read_sizes_file(full).sizes.flags[40], 1);
  // A sizes file that is not there is refused the same way.
  EXPECT_THROW(mdbw::read_sizes_file(std::string("no such directory/A.flags")), mdbw::DescriptionError);
}


// Spoilt copies of the sample (lines dropped, doubled or swapped, characters
// changed): the reader refuses each with its line or gives a model that the
// loader takes whole; none reaches the loader to fail there, except for the
// dynamic core the description itself sizes too small.
TEST(MdbDescription, SpoiltSamplesAreRefusedOrLoad) {
  std::ifstream in(KALVIR_SOURCE_DIR "/tools/examples/two_submodels.mdbtxt");
  ASSERT_TRUE(in);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::mt19937 random(20261210);
  const auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  const std::string alphabet = " .=\"#-+0123456789eAXSLOP";
  int refused = 0, loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> v = lines;
    const std::size_t a = pick(v.size()), b = pick(v.size());
    switch (round % 4) {
      case 0:
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(a));
        break;
      case 1:
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(a), v[b]);
        break;
      case 2:
        std::swap(v[a], v[b]);
        break;
      default:
        if (!v[a].empty()) v[a][pick(v[a].size())] = alphabet[pick(alphabet.size())];
        break;
    }
    std::string text;
    for (const auto& l : v) text += l + "\n";
    mdbw::Model m;
    try {
      m = parse(text);
    } catch (const mdbw::DescriptionError& e) {
      const std::string what = e.what();
      EXPECT_TRUE(what.rfind("line ", 0) == 0 || what == "the description has no \"model\" statement") << what;
      ++refused;
      continue;
    }
    ++loaded;
    TempDir dir;
    const LoadOutcome r = load_model(m, dir);
    if (r.status != 0 && joined_frames(r.printed).find("Insufficient dynamic storage") != std::string::npos) continue;
    ASSERT_EQ(r.status, 0) << text << r.printed;
    ASSERT_EQ(r.ierr, 0) << text << r.printed;
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(loaded, 0);
}

}  // namespace mdb_description_test
}  // namespace kalvir::test
