// The interpreter's builtins: one Value per entry of the builtin table.
#include "exec/Interpreter.h"

#include <algorithm>

namespace vorn {

Interpreter::Interpreter(std::span<const BuiltinEntry> builtins)
    : recorded_(makeRecordedTexts()), listIndexes_(makeListIndexes()) {
    for (const BuiltinEntry& builtin : builtins) {
        ValueRef v = newValue();
        v->kind = Kind::CFunc;
        v->setNative(builtin.function, builtin.readsArgumentsOnly);
        builtins_.emplace_back(builtin.name, std::move(v));
    }
    std::sort(builtins_.begin(), builtins_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<SymbolRef, ValueRef>> named;
    for (const auto& [name, value] : builtins_) named.emplace_back(intern(name), value);
    bindings_.setBuiltins(std::move(named));
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
