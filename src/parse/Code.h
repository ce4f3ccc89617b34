// Split-once forms of source text: blocks, statements, operands and calls.
//
// Source text is immutable once split, so every block body, expression,
// argument group and call token is split the first time it is used and the
// result is kept with the text it came from. Each piece is built lazily at
// the moment the text would have been split, so errors and their order are
// exactly those of splitting the text again on every use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/Operators.h"
#include "parse/Splitter.h"
#include "values/Scope.h"
#include "values/Text.h"
#include "values/Value.h"

namespace vorn {

struct Block;
struct Expression;
struct CallSite;

// One token in operand (or operator) position, with what it will need.
struct Operand {
    enum class Form : std::uint8_t { Call, Group, Block, Literal, Number };

    explicit Operand(std::string token);

    std::string text;
    std::uint64_t hash;   // of text, for the name lookup that comes first
    Form form;
    Operator op;          // the operator that text names, if it stands as one
    Operator firstOp;     // the operator its first character names (compound assignment)
    bool isNot;           // text is exactly "not"
    mutable LookupCache lookup;  // where the name was last found
    // Lines from the start of its statement to the token's first line, when
    // the token is one of a prepared statement's; kUnknownLine otherwise.
    std::uint32_t line = kUnknownLine;
    static constexpr std::uint32_t kUnknownLine = UINT32_MAX;

    // Built on first use.
    mutable std::shared_ptr<const Expression> group;
    mutable std::shared_ptr<const CallSite> call;
    mutable std::shared_ptr<const Block> block;      // inline block body
    mutable bool literalReady = false;
    mutable bool literalFails = false;
    mutable std::string literalError;
    mutable Value literal;

    const Expression& groupExpression() const;
    const CallSite& callSite() const;
    const Block& inlineBody() const;  // the text without its braces
};

// An expression: the tokens of the first statement of its text.
struct Expression {
    bool tooShort = false;  // "(" alone: nothing left to strip
    std::vector<Operand> tokens;
};
// firstLine: the line of the text's start from its statement's start, when
// the text is (part of) a prepared statement's token; it gives the tokens
// their lines.
std::shared_ptr<const Expression> compileExpression(std::string_view text,
                                                    std::uint32_t firstLine = Operand::kUnknownLine);

// A call token taken apart at its "$" signs.
struct CallSite {
    bool hasCallee = false;
    std::string calleeText;
    bool hasArguments = false;
    std::string argumentGroup;  // joined pieces, delimiters not yet stripped
    bool hasSharing = false;
    std::string sharingGroup;

    const Expression& callee() const;
    // The argument texts, each compiled as an expression.
    const std::vector<std::shared_ptr<const Expression>>& arguments() const;
    // The shared names with their hashes.
    const std::vector<std::pair<std::string, std::uint64_t>>& sharedNames() const;

    mutable std::shared_ptr<const Expression> calleeCache;
    mutable bool argumentsReady = false;
    mutable std::vector<std::shared_ptr<const Expression>> argumentCache;
    mutable bool sharingReady = false;
    mutable std::vector<std::pair<std::string, std::uint64_t>> sharingCache;
};
std::shared_ptr<const CallSite> compileCall(std::string_view token);

// What a statement is, decided by its first non-empty token.
enum class StatementKind : std::uint8_t {
    Empty, End, Compare, Each, Until, List, Add, Index, Where, Remove, Exec, Also, Class, Delete,
    Call, MemberAssign, Assign,
};

struct PreparedStatement {
    StatementKind kind = StatementKind::Empty;
    std::uint32_t line = 0;       // of its first character, counted from 0 (see Block)
    std::vector<Operand> tokens;  // non-empty tokens, keyword removed
};

struct Block {
    std::vector<PreparedStatement> statements;
    // A text of its own (a file, exec text, a function body): its statements'
    // lines count from its start. Otherwise a body written in a statement
    // (compare, until, each, an inline block): they count from the start of
    // that statement, so that errors can name the line in the file.
    bool ownText = true;
};

// Splits code and prepares its statements; the first statement's line is
// firstLine. A body of a statement passes ownText false.
std::shared_ptr<const Block> prepareBlock(std::string_view code, std::uint32_t firstLine = 0, bool ownText = true);
// The block of a text's bytes, split once per shared text buffer.
// stripped: the text without its first and last character (a body).
// The block lives as long as the buffer: the caller holds text meanwhile.
const Block& blockOfText(const Text& text, bool stripped);

// The keyword list, in the order it is built.
const std::vector<std::string>& keywordList();

}  // namespace vorn
