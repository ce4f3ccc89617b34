// The list text and bytes text readers on arbitrary text, and the writers on
// what they produce.
//
// List text elements are evaluated as expressions (a brace element runs as a
// block), so this harness runs in the sandbox too.
//
// Checked beyond survival:
// - a list text read back from what writeListText made of a list of plain
//   elements (integers, and texts without quotes, delimiters or line ends)
//   gives the same text again;
// - bytes text: writeBytesText then readBytesText gives the bytes back, and a
//   text of three-digit groups each at most 255 is written back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Sandbox.h"
#include "builtins/ListText.h"
#include "values/Error.h"

namespace {

bool plainText(std::string_view s) {
    if (s.empty()) return false;
    for (unsigned char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                        c == '_' || c == '.' || c == ',' || c == ':' || c == '!' || c == '?' || c == '+' ||
                        c == '-' || c == '*' || c == '=';
        if (!ok) return false;
    }
    return true;
}

// Elements whose text form reads back as the very same element.
bool plainList(const vorn::ItemList& items) {
    if (items.empty()) return false;
    for (const vorn::Item& item : items) {
        switch (item->kind) {
            case vorn::Kind::Integer:
                if (item->integer < 0 || item->integer > 2147483647) return false;
                break;
            case vorn::Kind::String:
                if (!plainText(item->text.view())) return false;
                break;
            case vorn::Kind::List:
                if (!plainList(item->items.get())) return false;
                break;
            default:
                return false;
        }
    }
    return true;
}

bool threeDigitGroups(std::string_view text) {
    if (text.size() % 3 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (text[i + k] < '0' || text[i + k] > '9') return false;
        }
        if (std::stoi(std::string(text.substr(i, 3))) > 255) return false;
    }
    return true;
}

void checkListText(std::string_view text) {
    vorn::ItemList items;
    if (!vorn::fuzz::endsAsScriptsMay([&] { items = vorn::readListText(vorn::fuzz::sandbox(), text); })) return;
    std::string written;
    try {
        // Rendering a list that contains itself fails with "nesting too deep".
        written = vorn::writeListText(items);
    } catch (const vorn::ScriptError&) {
        return;
    }
    if (!plainList(items)) return;
    vorn::fuzz::resetForInput();
    const std::string again = vorn::writeListText(vorn::readListText(vorn::fuzz::sandbox(), written));
    if (again != written) std::abort();
}

void checkBytesText(std::string_view text) {
    try {
        const std::vector<std::uint8_t> bytes = vorn::readBytesText(text);
        if (threeDigitGroups(text) && vorn::writeBytesText(bytes) != text) std::abort();
    } catch (const vorn::ScriptError&) {
    }
    const std::vector<std::uint8_t> raw(text.begin(), text.end());
    if (vorn::readBytesText(vorn::writeBytesText(raw)) != raw) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::enterSandbox();
    vorn::fuzz::resetForInput();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto body = [text] {
        checkListText(text);
        checkBytesText(text);
    };
    vorn::fuzz::runDeep(body);
    return 0;
}
