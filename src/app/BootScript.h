// The boot script: the interpreter's user interface, written in VORN.
#pragma once

#include <string_view>

namespace vorn {

std::string_view bootScript();

// The part of the boot script that defines its functions and names (savelib,
// extractlib, range, varexists, bonus, ...), cut from the very text above:
// no banner, no snapshot, no dialogue, no loop.
std::string_view bootDefinitions();

}  // namespace vorn
