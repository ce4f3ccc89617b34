// Function calls: script functions, scaffold instantiation and builtins.
//
// The callee sees the caller's view (or only the shared names when the call
// has a sharing group), its arguments as new Values, and "self" for a
// method. Names the callee creates end with the call; assignments to names
// it can see change the caller's Values in place.
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "exec/Objects.h"
#include "exec/Run.h"
#include "exec/Trim.h"
#include "exec/Where.h"
#include "expr/Evaluator.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Messages.h"

namespace vorn {

namespace {

// "arg0", "arg1", ... made once each; each name keeps its place as the
// list grows. The first few, which nearly every call uses, sit in a fixed
// table.
const SymbolRef& argumentName(std::size_t index) {
    static constexpr std::size_t kTabled = 8;
    static const SymbolRef* const tabled = [] {
        static SymbolRef names[kTabled];
        for (std::size_t i = 0; i < kTabled; ++i) names[i] = intern("arg" + std::to_string(i));
        return names;
    }();
    if (index < kTabled) return tabled[index];
    static std::vector<std::unique_ptr<const SymbolRef>> more;
    while (more.size() <= index - kTabled) {
        more.push_back(std::make_unique<const SymbolRef>(intern("arg" + std::to_string(kTabled + more.size()))));
    }
    return *more[index - kTabled];
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
Value instantiate(Interpreter& interpreter, const Value& scaffold, Scope& callScope, std::string_view callee) {
    const Item* originMember = scaffold.members().find("origin");
    if (!originMember) throw ScriptError(messages::kNoOrigin);
    const ValueRef origin = originMember->ref();
    const Text code = textOf(*origin);
    Scope members;
    throughCall(callee, code, [&] { runBlockIn(interpreter, blockOfText(code, true), callScope, &members); });
    return *buildObject(members, origin);
}

// Whether evaluating the expression runs no code: every token is a name,
// a literal or an operator, with no call, group or block among them.
bool isPlainRow(const Expression& expression) {
    for (const Operand& token : expression.tokens)
        if (token.form != Operand::Form::Number && token.form != Operand::Form::Literal) return false;
    return true;
}

// The Value called. Read where it lies when the callee is a plain name or
// a member `(x -> "m")` of plain operands, and copied only when code that
// could change it is about to run (an argument with a call, a group or a
// block in it); any other callee is evaluated into a copy at once.
class Callee {
public:
    Callee(const Expression& expression, const View& view) {
        if (!expression.tooShort) {
            if (expression.tokens.size() == 1) ptr_ = peek(expression.tokens[0], view);
            else ptr_ = peekMember(expression, view);
        }
        if (!ptr_) {
            own_.emplace(evaluateExpression(expression, view, InlineBlocks::On));
            ptr_ = &*own_;
        }
    }
    Callee(const Callee&) = delete;
    Callee& operator=(const Callee&) = delete;

    const Value& get() const { return *ptr_; }
    void own() {
        if (own_) return;
        own_.emplace(*ptr_);
        ptr_ = &*own_;
    }

private:
    // The Value an operand names without running code, or null.
    static const Value* peek(const Operand& token, const View& view) {
        if (token.form != Operand::Form::Group) return isPlainOperand(token) ? &plainValue(token, view) : nullptr;
        // A token is a name before anything else, a group's text included.
        if (const Cell* named = view.lookupCell(token.text, token.hash, token.lookup)) return &named->value;
        const Expression& row = token.groupExpression();
        return row.tooShort ? nullptr : peekMember(row, view);
    }
    // The member that a row `x -> "m"` of plain operands names, or null.
    static const Value* peekMember(const Expression& row, const View& view) {
        const auto& tokens = row.tokens;
        if (tokens.size() != 3 || tokens[1].op != Operator::Member || tokens[0].isNot) return nullptr;
        if (!isPlainOperand(tokens[0]) || !isPlainOperand(tokens[2])) return nullptr;
        const Value& object = plainValue(tokens[0], view);
        if (object.kind != Kind::Scaffold) return nullptr;
        const Value& name = plainValue(tokens[2], view);
        if (name.kind != Kind::String) return nullptr;
        const Item* member = object.members().find(name.text.view());
        return member ? member->get() : nullptr;
    }

    const Value* ptr_ = nullptr;
    std::optional<Value> own_;
};

}  // namespace

Value performCall(std::string_view callText, const View& view) {
    auto site = compileCall(callText);
    return performCall(*site, view);
}

Value performCall(const CallSite& call, const View& view) {
    if (!call.hasCallee) return Value();
    Callee callee(call.callee(), view);

    // Arguments, evaluated left to right into new Values. The callee is
    // copied before the first argument that can run code.
    Arguments arguments;
    if (call.hasArguments) {
        const auto& texts = call.arguments();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const Expression& text = *texts[i];
            if (!isPlainRow(text)) callee.own();
            Value scratch;
            ValueRef argument = newValue(ownValue(evaluateInPlace(text, view, InlineBlocks::On, scratch), scratch));
            const std::vector<std::string>& argNames = callee.get().argNames().get();
            if (i < argNames.size()) arguments.add(intern(argNames[i]), std::move(argument));
            else arguments.add(argumentName(i), std::move(argument));
        }
    }

    // Instantiation runs isolated from the caller's variables; other calls
    // start from everything the caller sees.
    const Value& target = callee.get();
    Scope callScope;
    if (call.hasSharing) {
        for (const auto& [name, hash] : call.sharedNames()) {
            if (ValueRef shared = view.lookup(name, hash)) callScope.set(name, hash, std::move(shared));
        }
    } else if (target.kind != Kind::Scaffold) {
        callScope = view.merged();
    }
    arguments.forEach([&](BoundArgument& argument) { callScope.set(argument.name, std::move(argument.value)); });
    if (target.bound() && target.boundObject()) {
        static const SymbolRef kSelf = intern("self");
        callScope.set(kSelf, target.boundObject());
    }

    // From here on the callee's code runs and may change the Value it was
    // read from: what the call still needs is taken first.
    switch (target.kind) {
        case Kind::Func: {
            const Text code = target.text;
            return throughCall(call.calleeText, code,
                               [&] { return runBlockIn(view.interpreter(), blockOfText(code, true), callScope, nullptr).value; });
        }
        case Kind::Scaffold: return instantiate(view.interpreter(), target, callScope, call.calleeText);
        case Kind::CFunc: {
            const NativeFunction native = target.native();
            if (!native) return Value();
            return native(view.interpreter(), &callScope);
        }
        default: return Value();
    }
}

}  // namespace vorn
