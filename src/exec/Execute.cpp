// Assignment and the call statement.
#include "exec/NearName.h"
#include "exec/Objects.h"
#include "exec/Run.h"
#include "exec/Statements.h"
#include "exec/Trim.h"
#include "expr/Evaluator.h"
#include "platform/Platform.h"
#include "values/Error.h"
#include "values/Limits.h"
#include "values/Numbers.h"
#include "values/Messages.h"

namespace vorn {

void missingTokens(const char* what) { throw ScriptError(messages::kMissingToken, what); }

void unknownName(const Run& run, const Operand& name) {
    throw ScriptError(messages::kUnknownName, std::string(name.text) + nearNameHint(name.text, run.view()));
}

ValueRef requireName(const Run& run, const Operand& name) {
    ValueRef v = run.findName(name);
    if (!v) unknownName(run, name);
    return v;
}

void assignInPlace(Run& run, Cell& target, Symbol* targetName, const Operand& operatorToken,
                   const Operand& valueToken) {
    const View& view = run.view();
    if (isPlainOperand(valueToken)) return assignPlain(target, targetName, operatorToken, plainValue(valueToken, view));
    Value& into = target.value;
    const bool compound = operatorToken.text.size() >= 2;
    if (compound) {
        Value scratch;
        const Value& right = evaluateTokenInPlace(valueToken, view, InlineBlocks::Off, scratch);
        if (applyInPlace(into, right, operatorToken.firstOp)) return;
        Value result = applyOperator(into, right, operatorToken.firstOp);
        into = std::move(result);
    } else if (valueToken.form != Operand::Form::Group && !valueToken.isNot) {
        // A call's result (or a block's) goes straight into the target.
        into = evaluateAlone(valueToken, view, InlineBlocks::Off);
    } else {
        Value scratch;
        const Value& value = evaluateTokenInPlace(valueToken, view, InlineBlocks::Off, scratch);
        if (&value == &scratch) into = std::move(scratch);
        else if (&value != &into) into = value;
    }
    if (into.hasStalePayload()) noteStale(ValueRef(&target), targetName);
}

void executeCall(Run& run, const PreparedStatement& statement) {
    const Operand& call = statement.tokens[0];
    performCall(call.callSite(), run.view());
}

void spendStatementSlow(Interpreter& interpreter) {
    interpreter.spendStatement();
    if (platform::gInterruptRequested) {
        platform::gInterruptRequested = 0;
        throw ScriptError("interrupted");
    }
}

}  // namespace vorn
