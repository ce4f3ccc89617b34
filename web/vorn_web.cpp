// The interpreter in the browser: the boot script, run as the vorn program
// runs it, in a worker whose folder web/worker-pre.js prepares.
#include <sys/stat.h>

#include <cstddef>

#include "app/BootScript.h"
#include "app/Program.h"
#include "values/Limits.h"

int main() {
    // Emscripten starts with a umask that takes every permission away, so
    // new files would be unreadable once the folder is restored on the next
    // visit; 022 is the usual one.
    umask(022);
    // A browser tab has far less memory than a machine: a runaway text is
    // refused long before the tab's memory runs out.
    vorn::Limits::setMaxTextBytes(std::size_t(128) << 20);
    return vorn::runProgram(vorn::bootScript(), vorn::ProgramKind::Session);
}
