// The one error type of the interpreter: it carries the text a user sees.
//
// Every failure raised below the program entry is a ScriptError. Its text
// begins with the fixed wording the language promises ("stoi", "stold",
// "cannot create directory", "Invalid base64 encoded data - ...", ...);
// detail such as the failing token may follow after ": ". Nothing inside the
// interpreter catches it for good; the program entry reports it. On its way
// up it may learn where it happened: the statements it passes count its line,
// and the run of a script file (`also`, autorun, vorn-run) names the file,
// which adds " (in FILE, line N)" to the text.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace vorn {

class ScriptError : public std::exception {
public:
    explicit ScriptError(std::string text) : text_(std::move(text)) {}
    ScriptError(const std::string& text, const std::string& detail)
        : text_(detail.empty() ? text : text + ": " + detail) {}

    const char* what() const noexcept override { return text_.c_str(); }

    // The error leaves a statement whose first line is `line` lines below the
    // start of its block's text. `ownText`: the block is a text of its own
    // (a function body, exec text, a file), not a body written inside the
    // statement around it, so the lines counted so far end with this block:
    // the next statement the error leaves starts the count afresh.
    void leaveStatement(std::uint32_t line, bool ownText) {
        if (located_) return;
        if (countClosed_) {
            line_ = 0;
            countClosed_ = false;
        }
        line_ += line;
        if (ownText) countClosed_ = true;
    }

    // The error leaves the run of a script file: it happened in that file, on
    // the line counted so far. Only the innermost file is named.
    void locateInFile(std::string_view file) {
        if (located_) return;
        located_ = true;
        text_ += " (in ";
        text_ += file;
        text_ += ", line " + std::to_string(std::uint64_t(line_) + 1) + ")";
    }

private:
    std::string text_;
    std::uint32_t line_ = 0;    // counted from 0
    bool countClosed_ = false;
    bool located_ = false;
};

}  // namespace vorn
