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
    items.clear();
    x_.reset();
}

void Value::trimToKind() {
    if (kind != Kind::String && kind != Kind::Func) text.clear();
    if (kind != Kind::Integer) integer = 0;
    if (kind != Kind::List) items.clear();
    if (!x_) return;
    const bool staleBytes = kind != Kind::Bytes && !x_->bytes.empty();
    const bool staleReal = kind != Kind::Float && !ValueExtras::isPlainZero(x_->real);
    const bool staleMembers = kind != Kind::Scaffold && !x_->members.empty();
    if (staleBytes || staleReal || staleMembers) {
        ValueExtras& x = extras();
        if (staleBytes) x.bytes.clear();
        if (staleReal) x.real = 0.0L;
        if (staleMembers) x.members.clear();
    }
    if (x_->allDefault()) x_.reset();
}

const ValueRef& Value::noRef() {
    static const ValueRef none;
    return none;
}
const Cow<ByteList>& Value::noBytes() {
    static const Cow<ByteList> none;
    return none;
}
const Cow<NameList>& Value::noNames() {
    static const Cow<NameList> none;
    return none;
}
const Cow<MemberMap>& Value::noMembers() {
    static const Cow<MemberMap> none;
    return none;
}

}  // namespace vorn
