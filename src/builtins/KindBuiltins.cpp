// Kind conversions and small inspections: str, int, float, func, list,
// bytes, turn, typeof, size, _USEDMEMORY, linvert.
#include <algorithm>

#include "builtins/Arguments.h"
#include "builtins/Builtins.h"

namespace vorn::builtins {

namespace {

Value convertArgument(const CallScope& scope, Kind target) { return convertValue(argument(scope, 0), target); }

// Counts are reported as signed 32-bit numbers.
Value count(std::size_t n) {
    return Value::ofInteger(static_cast<std::int32_t>(static_cast<std::uint32_t>(n)));
}

}  // namespace

Value str(const CallScope& scope) { return convertArgument(scope, Kind::String); }
Value toInt(const CallScope& scope) { return convertArgument(scope, Kind::Integer); }
Value toFloat(const CallScope& scope) { return convertArgument(scope, Kind::Float); }
Value func(const CallScope& scope) { return convertArgument(scope, Kind::Func); }
Value list(const CallScope& scope) { return convertArgument(scope, Kind::List); }
Value bytes(const CallScope& scope) { return convertArgument(scope, Kind::Bytes); }

Value turn(const CallScope& scope) {
    Value value = argument(scope, 0);
    const std::string target = textArgument(scope, 1);
    Kind kind;
    if (!kindFromName(target, kind)) return value;
    return convertValue(std::move(value), kind);
}

// Both read their argument where it lies: no copy is needed to look at it.
Value typeOf(const CallScope& scope) {
    const ValueRef value = argumentRef(scope, 0);
    return Value::ofText(kindText(value ? value->kind : Kind::Unspecified));
}

Value size(const CallScope& scope) {
    const ValueRef value = argumentRef(scope, 0);
    if (!value) return count(0);
    if (value->kind == Kind::String) return count(value->text.size());
    return count(value->items.size());
}

Value usedMemory(const CallScope& scope) { return count(textLength(argument(scope, 0))); }

Value linvert(const CallScope& scope) {
    Value value = argument(scope, 0);
    if (!value.items.empty()) {
        ItemList& items = value.items.edit();
        std::reverse(items.begin(), items.end());
    }
    return value;
}

}  // namespace vorn::builtins
