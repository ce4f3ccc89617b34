// Reading what the user types at the interactive loop's prompt.
#pragma once

#include <string>

namespace vorn {

// Reads the next entry of the interactive loop into `entry`; false when
// input has ended.
//
// From a pipe or a file this is one line, exactly as a script's input reads
// it. At a terminal the line is read through the line editor; while the
// entry leaves a quote, brace or parenthesis open, further lines are read
// with the prompt "... " and joined with line ends, so that a function of
// many lines can be typed. Ctrl-C at the prompt throws the entry away, and
// so does Ctrl-D in the middle of an entry; both give an empty entry, so the
// loop draws a fresh prompt.
bool readPromptEntry(std::string& entry);

// True when text ends with a quote, brace or parenthesis still open.
bool entryIsOpen(const std::string& text);

}  // namespace vorn
