// The checker: reads a script without running it and points at each trap.
//
// VORN's rules are exact, and several of them quietly do something other
// than what a newcomer means (`x = a + b` assigns only `a`). The checker
// splits a text with the interpreter's own splitter and prepared statements,
// walks every block, group and call the way they would be split when run,
// and reports each trap with a stable code, the line it stands on, what will
// happen and how to write what was probably meant. Nothing is evaluated.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::check {

enum class Severity { Warning, Error };

struct Finding {
    int line = 0;  // counted from 1 in the text as read
    Severity severity = Severity::Warning;
    std::string code;  // "V001"...; empty for errors
    std::string text;
};

// Whether a file-system entry exists at a path relative to the current
// folder; `also` of a literal name is checked through it.
using EntryExists = std::function<bool(const std::string& path)>;

// The findings of one text, ordered by line (and, within a line, in the
// order the text is read). An unbalanced text gives one error finding at the
// line where the open quote, brace or parenthesis began; an unbalanced block
// or group inside an otherwise balanced text gives one for that block alone.
std::vector<Finding> checkText(std::string_view text, const EntryExists& exists);
// The same, asking the file system of the current folder.
std::vector<Finding> checkText(std::string_view text);

// "NAME:LINE: warning: TEXT [CODE]" or "NAME:LINE: error: TEXT".
std::string formatFinding(std::string_view name, const Finding& finding);

// One code and what it is about, in code order.
struct Rule {
    const char* code;
    const char* title;
};
const std::vector<Rule>& rules();

// Checks every file named, in order (`-` is standard input, shown as
// "<stdin>"), printing the findings of each to out and files that cannot be
// read to err. Returns 0 when nothing was found, 1 when something was, 2 when
// no file was named or a file could not be read (the others are checked all
// the same). The names are taken as they are: options are the caller's.
int runCheck(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

}  // namespace vorn::check
