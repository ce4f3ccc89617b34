// Giving the terminal its line mode back when a signal ends the process while
// a key read has it in single-key mode.
#pragma once

#ifndef _WIN32
#include <signal.h>
#include <termios.h>

namespace vorn::platform::detail {

// Called by the key read around the time it holds the terminal in single-key
// mode: `saved` is the mode to restore. While one is remembered, every
// signal that ends the process (SIGTERM, SIGHUP, SIGALRM, SIGPIPE, SIGABRT,
// a fault, ...) restores it before it ends the process as usual.
void rememberTerminalMode(int descriptor, const termios& saved);
void forgetTerminalMode();

// Gives the terminal the remembered mode back, if one is remembered. Safe in
// a signal handler that is about to end the process.
void restoreTerminalMode();

// The signals above that are sent to the process as a whole (not the faults
// of one thread), and SIGINT, whose second press ends the process. Their
// handlers must run on the thread that switches the terminal's mode:
// run on another one, they would restore the mode while that thread goes on
// and sets single-key mode again before the process is gone. A thread that
// only waits for the interpreter's thread blocks them, so the system hands
// them to the interpreter's thread.
sigset_t terminalRestoringSignals();

}  // namespace vorn::platform::detail
#endif
