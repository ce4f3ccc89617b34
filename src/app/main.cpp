// The VORN program: runs the boot script compiled into it.
#include "app/BootScript.h"
#include "app/Interpreter.h"

int main(int, char**) { return vorn::runProgram(vorn::bootScript(), vorn::ProgramKind::Session); }
