#include "runtime/program/run_hooks.h"

#include "runtime/casedata/acd_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluidloop/two_phase.h"
#include "runtime/modeldata/entity_refs.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/thermal/cyclic.h"

void kalvir::install_run_hooks() {
  set_node_naming({.submodel = &SUBMDN, .user_number = &NODNUM, .digits = &LENDGT});
  set_status_readers(
      {.entity = &LSVENT, .submodel = &LSMINT, .node_status = &LSNSST, .conductor_status = &LSCSST});
  set_acd_array_reads({.open = &acda_open,
                       .next_submodel = &acda_movenextsubmodel,
                       .array_data = &acda_getarraydata,
                       .update_pointers = &acda_updatearraypointers,
                       .close = &acda_close});
  thermal::set_cyclic_fluid_loops({.FLTNTS = &FLTNTS,
                                   .FLTMTS = &FLTMTS,
                                   .FLTNTF = &FLTNTF,
                                   .FGENFI = &FGENFI,
                                   .SGMCAL = &SGMCAL,
                                   .SFCDHF = &SFCDHF});
}
