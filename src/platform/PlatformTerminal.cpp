// Giving the terminal its line mode back when a signal ends the process.
#include "platform/TerminalRestore.h"

#ifndef _WIN32
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace vorn::platform::detail {

namespace {

constexpr int kRestoringSignals[] = {SIGTERM, SIGHUP, SIGQUIT};

// Set last, once the mode is in place: an atomic store keeps the writes
// before it from being moved after it, where a handler could read half a
// mode.
std::atomic<bool> gModeSaved{false};
static_assert(std::atomic<bool>::is_always_lock_free);
int gDescriptor = -1;
termios gSavedMode{};

extern "C" void onEndingSignal(int signal) {
    restoreTerminalMode();
    // Installed to run once: raising the signal again now takes its default
    // action, which ends the process the way the sender meant.
    raise(signal);
}

void installHandlersOnce() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        for (const int signal : kRestoringSignals) {
            struct sigaction previous {};
            // A signal someone chose to ignore (nohup) stays ignored.
            if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL)
                sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

}  // namespace

void rememberTerminalMode(int descriptor, const termios& saved) {
    installHandlersOnce();
    gModeSaved.store(false);
    gDescriptor = descriptor;
    gSavedMode = saved;
    gModeSaved.store(true);
}

void forgetTerminalMode() { gModeSaved.store(false); }

void restoreTerminalMode() {
    if (gModeSaved.load()) tcsetattr(gDescriptor, TCSANOW, &gSavedMode);
}

sigset_t terminalRestoringSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kRestoringSignals) sigaddset(&signals, signal);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace vorn::platform::detail
#endif
