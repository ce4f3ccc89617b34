// vorn-run's command line, the reading of its scripts, and the run.
#include "app/Runner.h"

#include <iostream>

#include "app/Program.h"
#include "app/ScriptFile.h"
#include "check/Check.h"
#include "exec/Statements.h"

namespace vorn {

namespace {

constexpr const char* kProgramName = "vorn-run";
constexpr const char* kVersionLine = "vorn-run (VORN V3)";
constexpr int kUsageStatus = 2;

}  // namespace

RunnerCommand parseRunnerCommand(const std::vector<std::string>& arguments) {
    RunnerCommand command;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            command.scripts.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--check") {
            command.check = true;
        } else if (argument == "-q" || argument == "--quiet") {
            command.quiet = true;
        } else if (argument == "-h" || argument == "--help") {
            command.mode = RunnerCommand::Mode::Help;
            return command;
        } else if (argument == "--version") {
            command.mode = RunnerCommand::Mode::Version;
            return command;
        } else {
            command.mode = RunnerCommand::Mode::Invalid;
            command.error = "unknown option " + argument;
            return command;
        }
    }
    if (command.scripts.empty()) {
        command.mode = RunnerCommand::Mode::Invalid;
        command.error = command.check ? "no file to check" : "no script to run";
    }
    return command;
}

std::string runnerUsage() {
    return "usage: vorn-run [-q] FILE [FILE...]\n"
           "       vorn-run --check FILE [FILE...]\n"
           "Runs VORN scripts one after the other in one session, with the builtins\n"
           "and the boot script's functions (range, varexists, ...) defined, as at\n"
           "the prompt of vorn, but without its banner, snapshot, restore question\n"
           "and autorun.\n"
           "\n"
           "  FILE           a script file, read as `also` reads one; - reads the\n"
           "                 script from standard input; a first line beginning\n"
           "                 with #! is skipped\n"
           "  -q, --quiet    no progress lines from `also` in the scripts\n"
           "  --check        run nothing: report the traps found in each FILE, one\n"
           "                 line each (FILE:LINE: warning: ... [CODE]); status 0\n"
           "                 when none was found, 1 when some were\n"
           "  -h, --help     print this text and exit\n"
           "  --version      print the version and exit\n"
           "  --             end of options: every later argument is a FILE\n"
           "\n"
           "Exit status: 0 when every script ran to its end, 1 after an error (reported\n"
           "as \"error: ...\" on standard output, with the file and line), 51 for text\n"
           "with an unclosed quote, brace or parenthesis, 2 for a bad command line or\n"
           "a script that cannot be read.\n";
}

int runnerMain(int argc, char** argv) {
    if (!roomToStart()) return 1;
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const RunnerCommand command = parseRunnerCommand(arguments);
    switch (command.mode) {
        case RunnerCommand::Mode::Help: std::cout << runnerUsage(); return 0;
        case RunnerCommand::Mode::Version: std::cout << kVersionLine << "\n"; return 0;
        case RunnerCommand::Mode::Invalid:
            std::cerr << kProgramName << ": " << command.error << "\n"
                      << "Try '" << kProgramName << " --help' for more information.\n";
            return kUsageStatus;
        case RunnerCommand::Mode::Run: break;
    }

    if (command.check) return check::runCheck(command.scripts, std::cout, std::cerr);

    std::vector<ScriptSource> scripts;
    for (const std::string& name : command.scripts) {
        ScriptSource script{name == "-" ? "<stdin>" : name, {}};
        if (const std::string problem = readScript(name, script.text); !problem.empty()) {
            std::cerr << kProgramName << ": cannot run " << name << ": " << problem << "\n";
            return kUsageStatus;
        }
        scripts.push_back(std::move(script));
    }
    ScriptRunOptions options;
    options.alsoProgress = !command.quiet;
    return runScripts(std::move(scripts), options);
}

}  // namespace vorn
