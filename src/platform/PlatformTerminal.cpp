// Giving the terminal its line mode back when a signal ends the process.
#include "platform/TerminalRestore.h"

#ifndef _WIN32
#include <csignal>
#include <initializer_list>
#include <unistd.h>

namespace vorn::platform::detail {

namespace {

volatile std::sig_atomic_t gModeSaved = 0;
int gDescriptor = -1;
termios gSavedMode{};

extern "C" void onEndingSignal(int signal) {
    if (gModeSaved) tcsetattr(gDescriptor, TCSANOW, &gSavedMode);
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
        for (const int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
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
    gModeSaved = 0;
    gDescriptor = descriptor;
    gSavedMode = saved;
    gModeSaved = 1;
}

void forgetTerminalMode() { gModeSaved = 0; }

}  // namespace vorn::platform::detail
#endif
