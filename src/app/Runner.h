// vorn-run: runs script files from a shell, in the tables a line typed at
// the prompt sees, without the interactive start-up.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// What a vorn-run command line asks for.
struct RunnerCommand {
    enum class Mode {
        Run,      // run the scripts
        Help,     // print the usage text
        Version,  // print the version line
        Invalid,  // print `error` and the hint to --help; status 2
    };
    Mode mode = Mode::Run;
    bool quiet = false;                // -q: no progress lines from `also`
    bool check = false;                // --check: report traps, run nothing
    std::vector<std::string> scripts;  // in order; "-" is standard input
    std::string error;                 // for Mode::Invalid
};

// Reads the arguments (without the program name). Options and script names
// may be mixed; "--" ends the options; "-" alone is a script name.
RunnerCommand parseRunnerCommand(const std::vector<std::string>& arguments);

// The usage text that --help prints.
std::string runnerUsage();

// The whole program: parses argv, reads the scripts and runs them. Exit
// status 0 on success, 1 after an error in a script, 51 for unbalanced
// text, 2 for a bad command line or a script that cannot be read.
int runnerMain(int argc, char** argv);

}  // namespace vorn
