// Test tool: runs one VORN script file the way the program runs its boot
// script, so language tests do not depend on the start-up dialogue: the
// whole file, byte for byte, in tables of nothing but the builtins.
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/Program.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorn_run_script FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot open " << argv[1] << "\n";
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return vorn::runScripts({{argv[1], text.str()}}, {vorn::ScriptTables::Bare, false});
}
