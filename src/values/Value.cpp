// Kind names, wiping and trimming of the Value record.
#include "values/Value.h"

namespace vorn {

namespace {
constexpr std::string_view kKindNames[] = {
    "unspecified", "string", "integer", "float", "func", "list", "bytes", "scaffold", "cfunc", "",
};
}

std::string_view kindName(Kind kind) { return kKindNames[static_cast<int>(kind)]; }

bool kindFromName(std::string_view name, Kind& kind) {
    for (int i = 0; i < 10; ++i) {
        if (kKindNames[i] == name) {
            kind = static_cast<Kind>(i);
            return true;
        }
    }
    return false;
}

void Value::wipe() {
    kind = Kind::Wiped;
    text.clear();
    integer = 0;
    real = 0.0L;
    items.clear();
    members.clear();
    bytes.clear();
    argNames.clear();
    bound = false;
    boundObject.reset();
    native = nullptr;
}

void Value::trimToKind() {
    if (kind != Kind::Bytes) bytes.clear();
    if (kind != Kind::String && kind != Kind::Func) text.clear();
    if (kind != Kind::Integer) integer = 0;
    if (kind != Kind::Float) real = 0.0L;
    if (kind != Kind::List) items.clear();
    if (kind != Kind::Scaffold) members.clear();
}

bool Value::hasStalePayload() const {
    return (kind != Kind::String && kind != Kind::Func && !text.empty()) ||
           (kind != Kind::List && !items.empty()) || (kind != Kind::Scaffold && !members.empty());
}

}  // namespace vorn
