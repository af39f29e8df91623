#include "runtime/control/shared_blocks.h"

JobinfBlock JOBINF;
PrtinfBlock PRTINF;
ParnumBlock PARNUM;
ParchrBlock PARCHR;
