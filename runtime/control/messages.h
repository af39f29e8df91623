// Message writers: SETERX (run-time messages, severities 1-4, severity 4 ends
// the run), ERRNEW (file and record layer, never stops), MESBLD (appends a
// node's identity to a text), ERROR (internal-error stop) and EFLUSH.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// TEXT parts are separated by "@"; "<NL>" forces a new line. ROUTINE is printed
// at its full length. Does not return for severity 4 or any severity outside 1-4;
// severity 3 (and an ERRNEW error, labels 1 to 3) is noted as a failure the
// run goes on after (note_run_failure), which fails the run at its end.
void SETERX(std::string_view TEXT, std::int32_t ISEV, std::int32_t IREF, std::string_view ROUTINE);
void ERRNEW(std::string_view TEXT, std::int32_t ISEV, std::int32_t IREF, std::string_view ROUTINE);
// Appends " Node <n> in main model" (or "... in model <name> (<path>)") after
// the text's last non-blank; the text keeps its length, the addition is cut to fit.
void MESBLD(std::int32_t NODE, std::span<char> TEXT);
[[noreturn]] void ERROR(std::string_view NAME);
void EFLUSH(std::int32_t UNIT);

namespace kalvir {
// The model-tree lookups MESBLD names a node with (SUBMDN, NODNUM and LENDGT
// of the model data store, which lies above the messages that every
// subsystem writes); filled by kalvir::install_run_hooks.
struct NodeNaming {
  std::string (*submodel)(std::int32_t node, std::string_view attrib) = nullptr;  // SUBMDN
  std::int32_t (*user_number)(std::int32_t node) = nullptr;                         // NODNUM
  std::int32_t (*digits)(std::int32_t value) = nullptr;                             // LENDGT
};
void set_node_naming(const NodeNaming& naming);

// Sets both message counters back to 0 and forgets the failures noted, so
// that a test can look at a frame numbered as the first of a run. A run never
// calls it.
void messages_reset_for_tests();
}  // namespace kalvir
