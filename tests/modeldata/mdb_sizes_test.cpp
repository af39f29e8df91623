// FLAGS words of the model program that disagree with the sizes the MDB file
// holds: the load compares them before it loads anything and ends the run
// with a message naming the file, the word and both values.
#include <gtest/gtest.h>

#include <string>

#include "runtime/control/flags.h"
#include "tests/support/mdb_fixtures.h"
#include "tools/mdb_writer.h"

namespace kalvir::test {
namespace mdb_sizes_test {

struct SizeCase {
  const char* name;
  int word;
  std::int32_t change;
  const char* what;
};

TEST(MdbSizes, AWordThatDisagreesWithTheFileEndsTheRunNamingBothValues) {
  const mdbw::Model model = full_model();
  const mdbw::MdbImage image = mdbw::build_mdb(model);
  const SizeCase cases[] = {
      {"one thermal node too many", flagw::NNODE, 1, "thermal nodes"},
      {"one thermal node too few", flagw::NNODE, -1, "thermal nodes"},
      {"linear conductors", flagw::NGL, 3, "linear conductors"},
      {"radiative conductors", flagw::NGR, -1, "radiative conductors"},
      {"fluidic conductors", flagw::NGF, 1, "fluidic conductors"},
      {"fluid nodes", flagw::NF, 2, "fluid nodes"},
      {"fluid nodes too few", flagw::NF, -1, "fluid nodes"},
      {"mass-flow links", flagw::NM, 1, "mass-flow links"},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    mdbw::Sizes sizes = mdbw::model_sizes(model);
    const std::int32_t right = sizes.flags[static_cast<std::size_t>(c.word - 1)];
    sizes.flags[static_cast<std::size_t>(c.word - 1)] = right + c.change;
    TempDir dir;
    const LoadOutcome r = load_image(image, sizes, model.name, dir);
    EXPECT_EQ(r.status, 1);
    const std::string text = joined_frames(r.printed);
    EXPECT_NE(text.find("Model sizes of the program and the MDB file differ"), std::string::npos) << text;
    EXPECT_NE(text.find("FLAGS word " + std::to_string(c.word) + " (" + c.what + ") is " +
                        std::to_string(right + c.change) + " in the program, " + std::to_string(right) +
                        " in MDB file " + mdb_file_name(model.name)),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Copy the FLAGS and SPRSIZ words that kalvir_mdb_write printed"), std::string::npos) << text;
    // Nothing of the model was loaded: the check comes first.
    EXPECT_EQ(text.find("Error in reading model"), std::string::npos) << text;
  }
}

TEST(MdbSizes, TheWordsTheWriterPrintsLoad) {
  const mdbw::Model model = full_model();
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(model), mdbw::model_sizes(model), model.name, dir);
  EXPECT_EQ(r.status, 0) << r.printed;
  EXPECT_EQ(r.ierr, 0) << r.printed;
}

}  // namespace mdb_sizes_test
}  // namespace kalvir::test
