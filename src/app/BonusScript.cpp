// The bonus script, Base64-encoded (source: src/app/bonus.vorn).
#include "app/BonusScript.h"

namespace vorn {

std::string_view bonusScriptBase64() { return ""; }

}  // namespace vorn
