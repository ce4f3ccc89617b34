// The boot script: the interpreter's user interface, written in VORN.
#pragma once

#include <string_view>

namespace vorn {

std::string_view bootScript();

}  // namespace vorn
