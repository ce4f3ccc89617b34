// Conversions between UTF-8 text and native paths, and the current directory.
#include "platform/Platform.h"

#include <system_error>

#include "values/Error.h"

namespace vorn::platform {

namespace {

constexpr const char* kConversionFailure = "Cannot convert character sequence";

[[noreturn]] void failConversion() { throw ScriptError(kConversionFailure); }

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

namespace detail {

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t codePoint = 0;
        char32_t smallest = 0;  // anything below is an overlong form
        if ((lead & 0xE0) == 0xC0) {
            length = 2, codePoint = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, codePoint = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, codePoint = lead & 0x07, smallest = 0x10000;
        } else {
            failConversion();  // a stray continuation byte, or 0xF8..0xFF
        }
        if (text.size() - i < length) failConversion();
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (!isContinuation(next)) failConversion();
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            failConversion();
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
        i += length;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i];
        if (codePoint >= 0xDC00 && codePoint <= 0xDFFF) failConversion();
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            if (i + 1 >= text.size()) failConversion();
            const char32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF) failConversion();
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        if (codePoint < 0x80) {
            out.push_back(static_cast<char>(codePoint));
        } else if (codePoint < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else if (codePoint < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
    }
    return out;
}

std::string pathWithoutZeroBytes(const std::string& text, const char* operation) {
    const std::size_t zero = text.find('\0');
    if (zero == std::string::npos) return text;
    // The system would end the name at the first zero byte, so that
    // "b.txt\0x" named b.txt: refused instead, with the zero bytes shown.
    std::string shown;
    for (const char c : text) {
        if (c == '\0') shown += "\\0";
        else shown += c;
    }
    throw ScriptError(operation, shown + ": a path cannot hold a zero byte");
}

}  // namespace detail

namespace {

// The folder being filled under a name of its own (setStagedFolder).
struct StagedFolder {
    std::string name;
    std::string staged;
    std::string home;
};
StagedFolder gStagedFolder;

// The staged folder's own path when text names the folder it stands in for.
const std::string& unstaged(const std::string& text) {
    const StagedFolder& s = gStagedFolder;
    if (s.name.empty() || text.compare(0, s.name.size(), s.name) != 0) return text;
    const std::size_t rest = text.size() - s.name.size();
    if (rest > 1 || (rest == 1 && text.back() != '/')) return text;
    try {
        if (currentDirectory() != s.home) return text;
    } catch (const ScriptError&) {
        return text;
    }
    return s.staged;
}

}  // namespace

void setStagedFolder(const std::string& name, const std::string& staged, const std::string& home) {
    gStagedFolder = StagedFolder{name, staged, home};
}

#ifdef _WIN32

// Native paths are UTF-16 wchar_t strings.
std::filesystem::path textToPath(const std::string& given) {
    const std::string& text = unstaged(given);
    const std::u16string wide = detail::utf8ToUtf16(detail::pathWithoutZeroBytes(text, kConversionFailure));
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string pathToText(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return detail::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

#else

// Native paths are byte strings: whatever bytes the script holds are the path.
std::filesystem::path textToPath(const std::string& given) {
    return std::filesystem::path(detail::pathWithoutZeroBytes(unstaged(given), kConversionFailure));
}

std::string pathToText(const std::filesystem::path& path) { return path.native(); }

#endif

std::string currentDirectory() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    if (error) throw ScriptError("cannot get current path", error.message());
    return pathToText(path);
}

}  // namespace vorn::platform
