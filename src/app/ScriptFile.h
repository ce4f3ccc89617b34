// How vorn-run reads a script, and what it does to the text before it runs
// or checks it.
#pragma once

#include <string>

namespace vorn {

// A first line that begins with "#!" (`#!/usr/bin/env vorn-run`) names the
// program that runs the file when it is started as a command; it is no VORN.
// Its bytes are dropped and its line end kept, so every later line keeps its
// number in error messages and checker findings.
inline void blankInterpreterLine(std::string& text) {
    if (text.size() < 2 || text[0] != '#' || text[1] != '!') return;
    const std::size_t end = text.find('\n');
    text.erase(0, end == std::string::npos ? text.size() : end);
}

// Reads the script vorn-run is given as name, to run or to check it: "-" is
// the rest of standard input, any other name a file read as `also` reads
// one; its interpreter line is then blanked. Returns what kept it from being
// read ("no such file", "is a folder", "cannot open it", "out of memory",
// the read's own error), or "" when text holds it.
std::string readScript(const std::string& name, std::string& text);

}  // namespace vorn
