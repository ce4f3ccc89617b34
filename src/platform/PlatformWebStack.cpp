// The stack in the browser.
//
// A worker cannot start threads of chosen stacks here, so the interpreter
// runs on the one it has. Its C++ frames live in the module's own stack in
// linear memory, whose end emscripten knows; the engine's stack for the
// WebAssembly frames themselves is fixed by the browser, which is why the
// nesting count is lower in web builds (values/Depth.h).
#include <emscripten/stack.h>

#include "platform/Platform.h"

namespace vorn::platform {

namespace {

constexpr std::uintptr_t kStackMargin = std::uintptr_t(256) << 10;

}  // namespace

int runWithLargeStack(std::size_t, int (*entry)(void*), void* argument) { return entry(argument); }

std::uintptr_t stackFloor() { return emscripten_stack_get_end() + kStackMargin; }

}  // namespace vorn::platform
