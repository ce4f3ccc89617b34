// Ctrl-C: the first press interrupts the running line, a second press within
// a second ends the program as usual.
#include <chrono>
#include <csignal>

#include "platform/Platform.h"
#include "values/Error.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vorn::platform {

volatile std::sig_atomic_t gInterruptRequested = 0;

namespace {

// Seconds on a steady clock; read in the handler, so it must stay simple.
std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

volatile std::sig_atomic_t gLastPress = -100;

// True when this press should end the program: one was already pending, or
// the previous one came less than a second ago.
bool secondPress() {
    const auto now = static_cast<std::sig_atomic_t>(nowSeconds());
    const bool second = gInterruptRequested != 0 || now - gLastPress <= 1;
    gLastPress = now;
    return second;
}

#ifdef _WIN32
BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT) return FALSE;
    if (secondPress()) return FALSE;  // the default handler ends the process
    gInterruptRequested = 1;
    return TRUE;
}
#else
extern "C" void onInterrupt(int) {
    if (secondPress()) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    gInterruptRequested = 1;
}
#endif

}  // namespace

void throwIfInterrupted() {
    if (gInterruptRequested) {
        gInterruptRequested = 0;
        throw ScriptError("interrupted");
    }
}

void installInterruptHandler() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Restart interrupted reads: Ctrl-C while the prompt waits must not look
    // like the end of input.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
#endif
}

}  // namespace vorn::platform
