// Scaffolds and objects: class, member assignment, delete.
//
// A class body runs in a scope of its own (it sees only the builtins); the
// names it creates become the members, plus "origin", the body's text, which
// instantiation runs again for every new object.
#include "exec/Objects.h"

#include "exec/Run.h"
#include "exec/Statements.h"
#include "expr/Evaluator.h"
#include "expr/Operators.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Messages.h"

namespace vorn {

ValueRef buildObject(const Scope& members, const ValueRef& origin) {
    ValueRef object = newValue();
    std::vector<MemberTable::Entry> entries;
    entries.reserve(members.size() + 1);
    members.forEachBinding([&](const SymbolRef& name, const ValueRef& member) {
        if (member->kind == Kind::Func) {
            member->setBound(true);
            member->setBoundObject(object);
        }
        // A plain integer or text that only the body's table refers to, which dies
        // with the run, can live in the member's word.
        if (member.cell()->refCount() == 1 && Item::keptInWord(*member)) entries.push_back({name, Item::of(*member)});
        else entries.push_back({name, Item(member)});
    });
    // Last, so that it replaces a member the body named "origin".
    entries.push_back({intern("origin"), origin});
    object->kind = Kind::Scaffold;
    object->setMembers(MemberTable::of(std::move(entries)));
    return object;
}

void executeClass(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "class needs a name and a body");
    const Operand& name = statement.tokens[0];
    const Text code = textOf(evaluateToken(statement.tokens[1], run.view(), InlineBlocks::Off));
    const Block& body = blockOfText(code, true);

    // The body sees only the builtins.
    Bindings& bindings = run.interpreter.bindings();
    ValueRef object;
    {
        const BindingMark mark(bindings);
        const BindingBarrier barrier(bindings);
        Frame frame{mark.position()};
        Value ended;
        runInFrame(run.interpreter, body, frame, ended);
        Scope members = localTableOf(bindings, frame);
        // The run's bindings go first: a member nothing else holds can then
        // live in its word.
        bindings.undoTo(mark.position());
        object = buildObject(members, newValue(Value::ofText(code)));
    }
    run.bindName(name, object);
}

void executeMemberAssign(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 3, "member assignment needs a member path, an operator and a value");
    // The path token "(p x y)" splits once, like an expression.
    const TokenList& path = statement.tokens[0].groupExpression().tokens;
    if (statement.tokens[0].groupExpression().tooShort) throw ScriptError(messages::kTooShort, "(");

    Cell* target = &requireCell(run, path[0]);
    for (std::size_t i = 1; i < path.size(); ++i) {
        // An empty token can stand for a long run of them.
        for (std::uint32_t step = 0; step < path[i].count(); ++step) {
            const Item* member = target->value.members().find(path[i].text);
            if (!member) throw ScriptError(messages::kNoSuchMember, std::string(path[i].text));
            target = member->cell();
        }
    }
    // The walk ran no code, and neither does a plain value: the name's
    // binding keeps every cell on the path alive. A value that runs code
    // could change the object, so the statement holds its member meanwhile.
    Symbol* name = path.size() == 1 ? View::symbolOf(path[0]) : nullptr;
    const Operand& value = statement.tokens[2];
    const ValueRef hold = isPlainOperand(value) ? ValueRef() : ValueRef(target);
    assignInPlace(run, *target, name, statement.tokens[1], value);
}

void executeDelete(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "delete needs a name");
    requireName(run, statement.tokens[0])->wipe();
}

}  // namespace vorn
