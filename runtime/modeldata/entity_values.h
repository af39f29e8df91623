// Entity mnemonics and entity values: the 58 built-in entity codes of the
// model language ("L", "T", "QS", ..., the conductor kinds "GL" to "GP", "G"
// and the node status letters), the user node attribute codes (group x 100 +
// index: 1 real, 2 integer, 3 character), and the value of a code for one
// node or conductor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kalvir {
inline constexpr std::int32_t kNumEntityCodes = 58;
inline constexpr std::int32_t kNumNodalEntityCodes = 41;
}  // namespace kalvir

// Name of code 1..58 (3 characters, blank-padded); blank for any other code.
std::string ENTNAM(std::int32_t ICODE);

namespace kalvir {
// Whether NAME (trailing blanks aside) is one of the 58 built-in entity
// names: a user attribute of that name could never be reached, since the
// built-in name wins every match of the same length.
bool is_entity_mnemonic(std::string_view name);
}  // namespace kalvir

// The longest entity name or user attribute name at the start of TEXT
// (case-sensitive). CODE 1..58 for a built-in name, -k for the k-th user
// attribute (real ones first, then integer, then character), 0 if none; MLEN
// the matched length; NAME the matched name, cut or blank-padded (not written
// when empty).
void ENTFND(std::string_view TEXT, std::span<char> NAME, std::int32_t& CODE, std::int32_t& MLEN);

// Node kind of a code: 0 both kinds, 1 thermal nodes only, -1 fluid nodes only.
std::int32_t ENTYP(std::int32_t ICODE);
// Value class of a code: 1 real, 2 integer (201-299), 3 character.
std::int32_t ENTRIC(std::int32_t ICODE);

// ISTH = 1 when the entity named at the start of TEXT applies to thermal
// nodes, ISFL = 1 when it applies to fluid nodes; IERR = 1 (with a message)
// for an unknown name.
void ENTNTP(std::string_view TEXT, std::int32_t& ISTH, std::int32_t& ISFL, std::int32_t& IERR);

// Attribute code of an attribute name (0 if unknown), and the inverse: GROUP,
// INDEX and NAME of a code, 0, 0 and blank for a code that names no attribute.
void SPRENT(std::string_view NAME, std::int32_t& CODE);
void SPRNAM(std::int32_t CODE, std::int32_t& GROUP, std::int32_t& INDEX, std::span<char> NAME);

// Value of entity code ICODE for internal node NODE (thermal 1..NNODE, fluid
// NNODE + 1..NNODE + NF), or for conductor / mass-flow link number NODE with
// codes 42-47. A code of the other node kind gives 0 without error. IERR 1
// (thermal) or 2 (fluid) for an unrecognised code; 3 for a node or conductor
// number outside its arrays. CALLER names the caller in the messages.
void LSNTVR(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            double& VALUE, std::int32_t& IERR);
// Integer user attributes (201-299). IERR 1 for any other code, 3 for a bad node.
void LSNTVI(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            std::int32_t& VALUE, std::int32_t& IERR);
// Character user attributes (301-399), cut or blank-padded into VALUE. IERR 1
// for any other code, 3 for a bad node.
void LSNTVC(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            std::span<char> VALUE, std::int32_t& IERR);
