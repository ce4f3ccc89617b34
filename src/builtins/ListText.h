// The list text and bytes text encodings.
//
// List text: "(" elements separated by one blank ")", texts in double quotes
// (nothing escaped), nested lists recursively, other kinds as their text
// form. Reading evaluates each element as an expression in an empty scope.
// Bytes text: every byte as three decimal digits, no separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/Value.h"

namespace vorn {

class Interpreter;

std::string writeListText(const ItemList& items);
// Elements that are neither numbers nor quoted texts are evaluated, and a
// block among them runs, in interpreter.
ItemList readListText(Interpreter& interpreter, std::string_view text);

std::string writeBytesText(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytesText(std::string_view text);

}  // namespace vorn
