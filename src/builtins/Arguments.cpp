// Shared argument access for builtins.
#include "builtins/Arguments.h"

#include <deque>

namespace vorn::builtins {

const std::string& argumentName(int index) {
    static std::deque<std::string> names;
    while (names.size() <= static_cast<std::size_t>(index)) names.push_back("arg" + std::to_string(names.size()));
    return names[static_cast<std::size_t>(index)];
}

ValueRef argumentRef(const Scope* scope, int index) { return scope->find(argumentName(index)); }

Value argument(const Scope* scope, int index) {
    ValueRef v = argumentRef(scope, index);
    return v ? *v : Value();
}

bool hasArgument(const Scope* scope, int index) { return static_cast<bool>(argumentRef(scope, index)); }

}  // namespace vorn::builtins
