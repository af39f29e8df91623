// Forwarding header: the page start and the node table now live in
// page_layout.h and node_table.h. Kept only for the files that still include
// it; include those two headers instead.
#pragma once

#include "runtime/output/print/node_table.h"
#include "runtime/output/print/page_layout.h"
