// The MDB description of the two-node model program of
// tests/support/models/tiny_model.h, shared by the end-to-end tests that run
// it on files of their own.
#pragma once

#include <algorithm>
#include <span>
#include <string_view>
#include <utility>

#include "runtime/control/control_constants.h"
#include "tests/support/models/tiny_model.h"
#include "tools/mdb_writer.h"

namespace kalvir::test {

inline kalvir::mdbw::Model tiny_model() {
  kalvir::mdbw::Model m;
  m.name = "TINY";
  m.dystor = tiny::kFlags[27];
  kalvir::mdbw::Submodel s;
  s.name = "TINY";
  kalvir::mdbw::ThermalNode n1;
  n1.number = 1;
  n1.label = "CHARGED";
  n1.T = 0.0;
  n1.C = tiny::kCapacitance;
  kalvir::mdbw::ThermalNode n2;
  n2.number = 2;
  n2.label = "SOURCE";
  n2.T = tiny::kBoundary;
  n2.status = 'B';
  s.nodes = {n1, n2};
  s.gl.push_back({1, 2, tiny::kConductance, 'A'});
  m.submodels.push_back(s);
  const std::pair<std::string_view, double> reals[] = {
      {"CSGMIN", 0.0},   {"DAMPT", 1.0},       {"DTIMEI", 0.1},     {"DTIMEU", 0.0},     {"DTMAX", 0.5},
      {"DTMIN", 1.0e-4}, {"DTPMAX", 1.0e10},   {"ENBALA", 1.0e10},  {"ENBALR", 1.0e10},  {"INBALA", 1.0e10},
      {"INBALR", 1.0e10}, {"OUTINT", 10.0},    {"RELXCA", 1.0e-6},  {"RELXCC", 0.0},     {"STEFAN", 5.670374419e-8},
      {"TIMEM", 0.0},    {"TIMEN", 0.0},       {"TIMEND", 100.0},   {"TIMEO", 0.0},      {"TABS", 273.15},
      {"PABS", 0.0},     {"DAMPM", 1.0},       {"ARITH", 0.0},      {"DTROCA", 1.0e10},  {"DTROCC", 0.0},
      {"ENBNDM", 0.0},   {"INBNDM", 0.0}};
  const std::pair<std::string_view, std::int32_t> ints[] = {{"LOOPCT", 0}, {"MODEL", 1},  {"NCSGMN", 0},
                                                            {"NLOOP", 100}, {"LENGTH", 60}, {"WIDTH", 132},
                                                            {"MLEVEL", 1},  {"PRGFBK", 0},  {"STEPCT", 0}};
  const auto at = [](std::span<const std::string_view> names, std::string_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  for (const auto& [name, value] : reals) m.glor.at(at(glor_names(), name)) = value;
  for (const auto& [name, value] : ints) m.gloi.at(at(gloi_names(), name)) = value;
  return m;
}

}  // namespace kalvir::test
