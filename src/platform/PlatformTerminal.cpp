// Giving the terminal its line mode back when a signal ends the process.
#include "platform/TerminalRestore.h"

#ifndef _WIN32
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace vorn::platform::detail {

namespace {

// Every signal whose default action ends the process, apart from SIGINT
// (whose handler restores the mode itself) and SIGKILL (which no handler
// sees). Sent from elsewhere, these reach the process as a whole...
constexpr int kSentSignals[] = {
    SIGTERM, SIGHUP,  SIGQUIT, SIGALRM,   SIGUSR1, SIGUSR2, SIGPIPE, SIGXCPU,
    SIGXFSZ, SIGABRT, SIGPROF, SIGVTALRM,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
// ... while these are mostly a fault of the thread that meets them: the
// handler restores the mode, and the faulting instruction, run again, meets
// the default action.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

// Calls f for every signal that ends the process. The real-time signals are
// numbered at run time.
template <typename F>
void forEachEndingSignal(F f, bool faultsToo) {
    for (const int signal : kSentSignals) f(signal);
    if (faultsToo)
        for (const int signal : kFaultSignals) f(signal);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) f(signal);
#endif
}

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
        forEachEndingSignal(
            [&action](int signal) {
                struct sigaction previous {};
                // A signal someone chose to ignore (nohup) stays ignored, and
                // one that someone else handles (a sanitizer's fault report)
                // stays theirs.
                if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL)
                    sigaction(signal, &action, nullptr);
            },
            true);
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
    forEachEndingSignal([&signals](int signal) { sigaddset(&signals, signal); }, false);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace vorn::platform::detail
#endif
