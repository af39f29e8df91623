// The hooks of the lower folders filled with the services of the folders
// above them. A lower folder that needs a service from above (the messages
// name a node through the model tree, STATST reads entity references, the
// MDB load merges the ACD file's arrays, SOLCYC repeats a fluid-loop routine)
// calls it through a table of function pointers that only this top layer,
// which sees every folder, fills. MAINA fills them before anything else, so
// every model program has them; a test that runs a routine without MAINA
// fills them itself.
#pragma once

namespace kalvir {
// Fills every hook; calling it again changes nothing.
void install_run_hooks();
}  // namespace kalvir
