// Kind conversion, text forms and equality of Values.
//
// convertValue works on its own copy and replaces only the kind and the
// payload of the target kind; every other field rides along until the next
// trimToKind. The as* wrappers convert the Value they are given in place and
// hand back the new payload; callers that must not change a variable pass a
// copy. The *Of helpers read a form without changing anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "values/Value.h"

namespace vorn {

Value convertValue(Value value, Kind target);

std::string asText(Value& value);
std::int64_t asInteger(Value& value);
long double asReal(Value& value);
ItemList asList(Value& value);
std::vector<std::uint8_t> asBytes(Value& value);

// The same forms, computed from a copy: the argument is left unchanged.
Text textOf(const Value& value);
std::int64_t integerOfOther(const Value& value);
inline std::int64_t integerOf(const Value& value) {
    return value.kind == Kind::Integer ? value.integer : integerOfOther(value);
}
long double realOf(const Value& value);

bool valuesEqual(const Value& left, const Value& right);

}  // namespace vorn
