// Ctrl-C: a press while code runs interrupts it, and a second press within a
// second of that one ends the program as usual. A press while the prompt
// waits for its line interrupts no code: it only throws away what was typed,
// and it never counts as the first of two presses, however long the session
// then sits at the prompt.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>

#include "platform/Platform.h"
#include "values/Error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include "platform/TerminalRestore.h"
#endif

namespace vorn::platform {

volatile std::sig_atomic_t gInterruptRequested = 0;
volatile std::sig_atomic_t gBoundaryWork = 0;

namespace {

// Both are read and written in the signal handler (on Windows, in the
// console's control thread), so they are lock-free atomics.
using Milliseconds = std::int64_t;
std::atomic<Milliseconds> gLastRunningPress{-1000000};
std::atomic<int> gPromptWaiting{0};
std::atomic<int> gPromptInterrupted{0};
static_assert(std::atomic<Milliseconds>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr Milliseconds kSecondPressWindow = 1000;

// A steady clock; reading it is safe in a signal handler.
Milliseconds nowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

#ifndef _WIN32
// Written to by the handler so that a line editor waiting in poll() wakes up,
// whichever thread the signal was delivered to.
int gWakePipe[2] = {-1, -1};

void wakePromptReader() {
    if (gWakePipe[1] < 0) return;
    const char byte = 1;
    [[maybe_unused]] const auto written = write(gWakePipe[1], &byte, 1);
}
#else
void wakePromptReader() {}
#endif

// True when this press should end the program.
bool pressEndsProgram() {
    const Milliseconds now = nowMilliseconds();
    if (now - gLastRunningPress.load() < kSecondPressWindow) return true;
    if (gPromptWaiting.load() != 0) {
        gPromptInterrupted.store(1);
        wakePromptReader();
        return false;
    }
    // The code has not yet answered an earlier press: it is stuck in
    // something that does not look at the flag, and the user wants out.
    if (gInterruptRequested != 0) return true;
    gLastRunningPress.store(now);
    requestInterrupt();
    return false;
}

#ifdef _WIN32
BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT) return FALSE;
    if (pressEndsProgram()) return FALSE;  // the default handler ends the process
    return TRUE;
}
#else
extern "C" void onInterrupt(int) {
    const int savedErrno = errno;
    if (pressEndsProgram()) {
        // A key read may hold the terminal in single-key mode.
        detail::restoreTerminalMode();
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
    errno = savedErrno;
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
    if (gWakePipe[0] < 0 && pipe(gWakePipe) == 0) {
        for (const int descriptor : gWakePipe) {
            fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
            fcntl(descriptor, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Restart interrupted reads: Ctrl-C while a plain read waits must not
    // look like the end of input.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
#endif
}

PromptWait::PromptWait() {
    // A press that came while the last line ran but after its last
    // statement has nothing left to interrupt.
    gInterruptRequested = 0;
    gPromptInterrupted.store(0);
    gPromptWaiting.store(1);
}

PromptWait::~PromptWait() {
    gPromptWaiting.store(0);
    gInterruptRequested = 0;
}

bool takePromptInterrupt() {
#ifndef _WIN32
    if (gWakePipe[0] >= 0) {
        char drained[64];
        while (read(gWakePipe[0], drained, sizeof drained) > 0) {
        }
    }
#endif
    return gPromptInterrupted.exchange(0) != 0;
}

int promptWakeDescriptor() {
#ifdef _WIN32
    return -1;
#else
    return gWakePipe[0];
#endif
}

}  // namespace vorn::platform
