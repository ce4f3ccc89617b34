// The one table that maps builtin names to their native functions.
#include "builtins/BuiltinTable.h"

#include "builtins/Builtins.h"

namespace vorn {

namespace {

// In registration order; each interpreter orders its Values by name.
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

}  // namespace

std::span<const BuiltinEntry> builtinEntries() { return kBuiltins; }

}  // namespace vorn
