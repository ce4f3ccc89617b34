// The interpreter's builtins: one Value per entry of the builtin table.
#include "exec/Interpreter.h"

#include <algorithm>

#include "builtins/BuiltinTable.h"

namespace vorn {

Interpreter::Interpreter() : recorded_(makeRecordedTexts()), listIndexes_(makeListIndexes()) {
    for (const BuiltinEntry& builtin : builtinEntries()) {
        ValueRef v = newValue();
        v->kind = Kind::CFunc;
        v->setNative(builtin.function);
        builtins_.emplace_back(builtin.name, std::move(v));
        Scope::watchName(builtin.name);
    }
    std::sort(builtins_.begin(), builtins_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, value] : builtins_) builtinsOnly_.set(name, value);
    builtinsOnly_.setBuiltinsBound();
}

void Interpreter::bindBuiltins(Scope& scope) const {
    if (scope.builtinsBound()) return;
    // The builtins replace any same-named entry the scope brought along.
    scope = scope.empty() ? builtinsOnly_ : Scope::merge(builtinsOnly_, scope);
}

bool Interpreter::replaceBuiltinFunction(std::string_view name, NativeFunction function) {
    for (auto& [builtinName, value] : builtins_) {
        if (builtinName == name) {
            value->setNative(function);
            return true;
        }
    }
    return false;
}

}  // namespace vorn
