// What vorn-run does to a script file's text before it runs or checks it.
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

}  // namespace vorn
