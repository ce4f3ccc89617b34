// The checker in the browser: the page hands it the program pane's text as
// the person types and shows the findings beside their lines.
#include <emscripten.h>

#include <exception>
#include <string>
#include <string_view>

#include "check/Check.h"

namespace {

// One finding a line: LINE, severity, code and text, separated by tabs.
std::string gReport;

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE const char* vorn_check(const char* text, int size) {
    gReport.clear();
    try {
        // Files named by `also` are not looked for: the folder the program
        // will run in belongs to the other worker.
        const auto anyFile = [](const std::string&) { return true; };
        for (const vorn::check::Finding& finding :
             vorn::check::checkText(std::string_view(text, static_cast<std::size_t>(size)), anyFile)) {
            gReport += std::to_string(finding.line);
            gReport += finding.severity == vorn::check::Severity::Error ? "\terror\t" : "\twarning\t";
            gReport += finding.code + "\t" + finding.text + "\n";
        }
    } catch (const std::exception& error) {
        gReport = std::string("1\terror\t\t") + error.what() + "\n";
    }
    return gReport.c_str();
}

int main() { return 0; }
