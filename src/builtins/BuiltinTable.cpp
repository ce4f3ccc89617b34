// The one table that maps builtin names to their native functions.
#include "builtins/BuiltinTable.h"

#include <algorithm>

#include "builtins/Builtins.h"

namespace vorn {

namespace {

struct BuiltinEntry {
    const char* name;
    NativeFunction function;
};

// In registration order; the table itself is ordered by name.
constexpr BuiltinEntry kBuiltins[] = {
    {"print", builtins::print},
    {"input", builtins::input},
    {"getchar", builtins::getchar},
    {"_USEDMEMORY", builtins::usedMemory},
    {"size", builtins::size},
    {"turn", builtins::turn},
    {"str", builtins::str},
    {"int", builtins::toInt},
    {"float", builtins::toFloat},
    {"func", builtins::func},
    {"list", builtins::list},
    {"werhatdasgemacht", builtins::werhatdasgemacht},
    {"encodelist", builtins::encodelist},
    {"decodelist", builtins::decodelist},
    {"typeof", builtins::typeOf},
    {"setargmap", builtins::setargmap},
    {"_getvars", builtins::getvars},
    {"bytes", builtins::bytes},
    {"encodebytes", builtins::encodebytes},
    {"decodebytes", builtins::decodebytes},
    {"_beep", builtins::beep},
    {"_lz77compress", builtins::lz77compress},
    {"_lz77decompress", builtins::lz77decompress},
    {"linvert", builtins::linvert},
    {"_readfile", builtins::readfile},
    {"_writefile", builtins::writefile},
    {"_readbinfile", builtins::readbinfile},
    {"_writebinfile", builtins::writebinfile},
    {"_mkdir", builtins::mkdir},
    {"_rm", builtins::rm},
    {"_listdir", builtins::listdir},
    {"_exists", builtins::exists},
    {"_cd", builtins::cd},
    {"_isdir", builtins::isdir},
    {"_base64encode", builtins::base64encode},
    {"_base64decode", builtins::base64decode},
    {"_whereami", builtins::whereami},
    {"eval", builtins::eval},
};

std::vector<std::pair<std::string, ValueRef>>& table() {
    static std::vector<std::pair<std::string, ValueRef>> entries;
    return entries;
}

// Every builtin bound, ready to copy into an empty table.
Scope& builtinsOnly() {
    static Scope scope;
    return scope;
}

}  // namespace

void registerBuiltins() {
    auto& entries = table();
    if (!entries.empty()) return;
    for (const BuiltinEntry& builtin : kBuiltins) {
        ValueRef v = newValue();
        v->kind = Kind::CFunc;
        v->setNative(builtin.function);
        entries.emplace_back(builtin.name, std::move(v));
        Scope::watchName(builtin.name);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Scope& prebuilt = builtinsOnly();
    for (const auto& entry : entries) prebuilt.set(entry.first, entry.second);
    prebuilt.setBuiltinsBound();
}

const std::vector<std::pair<std::string, ValueRef>>& builtinTable() { return table(); }

void bindBuiltins(Scope& scope) {
    if (scope.builtinsBound()) return;
    // The builtins replace any same-named entry the scope brought along.
    scope = scope.empty() ? builtinsOnly() : Scope::merge(builtinsOnly(), scope);
}

}  // namespace vorn

namespace vorn {

bool replaceBuiltinFunction(std::string_view name, NativeFunction function) {
    for (auto& [builtinName, value] : table()) {
        if (builtinName == name) {
            value->setNative(function);
            return true;
        }
    }
    return false;
}

}  // namespace vorn
