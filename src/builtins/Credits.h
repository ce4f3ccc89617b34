// The credits screen that werhatdasgemacht writes, as plain text, so that
// its fixed shape can be checked without a console.
#pragma once

#include <string>
#include <string_view>

namespace vorn::builtins {

// The 23 lines of character art, each followed by "\n".
std::string_view creditsArt();

// The credit line, without its line end.
std::string_view creditsLine();

// Everything the builtin writes, in order: three newlines, the art, one
// empty line, the credit line and its line end.
std::string creditsText();

}  // namespace vorn::builtins
