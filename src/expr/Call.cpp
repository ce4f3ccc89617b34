// Function calls: script functions, scaffold instantiation and builtins.
//
// The callee sees the caller's view (or only the shared names when the call
// has a sharing group), its arguments as new Values, and "self" for a
// method. Names the callee creates end with the call; assignments to names
// it can see change the caller's Values in place.
#include <memory>
#include <new>
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

struct ArgumentName {
    SymbolRef name;
};

// "arg0", "arg1", ... with their hashes, made once each; each name keeps
// its place as the list grows.
const ArgumentName& argumentName(std::size_t index) {
    static std::vector<std::unique_ptr<const ArgumentName>> names;
    if (index < names.size()) return *names[index];
    while (names.size() <= index) {
        names.push_back(std::make_unique<const ArgumentName>(ArgumentName{intern("arg" + std::to_string(names.size()))}));
    }
    return *names[index];
}

// An argument on its way into the call scope.
struct BoundArgument {
    SymbolRef name;
    ValueRef value;
};

// The arguments of one call: the first few in place (in storage that is
// not cleared first: each call makes one of these), more on the heap.
class Arguments {
public:
    Arguments() = default;
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        for (std::size_t i = 0; i < count_ && i < kInPlace; ++i) slot(i).~BoundArgument();
    }

    void add(SymbolRef name, ValueRef value) {
        if (count_ < kInPlace) new (&storage_[count_ * sizeof(BoundArgument)]) BoundArgument{std::move(name), std::move(value)};
        else more_.push_back({std::move(name), std::move(value)});
        ++count_;
    }
    template <class F>
    void forEach(F&& f) {
        for (std::size_t i = 0; i < count_; ++i) f(i < kInPlace ? slot(i) : more_[i - kInPlace]);
    }

private:
    static constexpr std::size_t kInPlace = 4;
    BoundArgument& slot(std::size_t i) {
        return *std::launder(reinterpret_cast<BoundArgument*>(&storage_[i * sizeof(BoundArgument)]));
    }
    alignas(BoundArgument) unsigned char storage_[kInPlace * sizeof(BoundArgument)];
    std::vector<BoundArgument> more_;
    std::size_t count_ = 0;
};

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
    runBlockIn(body, callScope, &members);
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
    Arguments arguments;
    if (call.hasArguments) {
        const auto& texts = call.arguments();
        const std::vector<std::string>& argNames = callee.argNames().get();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            ValueRef argument = newValue(evaluateExpression(*texts[i], view, InlineBlocks::On));
            if (i < argNames.size()) arguments.add(intern(argNames[i]), std::move(argument));
            else arguments.add(argumentName(i).name, std::move(argument));
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
    arguments.forEach([&](BoundArgument& argument) { callScope.set(argument.name, std::move(argument.value)); });
    if (callee.bound() && callee.boundObject()) {
        static const SymbolRef kSelf = intern("self");
        callScope.set(kSelf, callee.boundObject());
    }

    switch (callee.kind) {
        case Kind::Func: {
            const Block& body = blockOfText(callee.text, true);
            return runBlockIn(body, callScope, nullptr).value;
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
