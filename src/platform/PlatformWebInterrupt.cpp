// Stop in the browser: the page's button plays the part of Ctrl-C.
//
// Code that runs reads gInterruptRequested before every statement; every few
// thousand reads the flag looks at the clock and, a few times a second,
// yields to the worker's event loop, where the page's Stop message sets it.
// A Stop while a read waits for the person is answered by that read itself.
#include <emscripten.h>

#include "platform/Platform.h"
#include "platform/PlatformWeb.h"
#include "values/Error.h"

namespace vorn::platform {

InterruptFlag gInterruptRequested;
volatile std::sig_atomic_t gBoundaryWork = 0;

namespace {

constexpr int kReadsBetweenClockLooks = 1 << 12;
constexpr double kYieldEveryMilliseconds = 100;

double gLastYield = 0;

}  // namespace

void InterruptFlag::poll() {
    readsUntilPoll_ = kReadsBetweenClockLooks;
    if (emscripten_get_now() - gLastYield < kYieldEveryMilliseconds) return;
    detail::handOverOutput();
    emscripten_sleep(0);
    gLastYield = emscripten_get_now();
}

void throwIfInterrupted() {
    if (gInterruptRequested) {
        gInterruptRequested = 0;
        throw ScriptError("interrupted");
    }
}

void installInterruptHandler() {}

PromptWait::PromptWait() { gInterruptRequested = 0; }
PromptWait::~PromptWait() { gInterruptRequested = 0; }

bool takePromptInterrupt() { return false; }

int promptWakeDescriptor() { return -1; }

}  // namespace vorn::platform

// Called by the worker's script when the page's Stop arrives.
extern "C" EMSCRIPTEN_KEEPALIVE void vorn_web_interrupt() { vorn::platform::requestInterrupt(); }
