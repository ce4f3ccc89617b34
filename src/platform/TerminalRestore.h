// Giving the terminal its line mode back when a signal ends the process while
// a key read has it in single-key mode.
#pragma once

#ifndef _WIN32
#include <termios.h>

namespace vorn::platform::detail {

// Called by the key read around the time it holds the terminal in single-key
// mode: `saved` is the mode to restore. While one is remembered, SIGTERM,
// SIGHUP and SIGQUIT restore it before they end the process as usual.
void rememberTerminalMode(int descriptor, const termios& saved);
void forgetTerminalMode();

}  // namespace vorn::platform::detail
#endif
