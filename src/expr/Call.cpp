// Function calls: script functions, scaffold instantiation and builtins.
//
// The callee sees the caller's view (or only the shared names when the call
// has a sharing group), its arguments as new Values, and "self" for a
// method. Names the callee creates end with the call; assignments to names
// it can see change the caller's Values in place.
#include <memory>
#include <optional>
#include <string>

#include "exec/CallScope.h"
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
        if (const Cell* named = view.lookupCell(token)) return &named->value;
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

// Whether the call may hand the callee a name's own Value for an argument
// that is that name alone: the callee is a builtin that only reads copies
// of its arguments, and no argument runs code, so each still holds what
// the name held when the call read it. A copy would be made, and dropped,
// for nothing.
bool lendsNames(const Value& callee, const ArgumentList& texts) {
    if (callee.kind != Kind::CFunc || !callee.readsArgumentsOnly()) return false;
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (!texts[i]->plain) return false;
    return true;
}
// The cell of an argument that is a bound name alone, or null.
Cell* namedCell(const Expression& text, const View& view) {
    if (text.tooShort || text.tokens.size() != 1 || !isPlainOperand(text.tokens[0])) return nullptr;
    return view.lookupCell(text.tokens[0]);
}

// The shared names the call sees of its caller's: a sharing group's names
// that the caller sees, with their Values.
void sharedOf(const CallSite& call, const View& view, CallBindings& shared) {
    if (!call.hasSharing) return;
    for (const SymbolRef& name : call.sharedNames())
        if (Cell* found = view.lookupCell(name.get())) shared.add(name, ValueRef(found));
}

// Calls and instantiations that see only what they are given: a barrier,
// then the shared names. Apart from performCall, whose frame every level of
// a script's recursion takes.
[[gnu::noinline]] void pushIsolated(const CallSite& call, const View& view, Bindings& stack) {
    CallBindings shared;
    sharedOf(call, view, shared);
    stack.raiseBarrier(stack.size());
    for (std::size_t i = 0; i < shared.size(); ++i)
        stack.push(std::move(shared[i].name), std::move(shared[i].value), Table::Inherited);
}

[[gnu::noinline]] Value callBuiltin(const CallSite& call, const View& view, const Value& target,
                                    const CallBindings& bindings, bool method) {
    const NativeFunction native = target.native();
    if (!native) return Value();
    ValueRef self = method ? target.boundObject() : ValueRef();
    if (!call.hasSharing) return native(CallScope(view, bindings, std::move(self)));
    CallBindings shared;
    sharedOf(call, view, shared);
    return native(CallScope(view, bindings, std::move(self), &shared));
}

// Makes a new object from a scaffold: its "origin" body runs behind the
// call's barrier, and the names it creates become the members.
[[gnu::noinline]] Value instantiate(const CallSite& call, Interpreter& interpreter, const Value& scaffold,
                                    std::uint32_t mark) {
    const Item* originMember = scaffold.members().find("origin");
    if (!originMember) throw ScriptError(messages::kNoOrigin);
    const ValueRef origin = originMember->ref();
    const Text originCode = textOf(*origin);
    Bindings& stack = interpreter.bindings();
    return throughCall(call.calleeText, originCode, [&] {
        Frame frame{mark};
        Value ended;
        runInFrame(interpreter, blockOfText(originCode, true), frame, ended);
        Scope members = localTableOf(stack, frame);
        // The run's bindings go first: a member nothing else holds can then
        // live in its word.
        stack.undoTo(mark);
        return *buildObject(members, origin);
    });
}

}  // namespace

Value performCall(std::string_view callText, const View& view) {
    auto site = compileCall(callText);
    return performCall(*site, view);
}

Value performCall(const CallSite& call, const View& view) {
    if (!call.hasCallee) return Value();
    Callee callee(call.callee(), view);

    // Arguments, evaluated left to right, each into a Value of its own. The callee is
    // copied before the first argument that can run code.
    CallBindings bindings;
    if (call.hasArguments) {
        const auto& texts = call.arguments();
        const bool lends = lendsNames(callee.get(), texts);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const Expression& text = *texts[i];
            if (!text.plain) callee.own();
            // A name lent as it is (lendsNames), else a new Value: the one the
            // evaluation made, or a copy of a Value that lies elsewhere.
            Value scratch;
            Cell* named = lends ? namedCell(text, view) : nullptr;
            ValueRef argument = named ? ValueRef(named) : ownCell(evaluateInPlace(text, view, InlineBlocks::On, scratch), scratch);
            // Names given by setargmap, else arg0, arg1, ...
            const ValueExtras* extras = callee.get().extrasBox();
            if (extras && i < extras->argNames.size()) bindings.add(intern(extras->argNames.get()[i]), std::move(argument));
            else bindings.add(argumentName(i), std::move(argument));
        }
    }
    const Value& target = callee.get();
    const bool method = target.bound() && target.boundObject();
    if (target.kind == Kind::CFunc) return callBuiltin(call, view, target, bindings, method);
    if (target.kind != Kind::Func && target.kind != Kind::Scaffold) return Value();

    // The call's bindings are pushed over the caller's, or behind a barrier
    // (a call with a sharing group, an instantiation).
    Interpreter& interpreter = view.interpreter();
    Bindings& stack = interpreter.bindings();
    const BindingMark mark(stack);
    const BarrierKept barrier(stack);
    if (call.hasSharing || target.kind == Kind::Scaffold) pushIsolated(call, view, stack);
    for (std::size_t i = 0; i < bindings.size(); ++i)
        stack.push(std::move(bindings[i].name), std::move(bindings[i].value), Table::Inherited);
    if (method) stack.push(selfName(), target.boundObject(), Table::Inherited);

    // From here on the callee's code runs and may change the Value it was
    // read from: what the call still needs is taken first.
    if (target.kind == Kind::Scaffold) return instantiate(call, interpreter, target, mark.position());
    const Text code = target.text;
    return throughCall(call.calleeText, code, [&] {
        Frame frame{mark.position()};
        Value result = Value::ofInteger(0);
        runInFrame(interpreter, blockOfText(code, true), frame, result);
        return result;
    });
}

}  // namespace vorn
