// Where an error happened: the texts a session ran, and the report that
// turns an error's trail into places.
//
// An error collects its frames on the way up (values/Error.h): the line in
// each text of its own that it left, and how that text was entered. A file
// or a line typed at the prompt names itself; a function body is only a
// text, a copy of the brace block that defined it, so its place is found by
// looking for that text in the files and prompt lines the session has run
// (newest first). Nothing here runs before an error is raised, except
// keeping a copy of each file run and of each prompt line that defines a
// block.
//
// The report is one line: the error's own text, then
//   " (in FILE, line N; $f called at line M; $g called at other.VORN, line K)"
// innermost first. A run of identical calls (recursion) is one entry with
// ", the same call N more times"; a chain longer than a few frames at each
// end shows "... N more calls" between them. Places the session cannot name
// at the outer end (the top of a script run without its name) are left out;
// an error at the top level of a line typed at the prompt names nothing.
#pragma once

#include <string>
#include <string_view>

#include "parse/Splitter.h"
#include "values/Error.h"
#include "values/Text.h"

namespace vorn {

class Interpreter;

// A script file is about to run (also, autorun, vorn-run): its functions can
// be traced back to it. The same path again replaces its earlier text.
void recordFile(Interpreter& interpreter, std::string_view path, std::string_view text);
// A line typed at the prompt is about to run; kept only when it holds a
// block (a function can be defined there), and only the latest few.
void recordPromptEntry(Interpreter& interpreter, std::string_view text);

// " (in ...; ...)" for the trail, or "" when it names no place.
std::string whereSuffix(Interpreter& interpreter, const ErrorTrail& trail);
// The error's text and where it happened, as reported after "error: ".
std::string errorReport(Interpreter& interpreter, const ScriptError& error);
// "unbalanced text: a brace is never closed" and where it opened.
std::string unbalancedReport(Interpreter& interpreter, const UnbalancedText& unbalanced);

// The text `text` (held by the caller) is being left by an unbalanced text
// error. If the text that failed to split lies in it, the trail's line
// becomes the line of `text` on which the still-open delimiter stands; in
// any case the error is placed from now on.
void placeOpener(UnbalancedText& unbalanced, std::string_view text);

// Runs f, the run of a function or scaffold body `body` (braces included)
// called as `callee`; an error leaving it records the call.
template <class F>
decltype(auto) throughCall(std::string_view callee, const Text& body, F&& f) {
    try {
        return f();
    } catch (ScriptError& error) {
        error.trail().leaveCall(callee, body);
        throw;
    } catch (UnbalancedText& unbalanced) {
        const std::string_view inside = body.size() >= 2 ? body.view().substr(1, body.size() - 2) : body.view();
        placeOpener(unbalanced, inside);
        unbalanced.trail.leaveCall(callee, body);
        throw;
    }
}

// The same for exec text (typed: the line typed at the prompt).
template <class F>
void throughExec(const Text& code, bool typed, F&& f) {
    try {
        f();
    } catch (ScriptError& error) {
        error.trail().leaveExec(code, typed);
        throw;
    } catch (UnbalancedText& unbalanced) {
        placeOpener(unbalanced, code.view());
        unbalanced.trail.leaveExec(code, typed);
        throw;
    }
}

// The same for a script file's text.
template <class F>
void throughFile(std::string_view path, std::string_view text, F&& f) {
    try {
        f();
    } catch (ScriptError& error) {
        error.trail().leaveFile(path);
        throw;
    } catch (UnbalancedText& unbalanced) {
        placeOpener(unbalanced, text);
        unbalanced.trail.leaveFile(path);
        throw;
    }
}

}  // namespace vorn
