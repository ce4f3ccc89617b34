// The checker's walk over one text: blocks, statements, groups and calls.
//
// Each piece is split exactly as the interpreter splits it when it runs it
// (a body without its braces, a group without its parentheses, an argument
// group cut out of its call), and each piece knows the line it begins on:
// the splitter keeps every line end inside the tokens and drops only blanks
// and tabs, so the line of a statement or token is its base line plus the
// line ends of everything before it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/Check.h"
#include "parse/Code.h"

namespace vorn::check {

// Codes, in the order the guide lists them.
namespace code {
inline constexpr const char* kAssignExtra = "V001";
inline constexpr const char* kAssignOperator = "V002";
inline constexpr const char* kOneLineBlock = "V003";
inline constexpr const char* kEmptyToken = "V004";
inline constexpr const char* kNotAsOperand = "V005";
inline constexpr const char* kOperatorArgument = "V006";
inline constexpr const char* kDollarL = "V007";
inline constexpr const char* kIgnoredTokens = "V008";
inline constexpr const char* kUnknownOperator = "V009";
inline constexpr const char* kKeywordTarget = "V010";
inline constexpr const char* kMissingFile = "V011";
inline constexpr const char* kLaterLines = "V012";
// Reported by the trap walk (Traps.h).
inline constexpr const char* kSharedRecursion = "V013";
inline constexpr const char* kRebindInBody = "V014";
inline constexpr const char* kForeignKeyword = "V015";
inline constexpr const char* kLiteralTarget = "V016";
inline constexpr const char* kOperatorInName = "V017";
inline constexpr const char* kCommentLine = "V018";
inline constexpr const char* kHiddenFunction = "V019";
inline constexpr const char* kSpreadCondition = "V020";
}  // namespace code

// Blocks, groups and calls nested deeper than this are not looked into: real
// scripts stay far below it, and each level is split again on its own, so an
// unbounded walk would take quadratic time and deep native recursion.
constexpr int kMaxCheckDepth = 200;

// A token and the line it begins on.
struct Located {
    std::string_view text;
    int line;
};

// What the evaluator and a call take from a split text: the tokens of its
// first statement, each with its line (line ends inside a token move the
// following tokens down), and the first token of a later statement, which
// they ignore. The tokens view the text. Only the first of several empty
// tokens in a row matters to any check (each reports the first one and
// stops), so a run of them keeps two: a run of a million blanks costs no
// more than two.
struct FirstStatement {
    std::vector<Located> tokens;
    bool hasLater = false;
    Located later{};
};

// Cuts text, which begins on line, into out as the splitter cuts it; raises
// what splitting it raises. Keeps views, never copies: both walks split
// every group of every level this way.
void scanFirstStatement(std::string_view text, int line, FirstStatement& out);

int lineEnds(std::string_view text);

// Where an unbalanced text's still-open delimiter began: the outermost one
// that is never closed, found by the splitter's own counting rules. Returns
// the byte offset and the delimiter's name ("brace", "parenthesis", "double
// quote", "single quote"); offset npos when the text is balanced.
struct OpenDelimiter {
    std::size_t offset;
    const char* name;
};
OpenDelimiter findOpenDelimiter(std::string_view text);

// Message pieces: "text" and (text).
std::string quoted(std::string_view text);
std::string grouped(std::string_view text);

// A token cut for a message: its first line, at most a few dozen bytes.
std::string shown(std::string_view token);
// The thirteen operator texts; and those or "not".
bool isBinaryOperator(std::string_view token);
bool isOperatorText(std::string_view token);

class Walker {
public:
    Walker(std::vector<Finding>& findings, const EntryExists& exists) : findings_(findings), exists_(exists) {}

    // A whole text (a file) or a body without its braces; oneLine when the
    // body was written on one line.
    void block(std::string_view code, int line, int depth, bool oneLine);

private:
    void statement(StatementKind kind, const std::vector<Located>& tokens, bool oneLine, int depth);
    void assignment(const std::vector<Located>& tokens, bool member, bool oneLine, int depth);
    void keyword(StatementKind kind, const std::vector<Located>& tokens, bool oneLine, int depth);
    // Reports the tokens past the `used` ones that the statement's form takes.
    // operands: the form's tokens are operands (not so for a call statement).
    void extraTokens(const std::vector<Located>& tokens, std::size_t used, const std::string& form, bool oneLine,
                     bool operands);
    void memberPath(const Located& path, int depth);
    void body(const Located& token, int depth);
    void also(const Located& name);

    // An operand handed to the evaluator, as text (groups lose their
    // parentheses there).
    void expression(std::string_view text, int line, int depth);
    void positions(const std::vector<Located>& tokens);
    // Statements after the first in a text of which only the first is used.
    // True when reported.
    bool laterLines(const FirstStatement& split, const char* what);
    // What a token holds that is split again when it is used.
    void nested(const Located& token, int depth);
    void call(const Located& token, int depth);
    // Empty arguments and operators among the arguments of one call.
    void argumentTokens(const std::vector<Located>& arguments, const std::string& callee,
                        const std::string& sharing);
    bool dollarL(const Located& token);

    // Splits text, which begins on line; on unbalanced text or nesting
    // beyond the splitter's limit reports an error and returns false.
    bool split(std::string_view text, int line, FirstStatement& out);
    // The same, keeping nothing.
    bool splits(std::string_view text, int line);
    // Runs cut, which splits text; reports what kept it from splitting.
    template <typename Cut>
    bool reported(std::string_view text, int line, const Cut& cut);

    void warn(int line, const char* code, std::string text);
    void error(int line, std::string text);

    std::vector<Finding>& findings_;
    const EntryExists& exists_;
};

}  // namespace vorn::check
