// FLAGS and SPRSIZ words of the model program that disagree with the sizes
// the MDB file holds: the load compares every word the file determines before
// it loads anything and ends the run with a message naming the file, the word
// and both values.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

#include "runtime/control/flags.h"
#include "tests/support/mdb_fixtures.h"
#include "tools/mdb_writer.h"

namespace kalvir::test {
namespace mdb_sizes_test {

// The full model with every kind of entity whose count a word states: user
// constants of the three kinds, ARRAYs of the three kinds, node aliases and
// user-defined node attributes.
mdbw::Model sized_model() {
  mdbw::Model m = full_model();
  m.submodels[0].arrays.add_char("NAMES", {"FIRST", "SECOND"});
  m.attributes = {{{"MASS", "HEIGHT"}, {"ZONE"}, {"OWNER"}}};
  return m;
}

struct SizeCase {
  const char* name;
  const char* block;  // "FLAGS" or "SPRSIZ"
  int word;
  std::int32_t change;
  const char* what;
};

TEST(MdbSizes, AWordThatDisagreesWithTheFileEndsTheRunNamingBothValues) {
  const mdbw::Model model = sized_model();
  const mdbw::MdbImage image = mdbw::build_mdb(model);
  const SizeCase cases[] = {
      {"one thermal node too many", "FLAGS", flagw::NNODE, 1, "thermal nodes"},
      {"one thermal node too few", "FLAGS", flagw::NNODE, -1, "thermal nodes"},
      {"linear conductors", "FLAGS", flagw::NGL, 3, "linear conductors"},
      {"radiative conductors", "FLAGS", flagw::NGR, -1, "radiative conductors"},
      {"fluidic conductors", "FLAGS", flagw::NGF, 1, "fluidic conductors"},
      {"view-factor conductors", "FLAGS", flagw::NGV, 1, "view-factor conductors"},
      {"real user constants", "FLAGS", 6, 1, "real user constants"},
      {"integer user constants", "FLAGS", 7, -1, "integer user constants"},
      {"character user-constant elements", "FLAGS", 8, 1, "elements of the character user-constant values"},
      {"character user constants", "FLAGS", 9, 1, "character user constants"},
      {"all user constants", "FLAGS", 16, 1, "all user constants"},
      {"ARRAY info list", "FLAGS", 18, 4, "length of the ARRAY info list"},
      {"ARRAYs", "FLAGS", 19, 1, "ARRAYs"},
      {"real ARRAY values", "FLAGS", 20, 2, "real ARRAY values"},
      {"integer ARRAY values", "FLAGS", 21, -1, "integer ARRAY values"},
      {"character ARRAY elements", "FLAGS", 22, 1, "elements of the character ARRAY values"},
      {"submodels", "FLAGS", flagw::NSUB, 1, "submodels"},
      {"fluid nodes", "FLAGS", flagw::NF, 2, "fluid nodes"},
      {"fluid nodes too few", "FLAGS", flagw::NF, -1, "fluid nodes"},
      {"mass-flow links", "FLAGS", flagw::NM, 1, "mass-flow links"},
      {"node aliases", "FLAGS", 40, 1, "node aliases"},
      {"real attributes", "SPRSIZ", 5, -1, "real attributes"},
      {"integer attributes", "SPRSIZ", 4, 1, "integer attributes"},
      {"character attributes", "SPRSIZ", 3, -1, "character attributes"},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    mdbw::Sizes sizes = mdbw::model_sizes(model);
    const auto words = std::string_view(c.block) == "FLAGS" ? std::span<std::int32_t>(sizes.flags)
                                                        : std::span<std::int32_t>(sizes.sprsiz);
    const std::int32_t right = words[static_cast<std::size_t>(c.word - 1)];
    words[static_cast<std::size_t>(c.word - 1)] = right + c.change;
    TempDir dir;
    const LoadOutcome r = load_image(image, sizes, model.name, dir);
    EXPECT_EQ(r.status, 1);
    const std::string text = joined_frames(r.printed);
    EXPECT_NE(text.find("Model sizes of the program and the MDB file differ"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(c.block) + " word " + std::to_string(c.word) + " (" + c.what + ") is " +
                        std::to_string(right + c.change) + " in the program, " + std::to_string(right) +
                        " in MDB file " + mdb_file_name(model.name)),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Copy the FLAGS and SPRSIZ words that kalvir_mdb_write printed"), std::string::npos) << text;
    // Nothing of the model was loaded: the check comes first.
    EXPECT_EQ(text.find("Error in reading model"), std::string::npos) << text;
    EXPECT_EQ(text.find("Zerror"), std::string::npos) << text;
  }
}

TEST(MdbSizes, TheArrayWordsHoldTheAcdValuesTheStartUpAdded) {
  const mdbw::Model model = sized_model();
  mdbw::Sizes sizes = mdbw::model_sizes(model);
  sizes.flags[19] += 6;  // word 20: six real values from the ACD file
  sizes.flags[20] += 2;  // word 21: two index values
  {
    TempDir dir;
    const LoadOutcome r = load_image(mdbw::build_mdb(model), sizes, model.name, dir, {6, 2});
    EXPECT_EQ(r.status, 0) << r.printed;
  }
  // The same words without the start-up's addition: the file holds fewer.
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(model), sizes, model.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(joined_frames(r.printed).find("FLAGS word 20 (real ARRAY values) is "), std::string::npos) << r.printed;
}

TEST(MdbSizes, TheWordsTheWriterPrintsLoad) {
  const mdbw::Model model = sized_model();
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(model), mdbw::model_sizes(model), model.name, dir);
  EXPECT_EQ(r.status, 0) << r.printed;
  EXPECT_EQ(r.ierr, 0) << r.printed;
}

}  // namespace mdb_sizes_test
}  // namespace kalvir::test
