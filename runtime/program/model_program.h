// Everything a model program may call: the one header that a generated model
// program includes.
//
// A model program is built outside the runtime and linked with it (see
// cmake/KalvirModel.cmake). Its main routine stores the model's sizes in FLAGS
// and SPRSIZ, gives the user attribute names (sprnod_setnames) when the model
// has attributes, names the model (SVMNAM), registers its blocks and runs the
// start-up driver (MAINA); its blocks read and write the shared blocks and the
// global arrays directly and call the services declared here.
//
// It names every subsystem, so it lives in the top folder of the runtime with
// the start-up driver, above everything it declares.
#pragma once

// Sizes, shared blocks, global arrays and control constants.
#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"

// Start-up, the blocks' registration, messages, status statement, end of run.
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/program/startup.h"

// User-array interpolation; user constants by name.
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/user_constants.h"

// Solution routines.
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluidloop/two_phase.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/cyclic.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear.h"
#include "runtime/thermal/modal.h"

// Results output, analysis-case data and heaters, parameter-case output.
#include "runtime/casedata/acd_solution.h"
#include "runtime/casedata/heaters.h"
#include "runtime/output/monitor/progress_monitor.h"
#include "runtime/output/print/node_table.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "runtime/parameters/case_files.h"

// Fluid properties and fluid names.
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
