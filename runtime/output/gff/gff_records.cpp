#include "runtime/output/gff/gff_records.h"

#include "runtime/control/flags.h"
#include "runtime/output/gff/gff_conductors.h"
#include "runtime/output/gff/gff_constants.h"
#include "runtime/output/gff/gff_lines.h"
#include "runtime/output/gff/gff_nodes.h"

void GRECDB(std::int32_t UNIT, const kalvir::gff::BlockFlags& BLOCKS, std::string_view FORMAT, double TIMEN,
            std::span<std::int32_t> WORK) {
  using kalvir::gff::Record;
  const kalvir::gff::RealNotation notation(FORMAT);
  const kalvir::gff::ModelCounts counts = kalvir::gff::model_counts();
  std::int32_t number = 0;
  // The record types in file order, numbered over the ones present exactly
  // as GHEADB numbers them.
  const auto present = [&](Record r) {
    if (!kalvir::gff::record_present(r, BLOCKS, counts)) return false;
    ++number;
    return true;
  };
  if (present(Record::ThermalNode)) GTNODA(UNIT, number, notation, TIMEN);
  if (present(Record::ThermalConductor)) {
    GTCNDB(UNIT, number, notation, TIMEN, WORK);
    if (FLAGS(flagw::NGV) > 0) GVFB(UNIT, number, notation, TIMEN);
  }
  if (present(Record::FluidNode)) GFNODA(UNIT, number, notation, TIMEN);
  if (present(Record::FluidConductor)) {
    GFCNDB(UNIT, number, notation, TIMEN, WORK);
    GMFB(UNIT, number, notation, TIMEN);
  }
  if (present(Record::IntegerConstant)) GIUCTS(UNIT, number, notation, TIMEN);
  if (present(Record::RealConstant)) GRUCTS(UNIT, number, notation, TIMEN);
  if (present(Record::CharacterConstant)) GCUCTS(UNIT, number, notation, TIMEN);
}
