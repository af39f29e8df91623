// User constants by name: where a real, integer or character user constant of
// a submodel lies in the value stores. The parameter cases find the constants
// they change and write to the CSV file here, and a model's blocks read
// theirs by name with user_real_constant and user_integer_constant.
//
// The load keeps each submodel's real, integer and character names in
// ascending order of name, and a constant's value at its name's place among
// those of its kind (real constant k of submodel m is gar_userconstvaluesreal
// (gar_modeldirectory(8, m) + k)); a parameter case that changes a constant
// writes that same element, so a block that reads it afterwards sees the
// case's value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvir {

enum class UserConstantKind { kReal, kInteger, kCharacter };

// Where a user constant's value lies: the 1-based position in the real or
// integer value store, or the stream position of its text in the packed
// character store.
struct UserConstantPlace {
  UserConstantKind kind;
  std::int64_t position;
};

// The user constant NAME (trailing blanks ignored, at most 18 characters) of
// submodel SUB: the real names first, then the integer and the character
// ones; none for an unknown name or submodel.
std::optional<UserConstantPlace> user_constant_place(std::int32_t sub, std::string_view name);

// The value of the real (integer) user constant NAME of submodel SUB, 1 the
// main model, as a block reads or sets it. A name that is not a real
// (integer) user constant of the submodel ends the run with a fatal message
// naming it.
double& user_real_constant(std::string_view name, std::int32_t sub = 1);
std::int32_t& user_integer_constant(std::string_view name, std::int32_t sub = 1);

}  // namespace kalvir
