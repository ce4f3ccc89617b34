// The VORN program: runs the boot script compiled into it.
#include "app/BootScript.h"
#include "app/Program.h"
#include "platform/Platform.h"

int main(int, char**) {
    if (!vorn::roomToStart()) return 1;
    vorn::platform::installLineEditor();
    return vorn::runProgram(vorn::bootScript(), vorn::ProgramKind::Session);
}
