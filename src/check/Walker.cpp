// The checker's walk over blocks and statements.
#include "check/Walker.h"

#include <algorithm>

#include "check/Traps.h"
#include "parse/Splitter.h"
#include "values/Depth.h"
#include "values/Error.h"

namespace vorn::check {

namespace {

bool isAssignmentOperator(std::string_view token) {
    return token == "=" || token == "+=" || token == "-=" || token == "*=" || token == "/=";
}

// The row "a + b - c" that starts at tokens[from]: an operand followed by
// operator-operand pairs as long as the operator position holds an operator.
std::string expressionRun(const std::vector<Located>& tokens, std::size_t from) {
    std::string run(tokens[from].text);
    for (std::size_t i = from + 1; i + 1 < tokens.size() && isBinaryOperator(tokens[i].text); i += 2) {
        run += ' ';
        run += tokens[i].text;
        run += ' ';
        run += tokens[i + 1].text;
    }
    return run;
}

// What a compound assignment with this operator's first character does.
std::string assignmentEffect(char first, std::string_view target, std::string_view value) {
    const std::string t(target), v(value);
    switch (first) {
        case '+': return "adds " + v + " to " + t;
        case '-': return "subtracts " + v + " from " + t;
        case '*': return "multiplies " + t + " by " + v;
        case '/': return "divides " + t + " by " + v;
        case '<':
        case '>': return "stores the comparison (" + t + " " + first + " " + v + "), 1 or 0, in " + t;
        default: return "stores an unspecified value in " + t + " (\"" + std::string(1, first) + "\" is no operator)";
    }
}

}  // namespace

int lineEnds(std::string_view text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::string shown(std::string_view token) {
    constexpr std::size_t kLongest = 40;
    const std::size_t end = token.find('\n');
    std::string out(token.substr(0, std::min(end, kLongest)));
    if (end != std::string_view::npos || token.size() > kLongest) out += "...";
    return out;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    out += text;
    out += '"';
    return out;
}

std::string grouped(std::string_view text) {
    std::string out = "(";
    out += text;
    out += ')';
    return out;
}

bool isBinaryOperator(std::string_view token) { return operatorFromText(token) != Operator::None; }

bool isOperatorText(std::string_view token) { return token == "not" || isBinaryOperator(token); }

void Walker::warn(int line, const char* code, std::string text) {
    findings_.push_back({line, Severity::Warning, code, std::move(text)});
}

void Walker::error(int line, std::string text) { findings_.push_back({line, Severity::Error, "", std::move(text)}); }

namespace {

// Collects a FirstStatement as the splitter cuts the text.
class FirstStatementCollector final : public TokenSink {
public:
    FirstStatementCollector(FirstStatement& out, int line) : out_(out), line_(line) {}

    void token(std::string_view token) override {
        if (statement_ == 0) {
            // A third empty token in a row is dropped (see FirstStatement).
            const std::size_t n = out_.tokens.size();
            if (token.empty() && n >= 2 && out_.tokens[n - 1].text.empty() && out_.tokens[n - 2].text.empty())
                return;
            out_.tokens.push_back({token, line_});
            line_ += lineEnds(token);
        } else if (!out_.hasLater && !token.empty()) {
            out_.hasLater = true;
            out_.later = {token, line_};
        }
    }
    // Each statement ends at a line end.
    void statementEnd() override {
        ++statement_;
        ++line_;
    }

private:
    FirstStatement& out_;
    int line_;
    std::size_t statement_ = 0;
};

}  // namespace

void scanFirstStatement(std::string_view text, int line, FirstStatement& out) {
    out = FirstStatement();
    FirstStatementCollector collector(out, line);
    scanStatements(text, collector);
}

template <typename Cut>
bool Walker::reported(std::string_view text, int line, const Cut& cut) {
    try {
        cut();
        return true;
    } catch (const UnbalancedText&) {
        const OpenDelimiter open = findOpenDelimiter(text);
        const int at = open.offset == std::string_view::npos ? line : line + lineEnds(text.substr(0, open.offset));
        error(at, std::string("unbalanced text: the ") + open.name + " opened on this line is never closed");
    } catch (const ScriptError& e) {
        error(line, e.what());
    }
    return false;
}

bool Walker::split(std::string_view text, int line, FirstStatement& out) {
    return reported(text, line, [&] { scanFirstStatement(text, line, out); });
}

bool Walker::splits(std::string_view text, int line) {
    return reported(text, line, [&] { checkSplit(text); });
}

void Walker::block(std::string_view code, int line, int depth, bool oneLine) {
    if (depth > kMaxCheckDepth) return;
    // Split first on its own, so that unbalanced text is told where it began;
    // then prepare the statements as the executor does. Their lines are the
    // interpreter's own, the ones its error messages name.
    if (!splits(code, line)) return;
    const std::shared_ptr<const Block> prepared = viewBlock(code, static_cast<std::uint32_t>(line - 1));
    for (const PreparedStatement& statement : prepared->statements) {
        if (statement.kind == StatementKind::Empty || statement.kind == StatementKind::EmptyRun) continue;
        const int at = static_cast<int>(statement.line) + 1;
        std::vector<Located> tokens;
        tokens.reserve(statement.tokens.size());
        for (const Operand& token : statement.tokens) tokens.push_back({token.text, at + static_cast<int>(token.line)});
        this->statement(statement.kind, tokens, oneLine, depth);
    }
}

void Walker::statement(StatementKind kind, const std::vector<Located>& tokens, bool oneLine, int depth) {
    switch (kind) {
        case StatementKind::Assign: return assignment(tokens, false, oneLine, depth);
        case StatementKind::MemberAssign: return assignment(tokens, true, oneLine, depth);
        case StatementKind::Call:
            call(tokens[0], depth);
            return extraTokens(tokens, 1, "a call statement", oneLine, false);
        default: return keyword(kind, tokens, oneLine, depth);
    }
}

void Walker::assignment(const std::vector<Located>& tokens, bool member, bool oneLine, int depth) {
    if (member) memberPath(tokens[0], depth);
    if (!member && targetIsTrap(tokens[0].text, tokens.size())) return;  // the trap walk reports it
    if (tokens.size() < 3) return;  // fails when run: a token is missing
    const Located& target = tokens[0];
    const Located& op = tokens[1];
    const Located& value = tokens[2];
    if (op.text.size() >= 2 && !isAssignmentOperator(op.text)) {
        std::string text = quoted(std::string(op.text)) + " is no assignment operator: only its first character counts, so this " +
                           assignmentEffect(op.text[0], shown(target.text), shown(value.text)) + "; ";
        if (op.text == "==" || op.text == "!=" || op.text == "<=" || op.text == ">=")
            text += "a comparison is written in parentheses where a value is used: (" + shown(target.text) + " " +
                    std::string(op.text) + " " + shown(value.text) + ")";
        else if (op.text == "->")
            text += "a member is read in parentheses: (" + shown(target.text) + " -> " + shown(value.text) + ")";
        else
            text += "assign with =, +=, -=, *= or /=";
        warn(op.line, code::kAssignOperator, std::move(text));
    }
    if (tokens.size() > 3) {
        const Located& first = tokens[3];
        if (isBinaryOperator(first.text)) {
            warn(first.line, code::kAssignExtra,
                 "only \"" + shown(value.text) + "\" is assigned, \"" + shown(first.text) +
                     "\" and what follows are ignored; write " + shown(target.text) + " " + std::string(op.text) + " (" +
                     expressionRun(tokens, 2) + ")");
        } else if (oneLine) {
            warn(first.line, code::kOneLineBlock,
                 "a one-line block holds one statement: \"" + shown(first.text) +
                     "\" and what follows are ignored; write the block over several lines, one statement per line");
        } else {
            warn(first.line, code::kAssignExtra,
                 "only \"" + shown(value.text) + "\" is assigned, \"" + shown(first.text) +
                     "\" and what follows are ignored; put each statement on a line of its own");
        }
    }
    // The value is stored as a function when it is a brace block: its body
    // is code all the same.
    if (!value.text.empty() && value.text[0] == '{') body(value, depth);
    else expression(value.text, value.line, depth + 1);
}

void Walker::keyword(StatementKind kind, const std::vector<Located>& tokens, bool oneLine, int depth) {
    const Keyword* form = keywordOf(kind);
    if (!form) return;
    if (!tokens.empty() && isAssignmentOperator(tokens[0].text)) {
        const std::string_view word = form->word;
        const std::string what =
            kind == StatementKind::List ? "makes an empty list named " + quoted(tokens[0].text)
            : std::string_view("aeiou").find(word[0]) != std::string_view::npos
                ? "is an " + std::string(word) + " statement, not an assignment"
                : "is a " + std::string(word) + " statement, not an assignment";
        warn(tokens[0].line, code::kKeywordTarget,
             quoted(form->word) + " is a keyword, so this line " + what +
                 "; choose a name that is not a keyword");
        return;
    }
    const std::string_view slots = form->slots;
    for (std::size_t i = 0; i < tokens.size() && i < slots.size(); ++i) {
        switch (slots[i]) {
            case 'E': expression(tokens[i].text, tokens[i].line, depth + 1); break;
            case 'B': body(tokens[i], depth); break;
            case 'C':
                if (!tokens[i].text.empty() && tokens[i].text[0] == '{') body(tokens[i], depth);
                else expression(tokens[i].text, tokens[i].line, depth + 1);
                break;
            case 'A':
                also(tokens[i]);
                expression(tokens[i].text, tokens[i].line, depth + 1);
                break;
            default: break;
        }
    }
    if (kind == StatementKind::Compare || kind == StatementKind::Until || kind == StatementKind::Each) {
        std::vector<std::string_view> texts;
        for (const Located& token : tokens) texts.push_back(token.text);
        if (conditionIsSpread(texts)) return;  // the trap walk reports it
    }
    extraTokens(tokens, slots.size(), quoted(form->word), oneLine, true);
}

void Walker::extraTokens(const std::vector<Located>& tokens, std::size_t used, const std::string& form,
                         bool oneLine, bool operands) {
    if (tokens.size() <= used) return;
    const Located& first = tokens[used];
    // An operator among the operands means one was written as a bare
    // expression: "add L a + b", "compare x == 1 {...}".
    for (std::size_t k = 1; operands && k + 1 < tokens.size(); ++k) {
        if (!isBinaryOperator(tokens[k].text)) continue;
        warn(first.line, code::kIgnoredTokens,
             form + " takes each operand as one token, so \"" + shown(first.text) +
                 "\" and what follows are ignored; write the expression in parentheses: (" +
                 expressionRun(tokens, k - 1) + ")");
        return;
    }
    if (oneLine) {
        warn(first.line, code::kOneLineBlock,
             "a one-line block holds one statement: \"" + shown(first.text) +
                 "\" and what follows are ignored; write the block over several lines, one statement per line");
        return;
    }
    const std::string uses = operands ? form + " uses " + std::to_string(used) + (used == 1 ? " token" : " tokens")
                                      : form + " makes one call";
    warn(first.line, code::kIgnoredTokens,
         quoted(shown(first.text)) + " and what follows are ignored (" + uses +
             "); put each statement on a line of its own");
}

void Walker::memberPath(const Located& path, int depth) {
    if (depth > kMaxCheckDepth || path.text.size() < 2) return;
    FirstStatement split;
    if (!this->split(path.text.substr(1, path.text.size() - 2), path.line, split)) return;
    const std::vector<Located>& names = split.tokens;
    if (std::none_of(names.begin(), names.end(), [](const Located& name) { return name.text.empty(); })) return;
    std::string fixed;
    for (const Located& name : names) {
        if (name.text.empty()) continue;
        if (!fixed.empty()) fixed += ' ';
        fixed += name.text;
    }
    warn(path.line, code::kEmptyToken,
         "an empty token in the member path (two blanks in a row, or a blank next to a parenthesis) names no "
         "variable and fails; write one blank between names: (" + fixed + ")");
}

void Walker::body(const Located& token, int depth) {
    // A body loses its first and last characters unseen; only a brace block
    // is code the checker can follow.
    const std::string_view text = token.text;
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') return;
    const std::string_view code = text.substr(1, text.size() - 2);
    block(code, token.line, depth + 1, code.find('\n') == std::string_view::npos);
}

void Walker::also(const Located& name) {
    std::string_view text = name.text;
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    if (text.size() < 2 || (text.front() != '"' && text.front() != '\'') || text.back() != text.front()) return;
    const std::string file = std::string(text.substr(1, text.size() - 2)) + ".VORN";
    if (file.find_first_of("\"'") != std::string::npos) return;
    if (exists_("lib/" + file) || exists_(file)) return;
    warn(name.line, code::kMissingFile,
         "neither lib/" + file + " nor " + file +
             " exists in this folder, so this runs nothing; check the name (also adds \".VORN\" itself)");
}

}  // namespace vorn::check
