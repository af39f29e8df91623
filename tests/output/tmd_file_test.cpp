// Layout of the TMD files: groups, attributes, datasets with their types,
// shapes, chunks and filters, and the static contents, read back through the
// HDF5 C API.
#include "runtime/output/tmd/tmd_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "runtime/output/tmd/tmd_write.h"
#include "tests/output/tmd_fixture.h"

namespace tmd_file_test {

using kalvir::padded;
using kalvir::test::capture_messages;
using kalvir::test::H5Reader;
using kalvir::test::ModelSpec;
using kalvir::test::SubmodelSpec;

// MAIN (nodes 1, 2, 3; GL 1-2, 2-3; GR 1-3) and its child PANELS (nodes 10,
// 20; GL 10-20): thermal nodes only, no user attributes.
ModelSpec thermal_only_model() {
  SubmodelSpec main;
  main.name = "MAIN";
  main.thermal = {1, 2, 3};
  main.gl = {{1, 2}, {2, 3}};
  main.gr = {{1, 3}};
  SubmodelSpec panels;
  panels.name = "PANELS";
  panels.level = 1;
  panels.thermal = {10, 20};
  panels.labels = {"PANEL LEFT", "PANEL RIGHT"};
  panels.gl = {{10, 20}};
  ModelSpec spec;
  spec.submodels = {main, panels};
  return spec;
}

std::vector<kalvir::test::ConstantSpec> thermal_only_constants() {
  return {{{{"ALPHA", 1.5}, {"BETA", 2.5}}, {}, {{"NAME", "hello"}}}, {{{"GAMMA", 3.5}}, {}, {}}};
}

class TmdFile : public kalvir::test::TmdTest {};

const std::string kDeflate = " deflate 1 fill-alloc";

TEST_F(TmdFile, ThermalOnlyStructure) {
  use_model(thermal_only_model(), thermal_only_constants());
  for (const double t : {0.0, 10.0, 20.0}) {
    gcc_settimen(t);
    DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");
  }
  ASSERT_TRUE(exists("MAIN.TMD"));
  const H5Reader f(file("MAIN.TMD"));
  ASSERT_TRUE(f.ok());

  const std::string as1 = "/AnalysisSet1";
  const std::string dg1 = "/AnalysisSet1/DataGroup1";
  const std::map<std::string, std::string> datasets{
      {as1 + "/models",
       "compound 2502 {modelName @0 string 24 spacepad; parentId @24 int32; modelPath @28 string 2474 spacepad} (2) "
       "max (2) chunk (2)" +
           kDeflate},
      {dg1 + "/times", "double (3) max (unlimited) chunk (1)" + kDeflate},
      {as1 + "/thermalNodes", "int32 (5, 2) max (5, 2) chunk (5, 2)" + kDeflate},
      {as1 + "/thermalNodesRealAttributes", "string 32 spacepad (16) max (16) chunk (16)" + kDeflate},
      {dg1 + "/thermalNodesRealData", "double (3, 5, 16) max (unlimited, 5, 16) chunk (1, 5, 16)" + kDeflate},
      {as1 + "/thermalNodesStringAttributes", "string 32 spacepad (2) max (2) chunk (2)" + kDeflate},
      {dg1 + "/thermalNodesStringData",
       "string 24 spacepad (3, 5, 2) max (unlimited, 5, 2) chunk (1, 5, 2)" + kDeflate},
      {as1 + "/conductorsGL", "int32 (3, 4) max (3, 4) chunk (3, 4)" + kDeflate},
      {dg1 + "/conductorDataGL", "double (3, 3, 2) max (unlimited, 3, 2) chunk (1, 3, 2)" + kDeflate},
      {as1 + "/conductorsGR", "int32 (1, 4) max (1, 4) chunk (1, 4)" + kDeflate},
      {dg1 + "/conductorDataGR", "double (3, 1, 2) max (unlimited, 1, 2) chunk (1, 1, 2)" + kDeflate},
      {as1 + "/userConstantsReal",
       "compound 22 {name @0 string 18 spacepad; modelId @18 int32} (3) max (3) chunk (3)" + kDeflate},
      {dg1 + "/userConstantsRealData", "double (3, 3) max (unlimited, 3) chunk (1, 3)" + kDeflate},
      {as1 + "/userConstantsString",
       "compound 22 {name @0 string 18 spacepad; modelId @18 int32} (1) max (1) chunk (1)" + kDeflate},
      {dg1 + "/userConstantsStringData", "string 132 spacepad (3, 1) max (unlimited, 1) chunk (1, 1)" + kDeflate},
      {as1 + "/controlConstantsReal", "string 6 spacepad (49) max (49) chunk (49)" + kDeflate},
      {dg1 + "/controlConstantsRealData", "double (3, 49) max (unlimited, 49) chunk (1, 49)" + kDeflate},
      {as1 + "/controlConstantsInteger", "string 6 spacepad (25) max (25) chunk (25)" + kDeflate},
      {dg1 + "/controlConstantsIntegerData", "int32 (3, 25) max (unlimited, 25) chunk (1, 25)" + kDeflate},
      {as1 + "/controlConstantsString", "string 6 spacepad (16) max (16) chunk (16)" + kDeflate},
      {dg1 + "/controlConstantsStringData",
       "string 132 spacepad (3, 16) max (unlimited, 16) chunk (1, 16)" + kDeflate},
  };
  std::vector<std::string> expected_objects{as1, dg1};
  for (const auto& [path, description] : datasets) {
    expected_objects.push_back(path);
    EXPECT_EQ(f.describe_dataset(path), description) << path;
  }
  std::sort(expected_objects.begin(), expected_objects.end());
  EXPECT_EQ(f.objects(), expected_objects);

  struct Attr {
    std::string object, name, description, value;
  };
  const std::vector<Attr> attrs{
      {"/", "Description", "string 24 spacepad (1)", padded("ORVIK_TESTBED_01", 24)},
      {"/", "FileVersion", "string 5 spacepad (1)", "01.00"},
      {as1, "Date", "string 17 spacepad (1)", "05 March     2026"},
      {as1, "Description", "string 24 spacepad (1)", padded("ORVIK_TESTBED_01", 24)},
      {as1, "PAbs", "double scalar", ""},
      {as1, "StefanBoltzmann", "double scalar", ""},
      {as1, "TAbs", "double scalar", ""},
      {dg1, "Description", "string 100 spacepad (1)", padded("Solution number 1", 100)},
      {dg1, "KALVIR_version", "string 20 spacepad (1)", padded("2020", 20)},
      {dg1, "Time", "string 8 spacepad (1)", "14:07:09"},
  };
  std::map<std::string, std::vector<std::string>> names;
  for (const Attr& a : attrs) {
    names[a.object].push_back(a.name);
    EXPECT_EQ(f.describe_attribute(a.object, a.name), a.description) << a.object << " " << a.name;
    if (!a.value.empty()) {
      EXPECT_EQ(f.string_attribute(a.object, a.name), a.value) << a.name;
    }
  }
  for (const auto& [object, list] : names) EXPECT_EQ(f.attributes(object), list) << object;
  EXPECT_EQ(f.double_attribute(as1, "PAbs"), 101325.0);
  EXPECT_EQ(f.double_attribute(as1, "StefanBoltzmann"), 5.67e-8);
  EXPECT_EQ(f.double_attribute(as1, "TAbs"), 273.15);
}

TEST_F(TmdFile, ThermalOnlyContents) {
  use_model(thermal_only_model(), thermal_only_constants());
  for (const double t : {0.0, 10.0}) {
    gcc_settimen(t);
    // Temperatures move with time: node i holds 100 + i + t.
    for (int i = 1; i <= 5; ++i) gar_thermalnodetemps(i) = 100.0 + i + t;
    gcc_setdtimeu(0.5 + t);
    DMPTMD(" ", "NODES, CONDUCTORS, CONSTANTS", 1, " ");
  }
  const H5Reader f(file("MAIN.TMD"));
  const std::string as1 = "/AnalysisSet1/";
  const std::string dg1 = "/AnalysisSet1/DataGroup1/";

  EXPECT_EQ(f.string_member(as1 + "models", "modelName", 24),
            (std::vector<std::string>{padded("MAIN", 24), padded("PANELS", 24)}));
  EXPECT_EQ(f.int_member(as1 + "models", "parentId"), (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(f.string_member(as1 + "models", "modelPath", 2474),
            (std::vector<std::string>{padded("MAIN", 2474), padded("MAIN:PANELS", 2474)}));

  EXPECT_EQ(f.ints(as1 + "thermalNodes"), (std::vector<std::int32_t>{1, 1, 2, 1, 3, 1, 10, 2, 20, 2}));
  const std::vector<std::string> real_names{
      "Temperature",          "Capacitance",  "Total_Albedo_Heat_Source", "Total_Earth_Heat_Source",
      "Total_Internal_Heat_Source", "Total_Rest_Heat_Source", "Total_Solar_Heat_Source", "Area",
      "Solar_Absorptivity",   "Infra-Red_Emissivity", "Incident_Albedo_Heat_Source", "Incident_Earth_Heat_Source",
      "Incident_Solar_Heat_Source", "X_Coordinate", "Y_Coordinate", "Z_Coordinate"};
  std::vector<std::string> padded_names;
  for (const auto& n : real_names) padded_names.push_back(padded(n, 32));
  EXPECT_EQ(f.strings(as1 + "thermalNodesRealAttributes"), padded_names);
  EXPECT_EQ(f.strings(as1 + "thermalNodesStringAttributes"),
            (std::vector<std::string>{padded("Type", 32), padded("Label", 32)}));

  EXPECT_EQ(f.doubles(dg1 + "times"), (std::vector<double>{0.0, 10.0}));
  // thermalNodesRealData(t, node, attribute): temperature column 0, QI 4, QSI 12.
  const std::vector<double> real = f.doubles(dg1 + "thermalNodesRealData");
  ASSERT_EQ(real.size(), 2U * 5U * 16U);
  for (int t = 0; t < 2; ++t) {
    for (int n = 0; n < 5; ++n) {
      const std::size_t row = (static_cast<std::size_t>(t) * 5 + static_cast<std::size_t>(n)) * 16;
      EXPECT_EQ(real[row + 0], 100.0 + (n + 1) + 10.0 * t) << t << " " << n;
      EXPECT_EQ(real[row + 1], 1000.0 + (n + 1));
      EXPECT_EQ(real[row + 4], 10.0 + (n + 1));
      EXPECT_EQ(real[row + 12], 20.0 + (n + 1));
    }
  }
  const std::vector<std::string> text = f.strings(dg1 + "thermalNodesStringData");
  ASSERT_EQ(text.size(), 2U * 5U * 2U);
  EXPECT_EQ(text[0], padded("D", 24));
  EXPECT_EQ(text[1], padded("NODE 1", 24));
  EXPECT_EQ(text[8], padded("D", 24));
  EXPECT_EQ(text[9], padded("PANEL RIGHT", 24));

  EXPECT_EQ(f.string_member(as1 + "userConstantsReal", "name", 18),
            (std::vector<std::string>{padded("ALPHA", 18), padded("BETA", 18), padded("GAMMA", 18)}));
  EXPECT_EQ(f.int_member(as1 + "userConstantsReal", "modelId"), (std::vector<std::int32_t>{1, 1, 2}));
  EXPECT_EQ(f.doubles(dg1 + "userConstantsRealData"), (std::vector<double>{1.5, 2.5, 3.5, 1.5, 2.5, 3.5}));
  EXPECT_EQ(f.strings(dg1 + "userConstantsStringData"),
            (std::vector<std::string>{padded("hello", 132), padded("hello", 132)}));

  // Control constants in alphabetical order: DTIMEU is the 7th real one.
  const auto names = f.strings(as1 + "controlConstantsReal");
  ASSERT_EQ(names.size(), 49U);
  EXPECT_EQ(names[0], "ARITH ");
  EXPECT_EQ(names[6], "DTIMEU");
  EXPECT_EQ(names[48], "TIMEOT");
  const auto cc = f.doubles(dg1 + "controlConstantsRealData");
  ASSERT_EQ(cc.size(), 98U);
  EXPECT_EQ(cc[6], 0.5);
  EXPECT_EQ(cc[49 + 6], 10.5);
  EXPECT_EQ(cc[44], 0.0);        // TIMEN at the first write
  EXPECT_EQ(cc[49 + 44], 10.0);  // and at the second
  const auto cs = f.strings(dg1 + "controlConstantsStringData");
  ASSERT_EQ(cs.size(), 32U);
  EXPECT_EQ(cs[7], padded("CASE A", 132));  // PARNAM
}

TEST_F(TmdFile, FluidNodesWithUserAttributes) {
  // Three-submodel model: thermal 1-15 (attributes TEMP2, MASS; ZONE; OWNER),
  // fluid 16 and 17.
  for (int f = 1; f <= 2; ++f) {
    gar_fluidnodefluidtypes.set(f, "AMMONIA");
    gar_fluidnodeflowregimes.set(f, "SPHF");
    gar_fluidnodestatedescriptors.set(f, "SATL");
    gar_fluidnodeuserentityvalsreal(2 + f) = 50.0 + f;  // MASS of fluid node f
    gar_fluidnodeuserentityvalsint(f) = 70 + f;         // ZONE
    gar_fluidnodeuserentityvalschar.set(f, "FLUID OWNER " + std::to_string(f));
  }
  gar_thermalnodestatuses.set(2, "B");
  DMPTMD(" ", "NODES(T, L, FT, FRG, FST, P, MASS, ZONE, OWNER)", -1, "FLUIDS");
  const H5Reader f(file("FLUIDS.TMD"));
  const std::string as1 = "/AnalysisSet1/";
  const std::string dg1 = "/AnalysisSet1/DataGroup1/";

  // MAIN alone: thermal 1-6, fluid 16-17.
  EXPECT_EQ(f.ints(as1 + "thermalNodes"), (std::vector<std::int32_t>{1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1}));
  EXPECT_EQ(f.ints(as1 + "fluidNodes"), (std::vector<std::int32_t>{101, 1, 102, 1}));
  EXPECT_EQ(f.strings(as1 + "thermalNodesRealAttributes"),
            (std::vector<std::string>{padded("Temperature", 32), padded("MASS", 32)}));
  EXPECT_EQ(f.strings(as1 + "fluidNodesRealAttributes"),
            (std::vector<std::string>{padded("Temperature", 32), padded("Static_Pressure", 32), padded("MASS", 32)}));
  EXPECT_EQ(f.strings(as1 + "thermalNodesStringAttributes"),
            (std::vector<std::string>{padded("Type", 32), padded("Label", 32), padded("OWNER", 32)}));
  EXPECT_EQ(f.strings(as1 + "fluidNodesStringAttributes"),
            (std::vector<std::string>{padded("Type", 32), padded("Label", 32), padded("Fluid_Type", 32),
                                      padded("Flow_Regime", 32), padded("Fluid_State_Descriptor", 32),
                                      padded("OWNER", 32)}));
  EXPECT_EQ(f.strings(as1 + "thermalNodesIntegerAttributes"), (std::vector<std::string>{padded("ZONE", 32)}));
  EXPECT_EQ(f.strings(as1 + "fluidNodesIntegerAttributes"), (std::vector<std::string>{padded("ZONE", 32)}));
  EXPECT_EQ(f.describe_dataset(dg1 + "fluidNodesRealData"),
            "double (1, 2, 3) max (unlimited, 2, 3) chunk (1, 2, 3)" + kDeflate);
  EXPECT_EQ(f.describe_dataset(dg1 + "fluidNodesIntegerData"),
            "int32 (1, 2, 1) max (unlimited, 2, 1) chunk (1, 2, 1)" + kDeflate);
  EXPECT_EQ(f.describe_dataset(dg1 + "thermalNodesIntegerData"),
            "int32 (1, 6, 1) max (unlimited, 6, 1) chunk (1, 6, 1)" + kDeflate);

  // Fixture values: thermal T 100 + i, MASS 2000 + i, ZONE 100 + i, OWNER
  // "OWNER-i"; fluid T 100 + 15 + f, P 1e5 + f.
  EXPECT_EQ(f.doubles(dg1 + "thermalNodesRealData"),
            (std::vector<double>{101, 2001, 102, 2002, 103, 2003, 104, 2004, 105, 2005, 106, 2006}));
  EXPECT_EQ(f.doubles(dg1 + "fluidNodesRealData"), (std::vector<double>{116, 100001, 51, 117, 100002, 52}));
  EXPECT_EQ(f.ints(dg1 + "thermalNodesIntegerData"), (std::vector<std::int32_t>{101, 102, 103, 104, 105, 106}));
  EXPECT_EQ(f.ints(dg1 + "fluidNodesIntegerData"), (std::vector<std::int32_t>{71, 72}));
  const auto text = f.strings(dg1 + "thermalNodesStringData");
  ASSERT_EQ(text.size(), 18U);
  EXPECT_EQ(text[3], padded("B", 24));
  EXPECT_EQ(text[4], padded("PANEL B", 24));
  EXPECT_EQ(text[5], padded("OWNER-2", 24));
  EXPECT_EQ(f.strings(dg1 + "fluidNodesStringData"),
            (std::vector<std::string>{padded("F", 24), padded("LOOP INLET", 24), padded("AMMONIA", 24),
                                      padded("SPHF", 24), padded("SATL", 24), padded("FLUID OWNER 1", 24),
                                      padded("F", 24), padded("LOOP OUTLET", 24), padded("AMMONIA", 24),
                                      padded("SPHF", 24), padded("SATL", 24), padded("FLUID OWNER 2", 24)}));
  // Nodes only: no conductor or constant datasets.
  for (const auto& obj : f.objects()) {
    EXPECT_EQ(obj.find("onductor"), std::string::npos) << obj;
    EXPECT_EQ(obj.find("onstant"), std::string::npos) << obj;
  }
}

TEST_F(TmdFile, NodeDatasetsFollowTheSelection) {
  // No real attribute selected: no real datasets, but the text ones.
  DMPTMD(" ", "NODES(L)", -1, "LABELS");
  // Fluid nodes only: the thermal datasets are not made.
  DMPTMD("#101,102", "NODES(T)", 1, "FLUIDONLY");
  const H5Reader labels(file("LABELS.TMD"));
  EXPECT_EQ(labels.describe_dataset("/AnalysisSet1/thermalNodesRealAttributes"), "missing");
  EXPECT_EQ(labels.describe_dataset("/AnalysisSet1/DataGroup1/thermalNodesRealData"), "missing");
  EXPECT_EQ(labels.strings("/AnalysisSet1/thermalNodesStringAttributes"),
            (std::vector<std::string>{padded("Type", 32), padded("Label", 32)}));
  // The model has an integer attribute, but none is selected.
  EXPECT_EQ(labels.describe_dataset("/AnalysisSet1/thermalNodesIntegerAttributes"), "missing");
  EXPECT_EQ(labels.describe_dataset("/AnalysisSet1/DataGroup1/thermalNodesIntegerData"), "missing");

  const H5Reader fluid(file("FLUIDONLY.TMD"));
  EXPECT_EQ(fluid.describe_dataset("/AnalysisSet1/thermalNodes"), "missing");
  EXPECT_EQ(fluid.ints("/AnalysisSet1/fluidNodes"), (std::vector<std::int32_t>{101, 1, 102, 1}));
  EXPECT_EQ(fluid.doubles("/AnalysisSet1/DataGroup1/fluidNodesRealData"), (std::vector<double>{116, 117}));
}

TEST_F(TmdFile, ConstantsOnly) {
  gcc_settimen(1.0);
  DMPTMD(" ", "CONSTANTS", 2, "CONSTS");
  gcc_settimen(2.0);
  gar_userconstvaluesreal(3) = 9.25;  // GAMMA
  DMPTMD(" ", "CONSTANTS", 2, "CONSTS");
  const H5Reader f(file("CONSTS.TMD"));
  const std::string as1 = "/AnalysisSet1/";
  const std::string dg1 = "/AnalysisSet1/DataGroup1/";
  // SUB1 and its child SUB2: GAMMA; LEVEL; TAG.
  EXPECT_EQ(f.string_member(as1 + "userConstantsReal", "name", 18), (std::vector<std::string>{padded("GAMMA", 18)}));
  EXPECT_EQ(f.int_member(as1 + "userConstantsInteger", "modelId"), (std::vector<std::int32_t>{3}));
  EXPECT_EQ(f.string_member(as1 + "userConstantsString", "name", 18), (std::vector<std::string>{padded("TAG", 18)}));
  EXPECT_EQ(f.doubles(dg1 + "times"), (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(f.doubles(dg1 + "userConstantsRealData"), (std::vector<double>{3.5, 9.25}));
  EXPECT_EQ(f.ints(dg1 + "userConstantsIntegerData"), (std::vector<std::int32_t>{-4, -4}));
  EXPECT_EQ(f.strings(dg1 + "userConstantsStringData"),
            (std::vector<std::string>{padded("sub one tag", 132), padded("sub one tag", 132)}));
  EXPECT_EQ(f.dims(dg1 + "controlConstantsIntegerData"), (std::vector<std::uint64_t>{2, 25}));
  std::vector<std::string> expected{"/AnalysisSet1", "/AnalysisSet1/DataGroup1"};
  for (const char* n : {"models", "userConstantsReal", "userConstantsInteger", "userConstantsString",
                        "controlConstantsReal", "controlConstantsInteger", "controlConstantsString"}) {
    expected.push_back(as1 + n);
  }
  for (const char* n : {"times", "userConstantsRealData", "userConstantsIntegerData", "userConstantsStringData",
                        "controlConstantsRealData", "controlConstantsIntegerData", "controlConstantsStringData"}) {
    expected.push_back(dg1 + n);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(f.objects(), expected);
}

TEST_F(TmdFile, NodeChunksAreCappedAtThousandNodes) {
  for (const int n : {1000, 1001}) {
    SubmodelSpec main;
    main.name = "BIG";
    for (int i = 1; i <= n; ++i) main.thermal.push_back(i);
    ModelSpec spec;
    spec.submodels = {main};
    use_model(spec, {});
    DMPTMD(" ", "NODES(T)", 1, "BIG" + std::to_string(n));
    kalvir::tmd::reset_for_tests();
    const H5Reader f(file("BIG" + std::to_string(n) + ".TMD"));
    const std::string c = std::to_string(std::min(n, 1000));
    const std::string ns = std::to_string(n);
    EXPECT_EQ(f.describe_dataset("/AnalysisSet1/thermalNodes"),
              "int32 (" + ns + ", 2) max (" + ns + ", 2) chunk (" + c + ", 2)" + kDeflate);
    // One attribute still gives three dimensions.
    EXPECT_EQ(f.describe_dataset("/AnalysisSet1/DataGroup1/thermalNodesRealData"),
              "double (1, " + ns + ", 1) max (unlimited, " + ns + ", 1) chunk (1, " + c + ", 1)" + kDeflate);
    const auto t = f.doubles("/AnalysisSet1/DataGroup1/thermalNodesRealData");
    ASSERT_EQ(t.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(t.back(), 100.0 + n);
  }
}

TEST_F(TmdFile, CreatingOverAnExistingFileReplacesIt) {
  DMPTMD(" ", "NODES(T)", 1, "AGAIN");
  kalvir::tmd::reset_for_tests();
  DMPTMD(" ", "CONSTANTS", 1, "AGAIN");
  const H5Reader f(file("AGAIN.TMD"));
  EXPECT_EQ(f.describe_dataset("/AnalysisSet1/thermalNodes"), "missing");
  EXPECT_EQ(f.dims("/AnalysisSet1/DataGroup1/times"), (std::vector<std::uint64_t>{1}));
}

TEST_F(TmdFile, ClosingASlotReleasesEveryHandle) {
  const ssize_t before = H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL);
  DMPTMD(" ", " ", 1, "HANDLES");
  EXPECT_GT(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL), before);
  std::int32_t status = 7;
  tmdclosefile(1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL), before);
  const TmdSlot& slot = tmd_slot(1);
  EXPECT_FALSE(slot.open());
  EXPECT_EQ(slot.numselectedthermalnodes + slot.numselectedfluidnodes + slot.countgl + slot.countm_gp, 0);
  EXPECT_FALSE(slot.mcontrolconstantsrealdatasetid.valid());
  // An empty slot leaves the status alone.
  status = 7;
  tmdclosefile(1, status);
  EXPECT_EQ(status, 7);
}

TEST_F(TmdFile, H5dumpReadsTheFile) {
  ASSERT_EQ(std::system("command -v h5dump > /dev/null 2>&1"), 0)
      << "h5dump is not installed (Debian's hdf5-tools; bash tools/setup.sh test installs it)";
  DMPTMD(" ", " ", 1, "DUMPED");
  kalvir::tmd::reset_for_tests();
  const std::string out = file("dump.txt");
  ASSERT_EQ(std::system(("h5dump -p -H DUMPED.TMD > " + out + " 2>&1").c_str()), 0);
  const std::string dump = kalvir::test::read_file(out);
  EXPECT_NE(dump.find("H5T_STR_SPACEPAD"), std::string::npos);
  EXPECT_NE(dump.find("COMPRESSION DEFLATE { LEVEL 1 }"), std::string::npos);
  EXPECT_NE(dump.find("DATASET \"conductorsM_GP\""), std::string::npos);
}

}  // namespace tmd_file_test
