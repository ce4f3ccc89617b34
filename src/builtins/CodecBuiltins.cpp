// The codec builtins: LZ77 and Base64 over the text form of their argument.
#include "builtins/Arguments.h"
#include "builtins/Base64.h"
#include "builtins/Builtins.h"
#include "builtins/Lz77.h"

namespace vorn::builtins {

Value lz77compress(Scope* scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(lz77Serialize(lz77Tokenize(text.view())));
}

Value lz77decompress(Scope* scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(lz77Expand(lz77Parse(text.view())));
}

Value base64encode(Scope* scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(base64Encode(text.view()));
}

Value base64decode(Scope* scope) {
    const Text text = textOf(argument(scope, 0));
    return Value::ofText(base64Decode(text.view()));
}

}  // namespace vorn::builtins
