// Function calls: script functions, scaffold instantiation and builtins.
//
// The callee sees the caller's view (or only the shared names when the call
// has a sharing group), its arguments as new Values, and "self" for a
// method. Names the callee creates end with the call; assignments to names
// it can see change the caller's Values in place.
#include <deque>
#include <string>

#include "exec/Objects.h"
#include "exec/Run.h"
#include "exec/Trim.h"
#include "expr/Evaluator.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Messages.h"

namespace vorn {

namespace {

// "arg0", "arg1", ...; a deque keeps earlier names in place as it grows.
const std::string& argumentName(std::size_t index) {
    static std::deque<std::string> names;
    while (names.size() <= index) names.push_back("arg" + std::to_string(names.size()));
    return names[index];
}

// Makes a new object from a scaffold: its "origin" body runs isolated, seeing
// only the call's own scope, and the names it creates become the members.
Value instantiate(const Value& scaffold, Scope& callScope) {
    const MemberMap& templateMembers = scaffold.members().get();
    auto originIt = templateMembers.find(std::string_view("origin"));
    if (originIt == templateMembers.end()) throw ScriptError(messages::kNoOrigin);
    const ValueRef origin = originIt->second;
    const Text code = textOf(*origin);
    const Block& body = blockOfText(code, true);

    Scope members;
    runBlock(body, &callScope, &members);
    return *buildObject(members, origin);
}

}  // namespace

Value performCall(std::string_view callText, const View& view) {
    auto site = compileCall(callText);
    return performCall(*site, view);
}

Value performCall(const CallSite& call, const View& view) {
    if (!call.hasCallee) return Value();
    const Value callee = evaluateExpression(call.callee(), view, InlineBlocks::On);

    // Arguments, evaluated left to right into new Values.
    std::vector<std::pair<const std::string*, ValueRef>> arguments;
    if (call.hasArguments) {
        const auto& texts = call.arguments();
        const std::vector<std::string>& argNames = callee.argNames().get();
        arguments.reserve(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            ValueRef argument = newValue(evaluateExpression(*texts[i], view, InlineBlocks::On));
            const std::string& name = i < argNames.size() ? argNames[i] : argumentName(i);
            arguments.emplace_back(&name, std::move(argument));
        }
    }

    // Instantiation runs isolated from the caller's variables; other calls
    // start from everything the caller sees.
    Scope callScope;
    if (call.hasSharing) {
        for (const auto& [name, hash] : call.sharedNames()) {
            if (ValueRef shared = view.lookup(name, hash)) callScope.set(name, hash, std::move(shared));
        }
    } else if (callee.kind != Kind::Scaffold) {
        callScope = view.merged();
    }
    for (auto& [name, argument] : arguments) {
        callScope.set(*name, std::move(argument));
    }
    if (callee.bound() && callee.boundObject()) {
        callScope.set("self", callee.boundObject());
    }

    switch (callee.kind) {
        case Kind::Func: {
            const Block& body = blockOfText(callee.text, true);
            return runBlock(body, &callScope, nullptr).value;
        }
        case Kind::Scaffold: return instantiate(callee, callScope);
        case Kind::CFunc: {
            if (!callee.native()) return Value();
            return callee.native()(&callScope);
        }
        default: return Value();
    }
}

}  // namespace vorn
