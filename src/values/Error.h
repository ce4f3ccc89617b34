// The one error type of the interpreter: it carries the text a user sees.
//
// Every failure raised below the program entry is a ScriptError. Its text
// begins with the fixed wording the language promises ("stoi", "stold",
// "cannot create directory", "Invalid base64 encoded data - ...", ...);
// detail such as the failing token may follow after ": ". Nothing inside the
// interpreter catches it for good; the program entry reports it.
//
// On its way up it collects where it happened, in an ErrorTrail: the
// statements it leaves count its line within the text they belong to, and
// each text of its own that it leaves (a function body, exec text, a file, a
// line typed at the prompt) closes a frame. Nothing is recorded until an
// error is raised, so running costs nothing for it. The report (exec/Where.h)
// turns the frames into "(in FILE, line N; $f called at line M; ...)".
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "values/Text.h"

namespace vorn {

class ErrorTrail {
public:
    // How the text of a frame was entered.
    enum class Way : std::uint8_t {
        Call,    // a function body or a scaffold body, by a call
        Exec,    // exec text
        Prompt,  // a line typed at the interactive prompt
        File,    // a script file (also, autorun, vorn-run)
    };
    struct Frame {
        Way way = Way::File;
        std::string name;        // Call: the callee as written; File: the path
        Text text;               // Call: the body, braces included; Exec, Prompt: the text
        std::uint32_t line = 0;  // counted from 0 in the text (in a body: from its "{")
        std::uint64_t repeats = 0;  // identical frames right outside this one
    };
    // Frames kept at each end; those between are only counted.
    static constexpr std::size_t kKept = 4;

    // The error leaves a statement whose first line is `line` lines below the
    // start of its block's text. `ownText`: the block is a text of its own
    // (a function body, exec text, a file), not a body written inside the
    // statement around it, so the lines counted so far end with this block:
    // the next statement the error leaves starts the count afresh.
    void leaveStatement(std::uint32_t line, bool ownText) {
        if (countClosed_) {
            line_ = 0;
            countClosed_ = false;
        }
        line_ += line;
        if (ownText) countClosed_ = true;
    }
    // The error leaves a text of its own; the line counted so far lies in it.
    void leaveCall(std::string_view callee, const Text& body) { close({Way::Call, std::string(callee), body}); }
    void leaveExec(const Text& code, bool typedAtPrompt) {
        close({typedAtPrompt ? Way::Prompt : Way::Exec, std::string(), code});
    }
    void leaveFile(std::string_view path) { close({Way::File, std::string(path), Text()}); }

    // The line counted so far is replaced: the error is known to lie on this
    // line of the text being left next (where an unbalanced text opened).
    void setLine(std::uint32_t line) {
        line_ = line;
        countClosed_ = false;
    }

    // Innermost first: the first frames, then (after skipped() more) the last.
    const std::vector<Frame>& inner() const { return inner_; }
    std::vector<Frame> outer() const;
    std::uint64_t skipped() const { return skipped_; }
    bool empty() const { return inner_.empty(); }

private:
    void close(Frame frame);

    std::vector<Frame> inner_;
    std::vector<Frame> outer_;  // a ring of the last kKept frames
    std::size_t outerStart_ = 0;
    std::uint64_t skipped_ = 0;
    std::uint32_t line_ = 0;  // counted from 0
    bool countClosed_ = false;
};

class ScriptError : public std::exception {
public:
    explicit ScriptError(std::string text) : text_(std::move(text)) {}
    ScriptError(const std::string& text, const std::string& detail)
        : text_(detail.empty() ? text : text + ": " + detail) {}

    // The error's own text, without where it happened.
    const char* what() const noexcept override { return text_.c_str(); }

    ErrorTrail& trail() { return trail_; }
    const ErrorTrail& trail() const { return trail_; }

    void leaveStatement(std::uint32_t line, bool ownText) { trail_.leaveStatement(line, ownText); }
    void locateInFile(std::string_view file) { trail_.leaveFile(file); }

private:
    std::string text_;
    ErrorTrail trail_;
};

}  // namespace vorn
