// The LZ77 codec: arbitrary streams through the reader and the decoder, and
// arbitrary data through the match search.
//
// - A stream that parses re-serialises to exactly its counted prefix, and
//   expands (when it does not fail) to the size its tokens promise.
// - Data tokenizes to exactly the tokens of the exhaustive reference search,
//   and serialise, parse, expand gives the data back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/Lz77.h"
#include "values/Error.h"

namespace {

using vorn::builtins::Lz77Token;

// Larger data would make the reference search too slow to fuzz.
constexpr std::size_t kMaxData = 64 * 1024;
// A stream may promise gigabytes in a few bytes; such streams are only parsed.
constexpr std::uint64_t kMaxExpansion = std::uint64_t(16) << 20;

bool sameTokens(const std::vector<Lz77Token>& a, const std::vector<Lz77Token>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].offset != b[i].offset || a[i].length != b[i].length || a[i].next != b[i].next) return false;
    }
    return true;
}

void checkStream(std::string_view stream) {
    std::vector<Lz77Token> tokens;
    try {
        tokens = vorn::builtins::lz77Parse(stream);
    } catch (const vorn::ScriptError&) {
        return;
    }
    const std::string serialized = vorn::builtins::lz77Serialize(tokens);
    if (serialized != stream.substr(0, serialized.size())) std::abort();

    std::uint64_t promised = 0;
    for (const Lz77Token& t : tokens) promised += 1 + (t.length > 0 ? static_cast<std::uint64_t>(t.length) : 0);
    if (promised > kMaxExpansion) return;
    try {
        if (vorn::builtins::lz77Expand(tokens).size() != promised) std::abort();
    } catch (const vorn::ScriptError&) {
    }
}

void checkData(std::string_view data) {
    if (data.size() > kMaxData) return;
    const std::vector<Lz77Token> tokens = vorn::builtins::lz77Tokenize(data);
    if (!sameTokens(tokens, vorn::builtins::lz77TokenizeReference(data))) std::abort();
    const std::string stream = vorn::builtins::lz77Serialize(tokens);
    if (vorn::builtins::lz77Expand(vorn::builtins::lz77Parse(stream)) != data) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkStream(bytes);
    checkData(bytes);
    return 0;
}
