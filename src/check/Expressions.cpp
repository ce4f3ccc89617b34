// The checker's walk over expressions, groups and calls.
//
// The positions of an expression's tokens follow the evaluator exactly: an
// operand, then operator and operand, then a pending operator that the next
// step applies; a "not" is taken away where a step begins. Only the first
// problem of a row is reported: after an empty token or a stray "not" every
// later token stands in the wrong position, and reporting those would repeat
// one mistake as many.
#include "check/Walker.h"

#include <algorithm>

#include "expr/Operators.h"

namespace vorn::check {

namespace {

// The tokens joined with single blanks, empty ones left out.
std::string joined(const std::vector<Located>& tokens) {
    std::string out;
    for (const Located& token : tokens) {
        if (token.text.empty()) continue;
        if (!out.empty()) out += ' ';
        out += token.text;
    }
    return out;
}

// The tokens joined, with tokens[from..to) put into a group of their own.
std::string regrouped(const std::vector<Located>& tokens, std::size_t from, std::size_t to) {
    std::vector<Located> group(tokens.begin() + static_cast<std::ptrdiff_t>(from),
                               tokens.begin() + static_cast<std::ptrdiff_t>(to));
    std::string out;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        std::string piece;
        if (i == from) {
            piece = grouped(joined(group));
            i = to - 1;
        } else {
            piece = std::string(tokens[i].text);
        }
        if (piece.empty()) continue;
        if (!out.empty()) out += ' ';
        out += piece;
    }
    return out;
}

// Where an operator row that begins at tokens[from] ends.
std::size_t runEnd(const std::vector<Located>& tokens, std::size_t from) {
    std::size_t end = from + 1;
    while (end + 1 < tokens.size() && isBinaryOperator(tokens[end].text)) end += 2;
    return end;
}

std::string blankCause(std::size_t at, std::size_t count) {
    if (at == 0) return "a blank after the opening parenthesis";
    if (at + 1 == count) return "a blank before the closing parenthesis";
    return "two blanks in a row";
}

}  // namespace

void Walker::expression(std::string_view text, int line, int depth) {
    if (depth > kMaxCheckDepth) return;
    if (!text.empty() && text[0] == '(') {
        if (text.size() < 2) return;
        text = text.substr(1, text.size() - 2);
    }
    FirstStatement split;
    if (!this->split(text, line, split)) return;
    const std::vector<Located>& tokens = split.tokens;
    // Tokens out of place on a first line that ends too early are part of
    // that one mistake.
    if (!laterLines(split, "an expression")) positions(tokens);
    for (const Located& token : tokens) nested(token, depth);
}

bool Walker::laterLines(const FirstStatement& split, const char* what) {
    if (!split.hasLater) return false;
    warn(split.later.line, code::kLaterLines,
         std::string("only the first line of ") + what + " is used, so \"" + shown(split.later.text) +
             "\" and the rest of the group are ignored; write it on one line");
    return true;
}

void Walker::positions(const std::vector<Located>& tokens) {
    const std::size_t n = tokens.size();
    const auto empty = [&](std::size_t k) { return tokens[k].text.empty(); };
    const auto emptyToken = [&](std::size_t k, const char* effect) {
        warn(tokens[k].line, code::kEmptyToken,
             "an empty token (" + blankCause(k, n) + ") " + effect + "; write one blank between tokens: (" +
                 joined(tokens) + ")");
    };
    const auto emptyOperator = [&](std::size_t k) {
        const bool fails = k + 1 >= n || isOperatorText(tokens[k + 1].text) || tokens[k + 1].text.empty();
        emptyToken(k, fails ? "takes the place of an operator, and the expression fails"
                            : "takes the place of an operator, and this step yields an unspecified value");
    };
    const auto unknownOperator = [&](std::size_t k) {
        const Located& op = tokens[k];
        if (op.text == "=") {
            std::vector<Located> fixed = tokens;
            fixed[k].text = "==";
            warn(op.line, code::kUnknownOperator,
                 "\"=\" is no operator, so this step yields an unspecified value; compare with ==: (" +
                     joined(fixed) + ")");
            return;
        }
        warn(op.line, code::kUnknownOperator,
             quoted(shown(op.text)) +
                 " stands where an operator belongs but is no operator, so this step yields an unspecified "
                 "value; the operators are + - * / == != < <= > >= and or ->");
    };

    std::size_t i = 0;
    while (i < n) {
        if (tokens[i].text == "not" && ++i == n) return;
        if (empty(i)) return emptyToken(i, "is read as an operand and fails");
        if (++i == n) return;
        const std::size_t op = i++;
        if (i == n) {
            if (empty(op)) emptyToken(op, "takes the place of an operator, and the expression fails");
            return;
        }
        const std::size_t right = i++;
        if (empty(op)) return emptyOperator(op);
        if (!isBinaryOperator(tokens[op].text)) return unknownOperator(op);
        if (tokens[right].text == "not") {
            const std::size_t to = std::min(right + 2, n);
            warn(tokens[right].line, code::kNotAsOperand,
                 "\"not\" after an operator is read as an operand and fails; give the negation a group of its "
                 "own: (" + regrouped(tokens, right, to) + ")");
            return;
        }
        if (empty(right)) return emptyToken(right, "is read as an operand and fails");
        if (i == n) return;
        const std::size_t pending = i++;
        if (i == n) {
            // A pending operator that ends the text is dropped, harmlessly;
            // a text that is no operator was meant as something else.
            if (!empty(pending) && !isOperatorText(tokens[pending].text))
                warn(tokens[pending].line, code::kUnknownOperator,
                     quoted(shown(tokens[pending].text)) +
                         " stands where an operator belongs at the end of the expression, so it is ignored; "
                         "join it with an operator, or write it as an operand of its own");
            return;
        }
        if (empty(pending)) return emptyToken(pending, "takes the place of an operator, and the value so far is lost");
        if (!isBinaryOperator(tokens[pending].text)) return unknownOperator(pending);
    }
}

void Walker::nested(const Located& token, int depth) {
    if (token.text.empty()) return;
    switch (token.text[0]) {
        case '$': return call(token, depth);
        case '(': return expression(token.text, token.line, depth + 1);
        case '{': return body(token, depth);
        default: return;
    }
}

void Walker::call(const Located& token, int depth) {
    if (depth > kMaxCheckDepth) return;
    // A view, not a copy: a call nested in the arguments of a call nested
    // ... would otherwise copy the text at every level.
    const std::shared_ptr<const CallSite> site = viewCall(token.text);
    if (!site->hasCallee) return;
    if (!site->calleeText.empty()) expression(site->calleeText, token.line, depth + 1);
    if (dollarL(token)) return;  // the argument group is cut apart
    if (!site->hasArguments || site->argumentGroup.size() < 3) return;

    // The argument group begins at the first "$" that does not start a
    // sharing group.
    std::size_t at = token.text.find('$', 1);
    while (at != std::string_view::npos && at + 1 < token.text.size() && token.text[at + 1] == 'L')
        at = token.text.find('$', at + 1);
    const int line = token.line + lineEnds(token.text.substr(0, std::min(at, token.text.size())));

    const std::string_view group = site->argumentGroup;
    FirstStatement split;
    if (!this->split(group.substr(2, group.size() - 3), line, split)) return;
    const std::vector<Located>& arguments = split.tokens;
    std::string callee = "$";
    callee += site->calleeText;
    const std::string sharing = site->hasSharing ? std::string(site->sharingGroup) : "";

    if (laterLines(split, "an argument list")) {
        // The first line alone is what is passed; its own mistakes are
        // part of that one.
    } else if (arguments.size() == 1 && arguments[0].text.empty()) {
        warn(line, code::kEmptyToken,
             quoted(callee + "$()") + " passes one empty argument, which fails; call without arguments as " + callee);
        return;
    } else {
        argumentTokens(arguments, callee, sharing);
    }
    for (const Located& argument : arguments)
        if (!argument.text.empty()) expression(argument.text, argument.line, depth + 1);
}

void Walker::argumentTokens(const std::vector<Located>& arguments, const std::string& callee,
                            const std::string& sharing) {
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const Located& argument = arguments[k];
        if (argument.text.empty()) {
            warn(argument.line, code::kEmptyToken,
                 "an empty token in the argument list (" + blankCause(k, arguments.size()) +
                     ") is passed as an empty argument, which fails; write one blank between arguments: " + callee +
                     "$(" + joined(arguments) + ")" + sharing);
            break;
        }
        if (!isOperatorText(argument.text)) continue;
        std::string fixed;
        if (argument.text == "not" && k + 1 < arguments.size()) {
            fixed = regrouped(arguments, k, k + 2);
        } else if (k > 0 && k + 1 < arguments.size()) {
            fixed = regrouped(arguments, k - 1, runEnd(arguments, k - 1));
        }
        warn(argument.line, code::kOperatorArgument,
             quoted(std::string(argument.text)) +
                 " is passed as an argument of its own, which fails (each token is one argument); " +
                 (fixed.empty() ? std::string("write an expression argument in parentheses")
                                : "write the expression in parentheses: " + callee + "$(" + fixed + ")" + sharing));
        return;
    }
}

bool Walker::dollarL(const Located& token) {
    // Inside the call's parentheses (or braces) a "$L" cannot be told from
    // the start of a sharing group; after them it is one.
    int parens = 0, braces = 0;
    char quote = 0;
    const std::string_view text = token.text;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        }
        if (c == '(' && braces == 0) ++parens;
        else if (c == ')' && braces == 0 && parens > 0) --parens;
        else if (c == '{' && parens == 0) ++braces;
        else if (c == '}' && parens == 0 && braces > 0) --braces;
        else if (c == '$' && i + 1 < text.size() && text[i + 1] == 'L' && parens + braces > 0) {
            const int line = token.line + lineEnds(text.substr(0, i));
            if (quote) {
                warn(line, code::kDollarL,
                     "\"$L\" inside a text in the arguments starts a sharing group, so the arguments are cut "
                     "there; keep such a text in a variable and pass the variable");
            } else {
                std::size_t end = i + 1;
                while (end < text.size() && text[end] != '$' && text[end] != '(' && text[end] != ' ') ++end;
                warn(line, code::kDollarL,
                     "the nested call of \"" + std::string(text.substr(i + 1, end - i - 1)) +
                         "\" is cut out of the arguments and read as a sharing group (\"$\" followed by \"L\" "
                         "always starts one); call it first and pass the result in a variable, or rename it");
            }
            return true;
        }
    }
    return false;
}

}  // namespace vorn::check
