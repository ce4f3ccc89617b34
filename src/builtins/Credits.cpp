// werhatdasgemacht: the credits screen.
#include "builtins/Builtins.h"
#include "platform/Platform.h"

namespace vorn::builtins {

Value werhatdasgemacht(Scope*) {
    // FIXME: the art is still to be drawn.
    platform::writeOut("\n\n\n");
    platform::writeOut("\n");
    platform::flushOut();
    return Value();
}

}  // namespace vorn::builtins
