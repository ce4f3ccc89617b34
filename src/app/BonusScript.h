// The bonus script embedded in the boot script, as standard Base64 text.
// Its readable source is src/app/bonus.vorn; a unit test checks that the
// embedded text decodes to exactly that file.
#pragma once

#include <string_view>

namespace vorn {

std::string_view bonusScriptBase64();

}  // namespace vorn
