// The one table that maps builtin names to their native functions.
#include "builtins/BuiltinTable.h"

#include "builtins/Builtins.h"

namespace vorn {

namespace {

// In registration order; each interpreter orders its Values by name. The
// flag marks the functions that read copies of their arguments and nothing
// else (BuiltinEntry::readsArgumentsOnly).
constexpr BuiltinEntry kBuiltins[] = {
    {"print", builtins::print, true},
    {"input", builtins::input},
    {"getchar", builtins::getchar},
    {"_USEDMEMORY", builtins::usedMemory},
    {"size", builtins::size, true},
    {"turn", builtins::turn, true},
    {"str", builtins::str, true},
    {"int", builtins::toInt, true},
    {"float", builtins::toFloat, true},
    {"func", builtins::func, true},
    {"list", builtins::list, true},
    {"werhatdasgemacht", builtins::werhatdasgemacht},
    {"encodelist", builtins::encodelist, true},
    {"decodelist", builtins::decodelist},
    {"typeof", builtins::typeOf, true},
    {"setargmap", builtins::setargmap},
    {"_getvars", builtins::getvars},
    {"bytes", builtins::bytes, true},
    {"encodebytes", builtins::encodebytes, true},
    {"decodebytes", builtins::decodebytes, true},
    {"_beep", builtins::beep},
    {"_lz77compress", builtins::lz77compress, true},
    {"_lz77decompress", builtins::lz77decompress, true},
    {"linvert", builtins::linvert, true},
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
    {"_base64encode", builtins::base64encode, true},
    {"_base64decode", builtins::base64decode, true},
    {"_whereami", builtins::whereami},
    {"eval", builtins::eval},
};

}  // namespace

std::span<const BuiltinEntry> builtinEntries() { return kBuiltins; }

}  // namespace vorn
