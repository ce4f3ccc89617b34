// The codec builtins: LZ77 and Base64 over the text form of their argument.
#include "builtins/Arguments.h"
#include "builtins/Base64.h"
#include "builtins/Builtins.h"
#include "builtins/Lz77.h"
#include "values/Limits.h"

namespace vorn::builtins {

Value lz77compress(const CallScope& scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(lz77Serialize(lz77Tokenize(text.view())));
}

Value lz77decompress(const CallScope& scope) {
    const Text text = textOf(argument(scope, 0));
    const std::vector<Lz77Token> tokens = lz77Parse(text.view());
    // A stream may ask for far more output than it holds; refuse what no
    // script could keep before allocating it.
    std::size_t size = 0;
    for (const Lz77Token& token : tokens) size += static_cast<std::size_t>(token.length > 0 ? token.length : 0) + 1;
    Limits::checkTextSize(size);
    return Value::ofText(lz77Expand(tokens));
}

Value base64encode(const CallScope& scope) {
    const Text text = textOf(argument(scope, 0));
    Limits::checkTextSize(text.size() / 3 * 4 + 4);
    return Value::ofText(base64Encode(text.view()));
}

Value base64decode(const CallScope& scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(base64Decode(text.view()));
}

}  // namespace vorn::builtins
