// Files and folders: whole-file reads and writes, folders, status, cd.
#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
#include "platform/Platform.h"

namespace vorn::builtins {

namespace {
Value flag(bool b) { return Value::ofInteger(b ? 1 : 0); }
}  // namespace

Value readfile(const CallScope& scope) { return Value::ofText(platform::readTextFile(textArgument(scope, 0))); }

Value writefile(const CallScope& scope) {
    const std::string path = textArgument(scope, 0);
    platform::writeTextFile(path, textOf(argument(scope, 1)).view());
    return Value();
}

Value readbinfile(const CallScope& scope) { return Value::ofBytes(platform::readBinaryFile(textArgument(scope, 0))); }

Value writebinfile(const CallScope& scope) {
    const std::string path = textArgument(scope, 0);
    Value data = argument(scope, 1);
    platform::writeBinaryFile(path, data.kind == Kind::Bytes ? data.bytes().get() : std::vector<std::uint8_t>());
    return Value();
}

Value mkdir(const CallScope& scope) {
    platform::makeDirectory(textArgument(scope, 0));
    return Value();
}

Value rm(const CallScope& scope) {
    platform::removeAll(textArgument(scope, 0), platform::Interruptible::Yes);
    return Value();
}

Value listdir(const CallScope& scope) {
    ItemList items;
    for (std::string& name : platform::listDirectory(textArgument(scope, 0)))
        items.push_back(newValue(Value::ofText(std::move(name))));
    return Value::ofList(std::move(items));
}

Value exists(const CallScope& scope) { return flag(platform::exists(textArgument(scope, 0))); }
Value isdir(const CallScope& scope) { return flag(platform::isDirectory(textArgument(scope, 0))); }

Value cd(const CallScope& scope) {
    platform::changeDirectory(textArgument(scope, 0));
    return Value();
}

}  // namespace vorn::builtins
