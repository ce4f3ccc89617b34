// The list of Values that carry payloads of another kind, and their trim.
#include "exec/Trim.h"

#include <string>
#include <vector>

namespace vorn {

namespace {

struct Noted {
    ValueRef value;
    std::string name;
    std::uint64_t hash;
};

std::vector<Noted>& noted() {
    static std::vector<Noted> list;
    return list;
}

}  // namespace

void noteBinding(const ValueRef& value, std::string_view name) {
    if (value && value->hasStalePayload()) noted().push_back({value, std::string(name), hashName(name)});
}

void trimVisible(const View& view) {
    auto& list = noted();
    if (list.empty()) return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        Noted& entry = list[i];
        // Drop entries with nothing left to trim, or that only this list keeps alive.
        if (!entry.value->hasStalePayload() || entry.value->refCount() == 1) continue;
        if (view.lookup(entry.name, entry.hash) == entry.value) {
            entry.value->trimToKind();
            continue;
        }
        if (kept != i) list[kept] = std::move(entry);
        ++kept;
    }
    list.resize(kept);
}

}  // namespace vorn
