// The checker's second walk: the silent traps.
//
// These lines run without an error and quietly give a wrong result (or fail
// far from the mistake): locals a recursive call shares, a rebinding that
// dies with its body, another language's keyword or a comment read as an
// assignment, a number made to mean another number, an operator without
// blanks, a sharing group that hides a function the callee calls, a
// condition spread over several tokens. Telling them needs a little more
// than the first walk keeps: which function a body defines, which names the
// enclosing blocks bound and use later. This walk keeps that, and only that.
#pragma once

#include <string_view>
#include <vector>

#include "check/Check.h"

namespace vorn::check {

// Adds the traps found in text (a whole file) to findings, with the codes
// V013 to V020 (Walker.h lists every code).
void findTraps(std::string_view text, std::vector<Finding>& findings);

// True when a compare, until or each statement's tokens hold its condition
// spread over several tokens before the body (`compare x > 0 {`): the trap
// walk reports that, so the first walk leaves those tokens alone.
bool conditionIsSpread(const std::vector<std::string_view>& tokens);

// True when an assignment's target makes the line one of the traps this walk
// reports (a comment attempt, another language's keyword, a literal): the
// first walk leaves such a line alone.
bool targetIsTrap(std::string_view target, std::size_t tokenCount);

}  // namespace vorn::check
