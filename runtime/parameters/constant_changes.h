// Constant changes of the parameter cases: CHANGE or SCALE of a user
// constant of a submodel (real, integer or character) or of a control
// constant, through the table of the control constants that a case may change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <string_view>

#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {

enum class ConstantKind { kReal, kInteger, kCharacter, kLocalInteger };

// One control constant that a parameter case may change (and a CSV column
// name): the global ones in storage order of their blocks, then NODES and
// NODESM of a submodel.
struct ControlConstant {
  std::string_view name;
  ConstantKind kind;
  int index;           // 1-based: GLOR, GLOI or GLOC storage order, or the LOCI word
  std::size_t length;  // characters of a GLOC field
};

// The 90 changeable control constants: the real ones but ENBNDM and INBNDM,
// all integer and character ones, then NODES and NODESM.
std::span<const ControlConstant> changeable_control_constants();

// The changeable control constant NAME18 (18 characters), or null.
const ControlConstant* control_constant(std::string_view name18);
// The LOCI word of a local integer C of submodel ISUB, or null when ISUB has
// none.
std::int32_t* local_integer(const ControlConstant& c, std::int32_t isub);
// The submodel SUB (ISUB, or ITEM's path relative to ISUB) and the name
// proper NAME18 (cut or padded to 18) of a constant item; false when its path
// does not resolve.
bool constant_name(std::string_view item, std::int32_t isub, std::int32_t& sub, std::string& name18);

// A user constant of a submodel: its kind (real, integer or character) and
// where its value lies: the 1-based position in the real or integer value
// store, or the stream position of its text in the packed character store.
struct UserConstant {
  ConstantKind kind;
  std::int64_t position;
};
// The user constant NAME18 (18 characters) of submodel SUB: the real names
// first, then the integer and the character ones; none for an unknown name.
std::optional<UserConstant> find_user_constant(std::int32_t sub, std::string_view name18);
// TEXT, LEN := the stored text at stream position START; 0, or non-zero when
// it cannot be read.
std::int32_t read_user_text(std::int64_t start, kalvir::Chars<256>& text, std::int32_t& len);

}  // namespace kalvir::parameters

// NAME is the left-hand side (an optional submodel path, then the name, cut to
// 18 characters); the constant is a user constant of the submodel (ISUB, or
// the path's, relative to ISUB) or a control constant. KEYWORD "CHANGE" sets
// it from the expression VALUE, anything else scales it by the plain real
// VALUE. IERR 0, or the code of the reporting routine: PARCST 1 unknown
// submodel, 2 the character value cannot be read from its store; PARCCT 1 no
// such constant; the changers' and value readers' codes.
void PARCST(std::string_view KEYWORD, std::string_view NAME, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR);
// The control constant NAME18; NODES and NODESM are submodel ISUB's.
void PARCCT(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR);
// The changers of one constant TARGET named NAME18 in the messages. A
// scaling of an undefined real is refused (2); a change of an undefined
// value is warned of and made. Integers and texts cannot be scaled (PARCCI 2,
// PARCCZ 1). A text is cut or blank-padded to TARGET's length.
void PARCCR(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, double& TARGET,
            std::int32_t& IERR);
void PARCCI(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, std::int32_t& TARGET,
            std::int32_t& IERR);
void PARCCZ(std::string_view KEYWORD, std::string_view NAME18, std::string_view VALUE, std::span<char> TARGET,
            std::int32_t& IERR);
