#!/usr/bin/env python3
"""Mutation check of the interpreter's hot paths.

Plants one one-line fault at a time in the source (a wrong operator in the
integer rule, a kind check dropped, arguments taken out of order, ...),
rebuilds the golden runner and runs the golden scripts until one fails. A
fault that no golden script catches survives: it names a script test that
is missing. The source is restored after every fault, also when the check
is interrupted.

Usage: tests/mutate.py [--source DIR] [--build DIR] [--only N,M]

--source is the tree to mutate (default: this checkout); --build a build
folder of that tree configured already (default: DIR/build-mutate, made on
first use). Exits 1 when a fault survives, 2 when a fault's line is not
found (the list must follow the code), 0 when every fault was caught.
"""

import argparse
import importlib
import os
import signal
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# (file, text of the line as it stands, the faulty line, what the fault is).
# Each text must occur exactly once in its file.
FAULTS = [
    ("src/expr/Operators.h", "case Operator::Plus: return wrapAdd(l, r);",
     "case Operator::Plus: return wrapSub(l, r);", "integer + subtracts"),
    ("src/expr/Operators.h", "case Operator::Less: return l < r;",
     "case Operator::Less: return l <= r;", "integer < includes equality"),
    ("src/expr/Operators.h", "case Operator::GreaterEqual: return l >= r;",
     "case Operator::GreaterEqual: return l > r;", "integer >= excludes equality"),
    ("src/expr/Operators.h", "case Operator::Times: return wrapMul(l, r);",
     "case Operator::Times: return wrapAdd(l, r);", "integer * adds"),
    ("src/expr/Operators.h", "case Operator::And: return l != 0 && r != 0;",
     "case Operator::And: return l != 0 || r != 0;", "integer and is or"),
    ("src/expr/Operators.h", "case Operator::Divide: return (l == 0 || r == 0) ? 0 : wrapDiv(l, r);",
     "case Operator::Divide: return (l == 0 || r == 0) ? 0 : wrapDiv(r, l);", "integer / swapped"),
    ("src/expr/Operators.h",
     "if (left.kind == Kind::Integer && right.kind == Kind::Integer) return integerOperator(left.integer, right.integer, op);",
     "if (left.kind == Kind::Integer) return integerOperator(left.integer, right.integer, op);",
     "a row's first step taken as integers whatever the right operand's kind"),
    ("src/expr/Operators.h", "if (op == Operator::Equal) return sameBytes(left.text.view(), right.text.view());",
     "if (op == Operator::Equal) return !sameBytes(left.text.view(), right.text.view());", "text == inverted"),
    ("src/expr/Operators.h", "if (op == Operator::NotEqual) return !sameBytes(left.text.view(), right.text.view());",
     "if (op == Operator::NotEqual) return left.text.size() != right.text.size();",
     "text != compares lengths only"),
    ("src/expr/Operators.h", "if (target.kind == Kind::Integer && right.kind == Kind::Integer) {",
     "if (target.kind == Kind::Integer) {", "compound assignment in place whatever the right operand's kind"),
    ("src/expr/Operators.h", "if (target.hasStalePayload()) return false;",
     "if (false) return false;", "in-place step ignores payloads of an earlier kind"),
    ("src/expr/Evaluator.cpp", "    if (v.kind != Kind::Integer) return false;",
     "    if (false) return false;", "a row's operands taken as integers whatever their kind"),
    ("src/expr/Evaluator.cpp", "        step = integerOperator(result, b.integer, tokens[i].op);",
     "        step = integerOperator(result, b.integer, tokens[1].op);", "a row repeats its first operator"),
    ("src/expr/Evaluator.cpp", "step = integerOperator(result, b, tokens[i].op);",
     "step = integerOperator(b, result, tokens[i].op);", "a row with groups takes its operands the wrong way round"),
    ("src/expr/Evaluator.h", "        scratch.kind = Kind::Integer;",
     "        scratch.kind = Kind::Float;", "a row's result gets the wrong kind"),
    ("src/expr/Evaluator.h",
     "    if (token.form == Operand::Form::Group && integerRow(token.groupExpression(), view, result)) return result;",
     "    if (token.form == Operand::Form::Group && integerRow(token.groupExpression(), view, result)) return result != 0;",
     "an integer operand (a position) read as a truth value"),
    ("src/exec/Control.cpp", "    return evaluateTokenInteger(condition, view, InlineBlocks::On) != 0;",
     "    return evaluateTokenInteger(condition, view, InlineBlocks::On) > 0;", "negative conditions are false"),
    ("src/exec/Statements.h", "        if (applyInPlace(into, right, operatorToken.firstOp)) return;",
     "        if (applyInPlace(into, right, Operator::Plus)) return;", "every compound assignment adds"),
    ("src/expr/Call.cpp", "            const Expression& text = *texts[i];",
     "            const Expression& text = *texts[texts.size() - 1 - i];", "arguments evaluated right to left"),
    ("src/expr/Call.cpp", "            if (!text.plain) callee.own();",
     "            if (false) callee.own();", "callee not copied before an argument runs code"),
    ("src/parse/Code.cpp",
     "    if (text.empty() && !runs_.empty() && runs_.back().text.empty()) joined_ = true;",
     "    if (text.empty() && !runs_.empty()) joined_ = true;", "an empty argument joins the argument before it"),
    ("src/parse/Code.cpp", "    if (run.text.empty() && empty_) return run.expression = empty_;",
     "    if (empty_) return run.expression = empty_;", "every argument after an empty one is empty"),
    ("src/values/Value.h", "if (sameBytes(e->name->text, name)) return &e->value;",
     "if (e->name->text.size() == name.size()) return &e->value;", "a member found by the length of its name"),
    ("src/values/Value.h", "if (block_->count > kScanned) return findByHalves(name);",
     "if (block_->count > kScanned) return nullptr;", "members of a long table not found"),
    ("src/values/Value.cpp", "if (kept > 0 && members[kept - 1].name == members[i].name) members[kept - 1] = std::move(members[i]);",
     "if (kept > 0 && members[kept - 1].name == members[i].name) continue;", "a member named twice keeps its first Value"),
    ("src/values/Convert.cpp", "if (i->name != j->name || !(i->value == j->value)) return false;",
     "if (i->name != j->name) return false;", "objects equal when their member names are"),
    ("src/values/Value.h", "    bool inWord() const { return (w_ & kTagBits) != 0; }",
     "    bool inWord() const { return (w_ & 1) != 0; }", "a text kept in its word taken for a cell"),
    ("src/values/Value.h", "bool operator==(const Item& o) const { return this == &o || (!inWord() && w_ == o.w_); }",
     "bool operator==(const Item& o) const { return this == &o || (!holdsInteger() && w_ == o.w_); }",
     "two texts kept in words that share their bytes are the same element"),
    ("src/values/Value.h", "    return v.kind == Kind::String && v.items.empty() && !v.extrasBox();",
     "    return v.kind == Kind::String && v.items.empty();", "a text element kept in its word loses its rare fields"),
    ("src/values/Value.h", "               (kind != Kind::Integer && integer != 0) || (kind != Kind::List && !items.empty()) ||",
     "               (kind != Kind::List && !items.empty()) ||", "the kind trim keeps the number of another kind"),
    ("src/exec/Control.cpp", "            if (last && last->refCount() == 1) {",
     "            if (last) {",
     "each over a text reuses a character that something still holds"),
    # The stack of bindings.
    ("src/exec/Bindings.h", "        if (at > hidden_) [[likely]] return trail_[at - 1].value.cell();",
     "        if (at > 0) [[likely]] return trail_[at - 1].value.cell();", "a barrier hides nothing"),
    ("src/exec/Bindings.h", "        return name->builtin && !bare_ ? builtins_[name->builtin - 1].second.cell() : nullptr;",
     "        return name->builtin ? builtins_[name->builtin - 1].second.cell() : nullptr;",
     "a bare barrier shows the builtins"),
    ("src/exec/Bindings.h", "        return frame.bothBelow ? Table::Both : Table::Inherited;",
     "        return Table::Inherited;", "an until pass's older bindings taken for the inherited table's only"),
    ("src/exec/Bindings.h", "            b.name->binding = b.hides;", "            b.name->binding = 0;",
     "popping a binding forgets the one it hid"),
    ("src/exec/Bindings.cpp", "    if (both) frame.shadowed = true;", "",
     "a rebinding over a binding both tables hold goes unnoticed"),
    ("src/exec/Bindings.cpp", "        if (visible != value.cell()) bindInherited(name, value, frame);", "",
     "a run keeps a builtin's name bound to another Value"),
    ("src/exec/Run.cpp",
     "    if (table == Table::Inherited || table == Table::Both) bindings.bindInherited(std::move(symbol), std::move(value), frame);",
     "    if (table == Table::Inherited) bindings.bindInherited(std::move(symbol), std::move(value), frame);",
     "list, index, where and class rebind a name of both tables in the local one"),
    ("src/exec/Run.cpp", "    bindings.showLocalWinners(caller.frame);", "",
     "a compare body sees the inherited table win"),
    ("src/exec/Control.cpp", "            if (bindings.ownTables(b.name.get(), frame).second == &b) loopScope.emplace_back(b.name, b.value);",
     "            loopScope.emplace_back(b.name, b.value);", "an until pass keeps what it rebound in the inherited table"),
    ("src/exec/Control.cpp", "            if (bindings.ownTables(b.name.get(), frame).first == &b) kept.emplace_back(b.name, b.value);",
     "            kept.emplace_back(b.name, b.value);", "an each pass keeps the names it created"),
    ("src/exec/Control.cpp", "    mark.keep();", "", "exec drops what it bound"),
    ("src/expr/Call.cpp", "    if (call.hasSharing || target.kind == Kind::Scaffold) pushIsolated(call, view, stack);",
     "    if (call.hasSharing) pushIsolated(call, view, stack);", "instantiation sees the caller's names"),
    ("src/expr/Call.cpp", "        stack.undoTo(mark);", "",
     "members of an instantiation stay bound while the object is built"),
    ("src/values/Heap.cpp", "    if (!c || c != bound || c->refs_ != 2 || c->bindingCount() != 1 || !next.holdsInteger()) return false;",
     "    if (!c || c != bound || !next.holdsInteger()) return false;",
     "each over a list moves on a cell that something else holds"),
    ("src/values/Heap.cpp", "        read(plain);", "        plain = Value::ofText(\"\");",
     "a text element's cell made empty"),
    ("src/exec/Control.cpp", "        frame.keptFrom = loop.position();", "        frame.keptFrom = 0;",
     "an each pass rebinds its caller's names in place"),
    ("src/exec/Run.cpp",
     "    return at > frame.keptFrom && !frame.guarded && bindings.entry(at).table != Table::Both ? at : 0;",
     "    return at > frame.keptFrom && !frame.guarded ? at : 0;",
     "an until pass keeps what it rebound over its loop scope"),
    ("src/exec/Run.cpp", "    if (!cell || cell->refCount() != 1) return", "    if (!cell) return",
     "where and index write over a Value something else holds"),
    ("src/exec/ListIndex.cpp",
     "            const bool equal = element.holdsText() ? sameBytes(element.textInWord(), wantedBytes)",
     "            const bool equal = element.holdsText() ? element.textInWord().size() == wantedBytes.size()",
     "where compares the lengths of texts only"),
    ("src/parse/Code.cpp", "token.form == Operand::Form::Group ? token.text.find_first_of(\"${\") == std::string_view::npos",
     "token.form == Operand::Form::Group ? true", "a group with a call in it counts as running no code"),
    ("src/exec/Run.cpp", "    if (Item::isPlainInteger(value) && Item::isPlainInteger(cell->value)) {",
     "if (Item::isPlainInteger(value)) {", "where writes a position over a text"),
    ("src/values/Text.h",
     "           loadBytes<Word>(a + n - sizeof(Word)) == loadBytes<Word>(b + n - sizeof(Word));",
     "           true;", "short texts equal when their first bytes are"),
    ("src/parse/Code.cpp", "                              !operand.isNot;",
     "                              true;", "a row with not as an operand read as plain operands"),
    ("src/exec/Control.cpp", "if (v.kind == Kind::String && v.integer == 0 && v.items.empty() && !v.extrasBox())",
     "if (v.integer == 0 && v.items.empty() && !v.extrasBox())",
     "each gives the next character to a last Value that is no longer a text"),
    ("src/expr/Call.cpp", "        if (!texts[i]->plain) return false;", "        if (false) return false;",
     "a builtin reads a name that a later argument changed"),
    ("src/builtins/BuiltinTable.cpp", '{"setargmap", builtins::setargmap},', '{"setargmap", builtins::setargmap, true},',
     "setargmap names the caller's own function"),
    ("src/values/Numbers.cpp", "constexpr int kMaxPlainDigits = 19;", "constexpr int kMaxPlainDigits = 20;",
     "a decimal of twenty digits read past 2^64"),
    ("src/expr/Operators.h", "            return r == 0 ? 0.0L : l / r;", "            return l / r;",
     "a float divided by zero in place"),
    ("src/expr/Operators.cpp", "    if (!target.isPlainReal()) return false;", "",
     "a float keeps its other fields through arithmetic in place"),
    ("src/expr/Evaluator.cpp", "        return applyOperator(a, plainValue(tokens[2], view), tokens[1].op);",
     "        return applyOperator(plainValue(tokens[2], view), a, tokens[1].op);",
     "a row of two plain operands applied the wrong way round"),
    ("src/values/Heap.cpp", "        if (isNode(c)) countChildren(c->value, +1);", "",
     "the collector does not put the counts back"),
]


def load_golden():
    # The golden runner sits beside this script; its case reader is reused.
    if HERE not in sys.path:
        sys.path.insert(0, HERE)
    return importlib.import_module("run_golden")


def golden_cases(scripts):
    skip_marks = os.environ.get("VORN_TEST_SKIP", "").split()
    cases = []
    for d, _, files in sorted(os.walk(scripts)):
        for f in sorted(files):
            if not f.endswith(".vorn"):
                continue
            path = os.path.join(d, f)
            if any(os.path.exists(path[: -len(".vorn")] + ".skip." + m) for m in skip_marks):
                continue
            cases.append(path)
    # The groups most likely to catch a fault in the hot paths first.
    first = ("expressions", "control", "calls", "lists", "operators")
    cases.sort(key=lambda p: (0 if any(os.sep + g + os.sep in p for g in first) else 1, p))
    return cases


def first_failure(golden, runner, cases):
    for case in cases:
        problem = golden.run_case(runner, case, False, None)
        if problem:
            return case
    return None


def build(build_dir, source):
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", source, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
    proc = subprocess.run(["cmake", "--build", build_dir, "--target", "vorn_run_script", "-j", "2"],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return proc.returncode == 0, proc.stdout.decode("utf-8", "replace")


def stop_on_kill(signum, frame):
    # A kill ends the run through the same restoring path as Ctrl-C.
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", default=os.path.dirname(HERE))
    parser.add_argument("--build")
    parser.add_argument("--only")
    args = parser.parse_args()
    source = os.path.abspath(args.source)
    build_dir = os.path.abspath(args.build or os.path.join(source, "build-mutate"))
    chosen = range(len(FAULTS)) if not args.only else [int(n) for n in args.only.split(",")]

    for i in chosen:
        path, line, _, what = FAULTS[i]
        count = open(os.path.join(source, path), encoding="utf-8").read().count(line)
        if count != 1:
            print(f"fault {i} ({what}): its line occurs {count} times in {path}")
            return 2
    if not chosen:
        print("no faults to plant")
        return 2

    golden = load_golden()
    runner = [os.path.join(build_dir, "tests", "vorn_run_script")]
    cases = golden_cases(os.path.join(source, "tests", "scripts"))
    if not cases:
        print("no golden scripts found")
        return 2
    ok, log = build(build_dir, source)
    if not ok or first_failure(golden, runner, cases[:40]):
        print("the unmutated tree does not build or pass:\n" + log[-3000:])
        return 2

    signal.signal(signal.SIGTERM, stop_on_kill)
    survivors = []
    for i in chosen:
        path, line, faulty, what = FAULTS[i]
        full = os.path.join(source, path)
        original = open(full, encoding="utf-8").read()
        try:
            open(full, "w", encoding="utf-8").write(original.replace(line, faulty))
            ok, log = build(build_dir, source)
            caught = "does not build" if not ok else first_failure(golden, runner, cases)
        finally:
            open(full, "w", encoding="utf-8").write(original)
        if caught:
            print(f"fault {i:2} caught   {what}: {os.path.relpath(caught, source) if ok else caught}", flush=True)
        else:
            print(f"fault {i:2} SURVIVED {what}", flush=True)
            survivors.append(i)
    build(build_dir, source)
    print(f"mutation check: {len(chosen) - len(survivors)} of {len(chosen)} faults caught")
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
