// The "did you mean" hint for a name that is bound nowhere.
//
// A misspelt name is the commonest error of all, and the name meant is
// almost always bound right there. The hint names the closest visible name
// when it is near enough: the same letters in another case, or one edit away
// (two for names of six bytes or more), an edit being one byte inserted,
// removed, changed, or two neighbours swapped. Nothing is suggested for names
// of one or two bytes but a case difference: every short name is near every
// other one.
#pragma once

#include <string>
#include <string_view>

#include "exec/View.h"

namespace vorn {

// " (did you mean NAME?)" for the closest name the view shows, or "".
std::string nearNameHint(std::string_view unknown, const View& view);

// The closest of candidates by the rule above, or "" when none is near
// enough. Among equally near ones the first in byte order wins.
std::string closestName(std::string_view unknown, const std::vector<std::string>& candidates);

}  // namespace vorn
