// Base64 codec (RFC 4648 standard alphabet, "=" padding) over plain byte strings.
#pragma once

#include <string>
#include <string_view>

namespace vorn::builtins {

// Never fails; no line breaks are produced.
std::string base64Encode(std::string_view bytes);

// Accepts only the alphabet and trailing padding, no whitespace. Throws
// ScriptError with one of:
//   "Invalid base64 encoded data - Size not divisible by 4"
//   "Invalid base64 encoded data - Found more than 2 padding signs"
//   "Invalid base64 encoded data - Invalid character"
// Bits of the last data character that do not reach an output byte are
// ignored.
std::string base64Decode(std::string_view text);

}  // namespace vorn::builtins
