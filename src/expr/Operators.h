// The thirteen binary operators of VORN, applied strictly to two Values.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "values/Value.h"

namespace vorn {

enum class Operator : std::uint8_t {
    And, Or, Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, Plus, Minus, Times, Divide, Member, None,
};

// The operator that text names; Operator::None for any other text.
Operator operatorFromText(std::string_view text);

// The result of op on two integers when it is an integer computed from the
// two numbers alone (every operator but "->" and unknown texts): exactly
// what applyOperator gives for two Values of kind "integer".
std::optional<std::int64_t> integerOperator(std::int64_t left, std::int64_t right, Operator op);

// The member of that name in members, or null. Objects have a handful of
// members, so a short map is scanned comparing lengths first, which costs
// fewer byte comparisons than a search through the tree.
inline const ValueRef* findMember(const MemberMap& members, std::string_view name) {
    if (members.size() <= 8) {
        for (const auto& [key, member] : members)
            if (key.size() == name.size() && std::string_view(key) == name) return &member;
        return nullptr;
    }
    auto it = members.find(name);
    return it == members.end() ? nullptr : &it->second;
}

// Applies op to copies of left and right; neither operand changes. Any text
// that is no operator yields a default ("unspecified") Value.
Value applyOperator(const Value& left, const Value& right, Operator op);
inline Value applyOperator(const Value& left, const Value& right, std::string_view opText) {
    return applyOperator(left, right, operatorFromText(opText));
}

}  // namespace vorn
