// Reading a script for vorn-run, whether it runs it or checks it.
#include "app/ScriptFile.h"

#include <cstdio>
#include <new>

#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

std::string readScript(const std::string& name, std::string& text) {
    std::size_t lines = 0;
    std::string problem;
    try {
        if (name == "-") {
            text = platform::readStandardInputText(lines);
        } else if (!platform::exists(name)) {
            problem = "no such file";
        } else if (platform::isDirectory(name)) {
            problem = "is a folder";
        } else if (std::FILE* probe = std::fopen(name.c_str(), "r"); !probe) {
            // The same narrow name that the read below opens.
            problem = "cannot open it";
        } else {
            std::fclose(probe);
            text = platform::readSourceText(name, lines);
        }
    } catch (const ScriptError& error) {
        problem = error.what();
    } catch (const std::bad_alloc&) {
        problem = "out of memory";
    }
    if (problem.empty()) blankInterpreterLine(text);
    return problem;
}

}  // namespace vorn
