// The checker's walk for the silent traps (see Traps.h).
#include "check/Traps.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check/Walker.h"
#include "parse/Code.h"
#include "parse/Splitter.h"
#include "values/Error.h"

namespace vorn::check {

namespace {

bool wordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether text holds name as a whole word.
bool mentions(std::string_view text, std::string_view name) {
    for (std::size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        const bool startsWord = at == 0 || !wordByte(text[at - 1]);
        const std::size_t end = at + name.size();
        if (startsWord && (end == text.size() || !wordByte(text[end]))) return true;
    }
    return false;
}

bool isNumber(std::string_view token) {
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    bool digits = false;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i, digits = true;
    if (i < token.size() && token[i] == '.') ++i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i, digits = true;
    if (digits && i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
    }
    return digits && i == token.size();
}

bool startsLikeLiteral(std::string_view token) {
    if (token.empty()) return false;
    std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
    if (i < token.size() && token[i] == '.') ++i;
    return token[0] == '"' || token[0] == '\'' || (i < token.size() && token[i] >= '0' && token[i] <= '9');
}

// `a*b`: an operand of two words joined by an operator, which the evaluator
// reads as one name. Returns the token written with blanks, or "".
std::string blanksAroundOperator(std::string_view token) {
    if (token.empty() || !wordByte(token[0]) || isNumber(token)) return "";
    std::size_t i = 0;
    while (i < token.size() && (wordByte(token[i]) || token[i] == '.')) ++i;
    if (i == 0 || i == token.size()) return "";
    static constexpr std::string_view kOperators[] = {"==", "!=", "<=", ">=", "->", "+", "-", "*", "/", "<", ">"};
    for (const std::string_view op : kOperators) {
        if (token.substr(i, op.size()) != op) continue;
        const std::size_t rest = i + op.size();
        if (rest >= token.size() || !(wordByte(token[rest]) || token[rest] == '(' || token[rest] == '"')) return "";
        std::string fixed = "(";
        fixed.append(token.substr(0, i));
        fixed.push_back(' ');
        fixed.append(op);
        fixed.push_back(' ');
        fixed.append(token.substr(rest));
        fixed.push_back(')');
        return fixed;
    }
    return "";
}

// Another language's statement word, and what VORN writes instead.
const char* foreignKeyword(std::string_view word) {
    static const std::map<std::string_view, const char*> kWords = {
        {"if", "compare (condition) { ... }"},
        {"elif", "another compare (condition) { ... }"},
        {"else", "a second compare with the opposite condition: compare (not condition) { ... }"},
        {"while", "until (condition) { ... }, which repeats while the condition holds"},
        {"for", "each (list) { ... }, which names the current element element"},
        {"foreach", "each (list) { ... }, which names the current element element"},
        {"def", "name = { ... } (the arguments arrive as arg0, arg1, ...)"},
        {"function", "name = { ... } (the arguments arrive as arg0, arg1, ...)"},
        {"func", "name = { ... } (the arguments arrive as arg0, arg1, ...)"},
        {"return", "end value"},
    };
    const auto it = kWords.find(word);
    return it == kWords.end() ? nullptr : it->second;
}

bool ownName(std::string_view name) {
    if (name == "self" || name == "element") return true;
    if (name.size() < 4 || name.substr(0, 3) != "arg") return false;
    for (const char c : name.substr(3))
        if (c < '0' || c > '9') return false;
    return true;
}

enum class BodyKind { Text, Function, Compare, Each, Until, Inline, Class };

// A block being walked, and the blocks around it. Every text here is a view
// into the checked text, which outlives the walk: nothing the walk keeps is
// a copy, so its memory stays in proportion to that text however deep the
// blocks and groups nest.
struct Context {
    Context* outer = nullptr;
    BodyKind kind = BodyKind::Text;
    std::string_view function;  // Function: the name the body is assigned to
    std::shared_ptr<const Block> block;
    std::size_t index = 0;             // of the statement being walked
    std::set<std::string_view> bound;  // names bound in this block so far
    // Function: names assigned anywhere in the body so far.
    std::set<std::string_view> assigned;
};

// The statement being walked: for the recursion trap.
struct Current {
    std::string_view target;
    bool compound = false;
    int line = 0;
    bool reported = false;
};

// A call with a sharing group, resolved when every definition is known
// (taken apart again then).
struct SharedCall {
    std::string_view token;
    std::string_view callee;
    int line;
};

class TrapWalker {
public:
    explicit TrapWalker(std::vector<Finding>& findings) : findings_(findings) {}

    void walk(std::string_view text) {
        Context top;
        block(text, 1, top, 0);
        hiddenFunctions();
    }

private:
    void warn(int line, const char* code, std::string text) {
        findings_.push_back({line, Severity::Warning, code, std::move(text)});
    }

    void block(std::string_view code, int line, Context& context, int depth) {
        if (depth > kMaxCheckDepth) return;
        try {
            checkSplit(code);
            context.block = viewBlock(code, static_cast<std::uint32_t>(line - 1));
        } catch (const UnbalancedText&) {
            return;  // the first walk reports it
        } catch (const ScriptError&) {
            return;
        }
        const auto& statements = context.block->statements;
        for (std::size_t i = 0; i < statements.size(); ++i) {
            context.index = i;
            const PreparedStatement& statement = statements[i];
            if (statement.kind == StatementKind::Empty || statement.kind == StatementKind::EmptyRun) continue;
            current_ = {};
            const int at = static_cast<int>(statement.line) + 1;
            std::vector<Located> tokens;
            tokens.reserve(statement.tokens.size());
            for (const Operand& token : statement.tokens) tokens.push_back({token.text, at + static_cast<int>(token.line)});
            this->statement(statement.kind, tokens, context, depth);
        }
    }

    void statement(StatementKind kind, const std::vector<Located>& tokens, Context& context, int depth) {
        if (tokens.empty()) return;
        switch (kind) {
            case StatementKind::Assign: return assignment(tokens, context, depth);
            case StatementKind::MemberAssign:
                if (tokens.size() >= 3) operand(tokens[2], context, depth, true);
                return;
            case StatementKind::Call: return call(tokens[0], context, depth);
            case StatementKind::Compare:
            case StatementKind::Until:
            case StatementKind::Each: return loop(kind, tokens, context, depth);
            case StatementKind::List: return rebinding("list", tokens[0], tokens, context, depth);
            case StatementKind::Index:
            case StatementKind::Where:
                if (tokens.size() >= 2) operand(tokens[1], context, depth, false);
                if (tokens.size() >= 3)
                    rebinding(kind == StatementKind::Index ? "index" : "where", tokens[2], tokens, context, depth);
                return;
            case StatementKind::Add:
            case StatementKind::Remove:
                if (tokens.size() >= 2) operand(tokens[1], context, depth, false);
                return;
            case StatementKind::End:
            case StatementKind::Exec:
            case StatementKind::Also: return operand(tokens[0], context, depth, false);
            case StatementKind::Class:
                if (tokens.size() >= 2 && !tokens[1].text.empty() && tokens[1].text[0] == '{')
                    body(tokens[1], BodyKind::Class, "", context, depth);
                return;
            default: return;
        }
    }

    void assignment(const std::vector<Located>& tokens, Context& context, int depth) {
        const Located& target = tokens[0];
        const std::string_view name = target.text;
        if (name[0] == '#' || name.substr(0, 2) == "//") {
            warn(target.line, code::kCommentLine,
                 quoted(shown(name)) + " starts no comment (VORN has none): this line is an assignment to a "
                 "variable named " + quoted(shown(name)) + "; delete it, or keep the note in a text: NOTE = \"...\"");
            return;
        }
        if ((name[0] == '"' || name[0] == '\'') && tokens.size() < 3) {
            warn(target.line, code::kCommentLine,
                 "a line of only a text is no comment (VORN has none): it is read as an assignment and fails; "
                 "delete it, or keep the note in a variable: NOTE = " + shown(name));
            return;
        }
        if (const char* instead = foreignKeyword(name)) {
            warn(target.line, code::kForeignKeyword,
                 quoted(name) + " is no statement of VORN: this line assigns to a variable named " + quoted(name) +
                     "; write " + instead);
            return;
        }
        if (tokens.size() < 3) return;
        if (startsLikeLiteral(name)) {
            const std::string op(tokens[1].text);
            warn(target.line, code::kLiteralTarget,
                 quoted(shown(name)) + " is a literal, but as the first word of a line it names a variable: from here "
                 "on " + shown(name) + " is read as that variable wherever it stands; to compute a value write x = (" +
                     shown(name) + " " + (op == "=" ? "+" : op.substr(0, 1)) + " " + shown(tokens[2].text) +
                     "), to show it $print$(x)");
            return;
        }
        const Located& value = tokens[2];
        current_ = {name, tokens[1].text.size() >= 2, target.line, false};
        if (!value.text.empty() && value.text[0] == '{') {
            definitions_[name] = value.text;
            body(value, BodyKind::Function, name, context, depth);
        } else {
            operand(value, context, depth, true);
        }
        current_ = {};
        context.bound.insert(name);
        if (Context* function = enclosingFunction(context)) function->assigned.insert(name);
    }

    void loop(StatementKind kind, const std::vector<Located>& tokens, Context& context, int depth) {
        std::vector<std::string_view> texts;
        for (const Located& token : tokens) texts.push_back(token.text);
        const char* word = kind == StatementKind::Compare ? "compare" : kind == StatementKind::Until ? "until" : "each";
        if (conditionIsSpread(texts)) {
            std::string condition;
            std::size_t i = 0;
            for (; i < tokens.size() && (tokens[i].text.empty() || tokens[i].text[0] != '{'); ++i) {
                if (!condition.empty()) condition += ' ';
                condition += tokens[i].text;
            }
            warn(tokens[1].line, code::kSpreadCondition,
                 std::string("the condition of ") + word + " is one token, so only " + quoted(shown(tokens[0].text)) +
                     " is tested and " + quoted(shown(tokens[1].text)) + " is taken as the body; put the condition "
                     "in parentheses: " + word + " (" + condition + ") {");
            if (i < tokens.size()) body(tokens[i], BodyKind::Compare, "", context, depth);
            return;
        }
        operand(tokens[0], context, depth, false);
        if (tokens.size() >= 2 && !tokens[1].text.empty() && tokens[1].text[0] == '{') {
            const BodyKind bodyKind = kind == StatementKind::Compare ? BodyKind::Compare
                                      : kind == StatementKind::Each  ? BodyKind::Each
                                                                     : BodyKind::Until;
            body(tokens[1], bodyKind, "", context, depth);
        }
    }

    void rebinding(const char* word, const Located& name, const std::vector<Located>&, Context& context, int) {
        const std::string_view bound = name.text;
        if (context.kind == BodyKind::Compare || context.kind == BodyKind::Each) {
            // Bound before this body in a block around it, and read there
            // after the body: the reader means the rebinding to last.
            for (const Context* outer = context.outer; outer; outer = outer->outer) {
                // A function sees its caller's names: a name bound before the
                // function was defined is the one it changes.
                if (!outer->bound.count(bound)) {
                    if (outer->kind == BodyKind::Class) break;
                    continue;
                }
                if (!readAfter(bound, context.outer, outer)) break;
                const char* body = context.kind == BodyKind::Compare ? "compare" : "each";
                warn(name.line, code::kRebindInBody,
                     quoted(word) + " rebinds " + quoted(bound) + " only inside this " + body + " body, so the " +
                         std::string(bound) + " outside keeps its old value after it; " + word +
                         " into a new name here and assign it: " + std::string(bound) + " = NEWNAME");
                break;
            }
        }
        context.bound.insert(bound);
    }

    // Whether name is read in a statement after the current one, in from or
    // any block around it up to (and including) to.
    static bool readAfter(std::string_view name, const Context* from, const Context* to) {
        for (const Context* c = from; c; c = c->outer) {
            const auto& statements = c->block->statements;
            for (std::size_t i = c->index + 1; i < statements.size(); ++i)
                for (const Operand& token : statements[i].tokens)
                    if (mentions(token.text, name)) return true;
            if (c == to) break;
        }
        return false;
    }

    static Context* enclosingFunction(Context& context) {
        for (Context* c = &context; c; c = c->outer) {
            if (c->kind == BodyKind::Function) return c;
            if (c->kind == BodyKind::Class || c->kind == BodyKind::Text) return nullptr;
        }
        return nullptr;
    }

    void body(const Located& token, BodyKind kind, std::string_view function, Context& context, int depth) {
        const std::string_view text = token.text;
        if (text.size() < 2 || text.front() != '{' || text.back() != '}') return;
        Context inner;
        inner.outer = &context;
        inner.kind = kind;
        inner.function = function;
        const Current saved = current_;
        if (kind == BodyKind::Function || kind == BodyKind::Class) current_ = {};
        block(text.substr(1, text.size() - 2), token.line, inner, depth + 1);
        current_ = saved;
    }

    // An operand: a group, a call, an inline block or a plain token.
    void operand(const Located& token, Context& context, int depth, bool value) {
        if (depth > kMaxCheckDepth || token.text.empty()) return;
        switch (token.text[0]) {
            case '$': return call(token, context, depth);
            case '{':
                if (!value) body(token, BodyKind::Inline, "", context, depth);
                return;
            case '(': return group(token.text.substr(1, token.text.size() - 2), token.line, context, depth);
            default: return plain(token);
        }
    }

    // Walks the operands of a group's first statement (the only one that
    // counts) while the splitter cuts them, keeping none: a group of a
    // million operands costs no more memory than one. A group that does not
    // split is the first walk's to report, and none of its operands is walked.
    void group(std::string_view inside, int line, Context& context, int depth) {
        try {
            checkSplit(inside);
            GroupOperands operands(*this, context, line, depth + 1);
            scanStatements(inside, operands);
        } catch (const ScriptError&) {
        } catch (const UnbalancedText&) {
        }
    }

    class GroupOperands final : public TokenSink {
    public:
        GroupOperands(TrapWalker& walker, Context& context, int line, int depth)
            : walker_(walker), context_(context), line_(line), depth_(depth) {}

        void token(std::string_view token) override {
            if (done_) return;
            walker_.operand({token, line_}, context_, depth_, false);
            line_ += lineEnds(token);
        }
        void statementEnd() override { done_ = true; }

    private:
        TrapWalker& walker_;
        Context& context_;
        int line_;
        int depth_;
        bool done_ = false;
    };

    void plain(const Located& token) {
        const std::string fixed = blanksAroundOperator(token.text);
        if (fixed.empty()) return;
        warn(token.line, code::kOperatorInName,
             quoted(shown(token.text)) + " is one token, read as a name, because an operator needs a blank on each "
             "side; write " + fixed);
    }

    void call(const Located& token, Context& context, int depth) {
        if (depth > kMaxCheckDepth) return;
        // A call the interpreter cannot take apart fails when run; the first
        // walk says what it can about it.
        try {
            callParts(token, context, depth);
        } catch (const ScriptError&) {
        } catch (const UnbalancedText&) {
        }
    }

    void callParts(const Located& token, Context& context, int depth) {
        // The pieces view the token: a call nested in the arguments of a
        // call nested ... is not copied at every level.
        const std::shared_ptr<const CallSite> site = viewCall(token.text);
        if (!site->hasCallee) return;
        // Pieces of a group split by sharing pieces are joined into a copy
        // the site owns; what the walk records views it until the end.
        if (!site->joinedArguments.empty() || !site->joinedSharing.empty()) joinedSites_.push_back(site);
        const std::string_view callee = site->calleeText;
        if (!callee.empty() && callee[0] == '(') group(callee.substr(1, callee.size() - 2), token.line, context, depth);
        if (site->hasSharing) {
            site->sharedNames();  // a malformed group fails the call here, not when the calls are resolved
            sharedCalls_.push_back({token.text, callee, token.line});
        } else {
            recursion(token, callee, context);
        }
        if (site->hasArguments && site->argumentGroup.size() >= 3)
            group(site->argumentGroup.substr(2, site->argumentGroup.size() - 3), token.line, context, depth);
    }

    // A function that calls itself without a sharing group while one of its
    // own names holds a value it still needs.
    void recursion(const Located& token, std::string_view callee, Context& context) {
        Context* function = enclosingFunction(context);
        if (!function || function->function != callee || current_.reported) return;
        // The name this statement adds to first: that is the one in use.
        if (current_.compound && function->assigned.count(current_.target) && recursionShares(token, callee, current_.target, context, *function))
            return;
        for (const std::string_view name : function->assigned)
            if (recursionShares(token, callee, name, context, *function)) return;
    }

    // Reports the recursive call token when it changes name, one of the
    // function's own names, before the caller is done with it.
    bool recursionShares(const Located& token, std::string_view callee, std::string_view name, Context& context,
                         const Context& function) {
        if (ownName(name)) return false;
        // A plain assignment's target gets its value after the call.
        if (!current_.compound && current_.target == name) return false;
        const bool compound = current_.compound && current_.target == name;
        if (!compound && !readAfter(name, &context, &function)) return false;
        current_.reported = true;
        const std::string shared(name);
        warn(token.line, code::kSharedRecursion,
             "the call " + quoted(shown(token.text)) + " shares this call's " + quoted(shared) +
                 " (a call sees its caller's names), so it changes " + shared + " before this call is done with "
                 "it; share only the function: " + shown(token.text) + "$L(" + std::string(callee) + ")");
        return true;
    }

    void hiddenFunctions() {
        for (const SharedCall& call : sharedCalls_) {
            const auto definition = definitions_.find(call.callee);
            if (definition == definitions_.end()) continue;
            const std::string_view text = definition->second;
            const std::shared_ptr<const CallSite> site = viewCall(call.token);
            const auto& shared = site->sharedNames();
            std::vector<std::string> hidden;
            for (std::size_t at = text.find('$'); at != std::string_view::npos; at = text.find('$', at + 1)) {
                std::size_t end = at + 1;
                while (end < text.size() && wordByte(text[end])) ++end;
                const std::string called(text.substr(at + 1, end - at - 1));
                if (called.empty() || (called == "L" && end < text.size() && text[end] == '(')) continue;
                if (!definitions_.count(called)) continue;
                bool known = false;
                for (const SymbolRef& name : shared) known = known || name->text == called;
                for (const std::string& name : hidden) known = known || name == called;
                if (!known) hidden.push_back(called);
            }
            if (hidden.empty()) continue;
            std::string names, fixed(site->sharingGroup);
            if (fixed.size() >= 2 && fixed.back() == ')') fixed.pop_back();
            for (std::size_t i = 0; i < hidden.size(); ++i) {
                names += (i == 0 ? "" : i + 1 == hidden.size() ? " and " : ", ") + quoted(hidden[i]);
                if (fixed.size() > 3) fixed.push_back(' ');
                fixed += hidden[i];
            }
            fixed.push_back(')');
            warn(call.line, code::kHiddenFunction,
                 "the sharing group " + std::string(site->sharingGroup) + " hides " + names + " from " +
                     quoted(call.callee) +
                     ", which calls " + (hidden.size() == 1 ? "it" : "them") + ", so that call fails; share " +
                     (hidden.size() == 1 ? "it" : "them") + " too: " + fixed);
        }
    }

    std::vector<Finding>& findings_;
    Current current_;
    std::map<std::string_view, std::string_view> definitions_;
    std::vector<SharedCall> sharedCalls_;
    std::vector<std::shared_ptr<const CallSite>> joinedSites_;
};

}  // namespace

bool conditionIsSpread(const std::vector<std::string_view>& tokens) {
    if (tokens.size() < 3 || tokens[1].empty() || tokens[1][0] == '{') return false;
    for (std::size_t i = 2; i < tokens.size(); ++i)
        if (!tokens[i].empty() && tokens[i][0] == '{') return tokens[0] == "not" || isBinaryOperator(tokens[1]);
    return false;
}

bool targetIsTrap(std::string_view target, std::size_t tokenCount) {
    if (target.empty()) return false;
    if (target[0] == '#' || target.substr(0, 2) == "//" || foreignKeyword(target)) return true;
    if ((target[0] == '"' || target[0] == '\'') && tokenCount < 3) return true;
    return tokenCount >= 3 && startsLikeLiteral(target);
}

void findTraps(std::string_view text, std::vector<Finding>& findings) { TrapWalker(findings).walk(text); }

}  // namespace vorn::check
