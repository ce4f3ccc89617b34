// The one error type of the interpreter: it carries the text a user sees.
//
// Every failure raised below the program entry is a ScriptError. Its text
// begins with the fixed wording the language promises ("stoi", "stold",
// "cannot create directory", "Invalid base64 encoded data - ...", ...);
// detail such as the failing token may follow after ": ". Nothing inside the
// interpreter catches it; the program entry reports it.
#pragma once

#include <stdexcept>
#include <string>

namespace vorn {

class ScriptError : public std::runtime_error {
public:
    explicit ScriptError(const std::string& text) : std::runtime_error(text) {}
    ScriptError(const std::string& text, const std::string& detail)
        : std::runtime_error(detail.empty() ? text : text + ": " + detail) {}
};

}  // namespace vorn
