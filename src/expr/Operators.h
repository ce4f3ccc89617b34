// The thirteen binary operators of VORN, applied strictly to two Values.
#pragma once

#include <string_view>

#include "values/Value.h"

namespace vorn {

enum class Operator : std::uint8_t {
    And, Or, Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, Plus, Minus, Times, Divide, Member, None,
};

// The operator that text names; Operator::None for any other text.
Operator operatorFromText(std::string_view text);

// Applies op to copies of left and right; neither operand changes. Any text
// that is no operator yields a default ("unspecified") Value.
Value applyOperator(const Value& left, const Value& right, Operator op);
inline Value applyOperator(const Value& left, const Value& right, std::string_view opText) {
    return applyOperator(left, right, operatorFromText(opText));
}

}  // namespace vorn
