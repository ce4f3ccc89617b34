// The control statements: compare, until, each, end, exec and also.
//
// Bodies are runs of their own in the interpreter's bindings; what each
// statement keeps of a body's bindings when it ends decides what survives
// it (exec/Run.h). A body that ended through `end` ends the enclosing
// run too, with the body's return value.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "exec/Run.h"
#include "exec/StatementLoop.h"
#include "exec/Statements.h"
#include "exec/Trim.h"
#include "exec/Where.h"
#include "expr/Evaluator.h"
#include "platform/Platform.h"
#include "values/Convert.h"
#include "values/Depth.h"
#include "values/Error.h"

namespace vorn {

namespace {

// Whether a condition holds: its integer form is not 0.
bool conditionHolds(const Operand& condition, const View& view) {
    return evaluateTokenInteger(condition, view, InlineBlocks::On) != 0;
}

// exec and also run code in the run's own tables: what it binds stays,
// unless it fails. An `end` in the code ends that code only.
void runText(Run& run, const Text& code) {
    const Block& block = blockOfText(code, false);
    BindingMark mark(run.interpreter.bindings());
    Value ended;
    runInFrame(run.interpreter, block, run.frame, ended);
    mark.keep();
}

}  // namespace

void executeCompare(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "compare needs a condition and a body");
    if (!conditionHolds(statement.tokens[0], run.view())) return;
    const Block& body = statement.tokens[1].inlineBody();
    const ErrorBoundary boundary = run.boundary == ErrorBoundary::No ? ErrorBoundary::No : ErrorBoundary::Within;
    runDropping(run, body, boundary);
}

void executeUntil(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "until needs a condition and a body");
    // Each pass runs with the loop scope as both of its tables: the local
    // table is the loop scope itself, and the inherited one a copy of it
    // taken at the start of the pass. Written back in that order, the local
    // table wins, so whatever the pass rebound in the inherited table is
    // lost and the loop scope ends the pass as its local table; a failed
    // pass ends the loop statement, which drops the loop scope.
    //
    // The loop scope starts as what the run sees (its local table winning)
    // and is kept as the bindings it adds to that: they are pushed for each
    // pass, as bindings of both tables, and taken again from the pass's
    // local table when it ends. The condition sees the run's own tables,
    // never the loop scope.
    Bindings& bindings = run.interpreter.bindings();
    std::vector<std::pair<SymbolRef, ValueRef>> loopScope;
    {
        const BindingMark start(bindings);
        bindings.showLocalWinners(run.frame);
        for (std::uint32_t at = start.position() + 1; at <= bindings.size(); ++at)
            loopScope.emplace_back(bindings.entry(at).name, bindings.entry(at).value);
    }
    const ErrorBoundary boundary = run.boundary == ErrorBoundary::Program ? ErrorBoundary::Yes : run.boundary;
    // The passes' boundary flag is the one the condition runs under too
    // (true for every boundary but No), so it is set once for the loop.
    const BoundaryScope boundaryScope(run.interpreter, boundary);
    while (conditionHolds(statement.tokens[0], run.view())) {
        const Block& body = statement.tokens[1].inlineBody();
        const BindingMark pass(bindings);
        for (auto& [name, value] : loopScope) bindings.push(name, value, Table::Both);
        Frame frame{pass.position(), true};
        const DepthGuard depth;
        if (runPass(run.interpreter, body, frame, run.returnValue, boundary)) {
            run.returned = true;
            return;
        }
        const std::uint32_t passOwn = pass.position() + static_cast<std::uint32_t>(loopScope.size());
        if (bindings.size() == passOwn) continue;
        // Names the pass created or rebound in the local table join the loop
        // scope, newest first. When the pass bound nothing in its local
        // table, that is the loop scope as it was pushed, reversed.
        bool localChanged = false;
        for (std::uint32_t at = bindings.size(); at > passOwn && !localChanged; --at)
            localChanged = bindings.entry(at).table != Table::Inherited;
        if (!localChanged) {
            std::reverse(loopScope.begin(), loopScope.end());
            continue;
        }
        loopScope.clear();
        for (std::uint32_t at = bindings.size(); at > pass.position(); --at) {
            const Binding& b = bindings.entry(at);
            if (bindings.ownTables(b.name.get(), frame).second == &b) loopScope.emplace_back(b.name, b.value);
        }
    }
}

void executeEach(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "each needs a sequence and a body");
    const Value sequence = evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On);
    const Block& body = statement.tokens[1].inlineBody();

    // The loop scope starts as what the run sees (its local table winning),
    // and holds "element". Each pass runs with it as its inherited table and
    // a local table of its own, new and empty: names the pass created are
    // dropped before the next element is bound, and names it rebound in the
    // loop scope stay rebound for the passes after it.
    static const SymbolRef kElement = intern("element");
    Bindings& bindings = run.interpreter.bindings();
    const BindingMark loop(bindings);
    bindings.showLocalWinners(run.frame);

    Text text;
    const char* byte = nullptr;
    std::size_t bytesLeft = 0;
    // sequence shares the item box with the list, so the box cannot change
    // in place while the passes run: a change to the list copies it first.
    const Item* at = nullptr;
    const Item* end = nullptr;
    if (sequence.kind == Kind::String) {
        text = sequence.text;
        byte = text.view().data();
        bytesLeft = text.size();
    } else {
        at = sequence.items.get().data();
        end = at + sequence.items.get().size();
    }
    const Item* previous = nullptr;
    const Item* current = nullptr;
    std::vector<std::pair<SymbolRef, ValueRef>> kept;
    // Nothing runs between passes, so what each pass's run would set up
    // alike is set up once for the loop.
    const DepthGuard depth;
    const BoundaryScope boundaryScope(run.interpreter, ErrorBoundary::No);
    while (true) {
        // `element` is the element itself, so an element kept as an
        // integer gets its cell for its pass; once the next pass has run,
        // a cell that nothing else took a reference to goes back to a
        // word, so walking a list of integers leaves it as small as it was.
        if (previous) previous->keepAsIntegerIfAlone();
        previous = current;
        current = nullptr;
        if (bytesLeft > 0) {
            // The characters of a text are made one at a time. The last
            // one's Value, when nothing but its binding refers to it any
            // more, takes the next character in place.
            --bytesLeft;
            const std::uint32_t bound = kElement->binding;
            Cell* last = bound > loop.position() && bound > 0 ? bindings.find(kElement.get()) : nullptr;
            if (last && last->refCount() == 1) {
                // Its text alone changes when the last character is all it holds.
                Value& v = last->value;
                if (v.kind == Kind::String && v.integer == 0 && v.items.empty() && !v.extrasBox())
                    v.text = Text::ofByte(*byte++);
                else
                    v = Value::ofText(Text::ofByte(*byte++));
            } else bindings.setFrom(loop.position(), kElement, newValue(Value::ofText(Text::ofByte(*byte++))));
        } else if (at != end) {
            current = at++;
            // The last element's cell, when nothing but the list and the
            // loop's binding refer to it, moves on to this element.
            const std::uint32_t bound = kElement->binding;
            const Cell* last = bound > loop.position() ? bindings.find(kElement.get()) : nullptr;
            if (previous && previous->passCellTo(*current, last)) previous = nullptr;
            else bindings.setFrom(loop.position(), kElement, current->ref());
        } else {
            break;
        }
        // A failed pass drops the loop scope with everything above it (loop).
        const std::uint32_t pass = bindings.size();
        Frame frame{pass};
        frame.keptFrom = loop.position();
        if (runPass(run.interpreter, body, frame, run.returnValue, ErrorBoundary::No)) {
            if (previous) previous->keepAsIntegerIfAlone();
            run.returned = true;
            return;
        }
        if (bindings.size() == pass) continue;
        // What the pass rebound in the loop scope stays there.
        kept.clear();
        for (std::uint32_t p = bindings.size(); p > pass; --p) {
            const Binding& b = bindings.entry(p);
            if (bindings.ownTables(b.name.get(), frame).first == &b) kept.emplace_back(b.name, b.value);
        }
        bindings.undoTo(pass);
        for (auto& [name, value] : kept) bindings.setFrom(loop.position(), name, std::move(value));
    }
}

void executeEnd(Run& run, const PreparedStatement& statement) {
    if (!statement.tokens.empty()) {
        Value scratch;
        run.returnValue = ownValue(evaluateTokenInPlace(statement.tokens[0], run.view(), InlineBlocks::On, scratch), scratch);
    }
    run.returned = true;
}

void executeExec(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "exec needs the code to run");
    const Text code = textOf(evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On));
    // The interactive loop's own exec runs the line typed at the prompt.
    const bool typed = run.interpreter.inBoundaryExec();
    if (typed) recordPromptEntry(run.interpreter, code.view());
    throughExec(code, typed, [&] { runText(run, code); });
}

void executeAlso(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "also needs a file name");
    const std::string fileName = textOf(evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On)).str() + ".VORN";
    const std::string inLibrary = "lib/" + fileName;
    const std::string path = platform::exists(inLibrary) ? inLibrary : fileName;

    if (run.interpreter.alsoProgress) {
        platform::writeOut("reading file...\n");
        platform::flushOut();
    }
    std::size_t lines = 0;
    std::string program = platform::readSourceText(path, lines);
    if (run.interpreter.alsoProgress)
        for (std::size_t i = 0; i < lines; ++i) platform::writeOut("line " + std::to_string(i) + "\r");
    if (run.interpreter.alsoProgress) {
        platform::writeOut("\n");
        platform::flushOut();
        platform::writeOut("OK.\n");
        platform::flushOut();
    }
    const Text text(std::move(program));
    recordFile(run.interpreter, path, text.view());
    throughFile(path, text.view(), [&] { runText(run, text); });
}

}  // namespace vorn
