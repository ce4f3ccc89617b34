// The Base64 decoder on arbitrary text, and the codec's round trips.
//
// - Any bytes encode, and decode back to themselves.
// - A text that decodes is a whole number of four-character groups of the
//   alphabet and padding; re-encoding its bytes gives a text of the same
//   length that decodes to the same bytes (it may differ from the input only
//   in bits the decoder ignores).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "builtins/Base64.h"
#include "values/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using vorn::builtins::base64Decode;
    using vorn::builtins::base64Encode;

    const std::string encoded = base64Encode(text);
    if (encoded.size() != (size + 2) / 3 * 4) std::abort();
    if (base64Decode(encoded) != text) std::abort();

    std::string decoded;
    try {
        decoded = base64Decode(text);
    } catch (const vorn::ScriptError&) {
        return 0;
    }
    if (size % 4 != 0) std::abort();
    const std::string again = base64Encode(decoded);
    if (again.size() != size) std::abort();
    if (base64Decode(again) != decoded) std::abort();
    // Only the last group may differ, and only where the decoder ignores bits.
    if (size >= 4 && again.compare(0, size - 4, text.substr(0, size - 4)) != 0) std::abort();
    return 0;
}
