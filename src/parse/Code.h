// Split-once forms of source text: blocks, statements, operands and calls.
//
// Source text is immutable once split, so every block body, expression,
// argument group and call token is split the first time it is used and the
// result is kept with the text it came from. Each piece is built lazily at
// the moment the text would have been split, so errors and their order are
// exactly those of splitting the text again on every use.
#pragma once

#include <cstdint>
#include <cstddef>
#include <deque>
#include <iterator>
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

// The bytes of one prepared text. Every piece prepared from it (statements,
// tokens, nested groups, bodies and calls, to any depth) is a view into these
// bytes, never a copy, so that a text nested n levels deep takes memory in
// proportion to its length rather than to n times its length. The bytes belong
// either to the outermost prepared piece (a shared copy made when it was
// prepared) or to the Text buffer that caches the piece; either way they live
// at least as long as every view into them.
using SharedSource = std::shared_ptr<const std::string>;

// One token in operand (or operator) position, with what it will need.
//
// Tokens of the same text on the same line of their statement share one
// record (see TokenList), so a record stands for every place its text
// appears in the piece it was prepared for: everything it holds or builds is
// a function of its text and line alone. The fields that
// each evaluation reads sit inline, what only some tokens need (a literal's
// value, the pieces of a group, call or body) is built on first use in
// records of their own.
struct Operand {
    enum class Form : std::uint8_t { Call, Group, Block, Literal, Number };

    explicit Operand(std::string_view token) : Operand(token, hashName(token)) {}
    Operand(std::string_view token, std::uint64_t hash);

    std::string_view text;  // a view into the prepared text's bytes
    // Of text, for the name lookup that comes first. Tokens longer than
    // kHashedNameLength carry kUnhashedName instead (hashed only if a lookup
    // needs it, see Symbol.h), except the names that list, index, where,
    // class and assignments bind, which are bound through this hash.
    std::uint64_t hash;
    // The name text stands for, read first (a token is a name before
    // anything else); null for a token longer than kHashedNameLength.
    SymbolRef symbol;
    Form form;
    Operator op;          // the operator that text names, if it stands as one
    Operator firstOp;     // the operator its first character names (compound assignment)
    bool isNot;           // text is exactly "not"
    // Lines from the start of its statement to the token's first line, when
    // the token is one of a prepared statement's; kUnknownLine otherwise.
    std::uint32_t line = kUnknownLine;
    static constexpr std::uint32_t kUnknownLine = UINT32_MAX;

    // The value of a text or number literal, read once; when reading it
    // fails, fails is set and value holds the error's text instead.
    struct Literal {
        Value value;
        bool fails = false;
    };
    // What the pieces of a group, call or body are, once built.
    struct Built {
        std::shared_ptr<const Expression> group;
        std::shared_ptr<const CallSite> call;
        std::shared_ptr<const Block> block;  // inline block body
        // Where the groups of the bytes this group, body or call views
        // close, when the piece it was prepared in had that table: its inside
        // is split with it.
        std::shared_ptr<const GroupEnds> ends;
        std::uint32_t count = 1;
    };

    // Null until the literal is first read.
    const Literal* literal() const { return literal_.get(); }
    const Literal& setLiteral(Literal literal) const;

    // Each piece is read on every evaluation: the check for one built
    // before stays inline.
    const Expression& groupExpression() const {
        if (built_ && built_->group) return *built_->group;
        return buildGroup();
    }
    const CallSite& callSite() const {
        if (built_ && built_->call) return *built_->call;
        return buildCall();
    }
    // The text without its braces.
    const Block& inlineBody() const {
        if (built_ && built_->block) return *built_->block;
        return buildBody();
    }
    // How many tokens of the text this one stands for: more than one for an
    // empty token that stands for the surplus of a long run of empty tokens
    // (see Expression).
    std::uint32_t count() const { return built_ ? built_->count : 1; }

private:
    Built& built() const;
    const std::shared_ptr<const GroupEnds>& endsFor(Built& b) const;
    const Expression& buildGroup() const;
    const CallSite& buildCall() const;
    const Block& buildBody() const;
    friend class TokenAdder;

    mutable std::unique_ptr<Literal> literal_;
    mutable std::unique_ptr<Built> built_;
};

// The tokens of a statement or expression, in order, each a pointer to its
// record among the records of the piece that prepared it: a text of many
// short tokens repeats few distinct ones ("1 + 1 + 1 ..."), so it costs a
// pointer per token and one record per distinct token.
class TokenList {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Operand;
        using difference_type = std::ptrdiff_t;
        using pointer = const Operand*;
        using reference = const Operand&;
        explicit Iterator(const Operand* const* at) : at_(at) {}
        const Operand& operator*() const { return **at_; }
        const Operand* operator->() const { return *at_; }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        const Operand* const* at_;
    };

    TokenList() = default;
    TokenList(const Operand* const* items, std::uint32_t size) : items_(items), size_(size) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Operand& operator[](std::size_t i) const { return *items_[i]; }
    const Operand& front() const { return *items_[0]; }
    const Operand& back() const { return *items_[size_ - 1]; }
    Iterator begin() const { return Iterator(items_); }
    Iterator end() const { return Iterator(items_ + size_); }

private:
    const Operand* const* items_ = nullptr;
    std::uint32_t size_ = 0;
};

// The records a prepared piece owns, and its tokens' records in the order of
// the tokens (see TokenList).
struct TokenStore {
    std::vector<Operand> records;
    std::vector<const Operand*> order;
};

// An expression: the tokens of the first statement of its text.
//
// A run of more than kEmptyRunKept empty tokens keeps only its first
// kEmptyRunKept tokens and as many more as make the same remainder modulo 4;
// the last kept token stands for the rest (Operand::count). Evaluation cannot
// tell the difference: it takes tokens four at a time (operand, operator,
// operand, operator); inside a run every operand is the empty name's Value
// (or the same error, when no such name is bound) and every operator names
// none, so once a run has filled two such rounds every further round inside it
// leaves the evaluation exactly as it found it. A member path walks each
// token as often as it stands for.
struct Expression {
    static constexpr std::uint32_t kEmptyRunKept = 16;

    Expression() = default;
    // tokens views store's buffers, which a move keeps and a copy would not.
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;
    Expression(Expression&& other) noexcept { *this = std::move(other); }
    Expression& operator=(Expression&& other) noexcept {
        tooShort = other.tooShort;
        plain = other.plain;
        plainRow = other.plainRow;
        groupedRow = other.groupedRow;
        store = std::move(other.store);
        source = std::move(other.source);
        single = other.single;
        tokens = other.tokens.size() == 1 && other.single ? TokenList(&single, 1) : other.tokens;
        return *this;
    }

    bool tooShort = false;  // "(" alone: nothing left to strip
    // No call or block is among the tokens, nor inside a group among them:
    // evaluating the expression runs no code.
    bool plain = true;
    // A row "a op b op c ...": an odd count of three or more tokens, every
    // operand a name, text or number without "not", or a group with no call
    // or block in its bytes (what integerRow reads).
    bool plainRow = false;
    bool groupedRow = false;  // a plain row with a group among its operands
    TokenList tokens;
    TokenStore store;
    SharedSource source;  // the bytes, when the expression was prepared on its own
    // The token list of an expression of one token (a list element, an
    // argument, a name): it saves the list an allocation of its own.
    const Operand* single = nullptr;
};
// firstLine: the line of the text's start from its statement's start, when
// the text is (part of) a prepared statement's token; it gives the tokens
// their lines. The expression keeps a copy of text.
std::shared_ptr<const Expression> compileExpression(std::string_view text,
                                                    std::uint32_t firstLine = Operand::kUnknownLine);

// The argument texts of a call, in order, each compiled as an expression the
// first time it is asked for: the arguments are evaluated left to right, and
// an argument's own inside is split only when its turn comes, after every
// argument before it has run (an unbalanced later argument does not stop an
// earlier one from running first). Every empty argument is the same empty
// expression, and a run of them is one entry.
class ArgumentList {
public:
    ArgumentList() = default;
    // ends: the table of the bytes the argument texts view, if any.
    explicit ArgumentList(std::shared_ptr<const GroupEnds> ends) : ends_(std::move(ends)) {}

    std::size_t size() const { return size_; }
    const Expression* operator[](std::size_t i) const {
        if (!joined_ && runs_[i].expression) return runs_[i].expression;
        return build(i);
    }
    void append(std::string_view text);
    // How many distinct expressions have been compiled so far.
    std::size_t compiled() const { return store_.size(); }

private:
    struct Run {
        std::string_view text;
        std::size_t first;  // index of the run's first argument
        mutable const Expression* expression;
    };
    const Run& find(std::size_t i) const;
    const Expression* build(std::size_t i) const;
    std::vector<Run> runs_;
    std::size_t size_ = 0;
    bool joined_ = false;  // some run holds more than one argument
    mutable std::deque<Expression> store_;
    mutable const Expression* empty_ = nullptr;
    std::shared_ptr<const GroupEnds> ends_;
};

// A call token taken apart at its "$" signs.
struct CallSite {
    CallSite() = default;
    CallSite(const CallSite&) = delete;  // the groups may view joinedArguments and joinedSharing
    CallSite& operator=(const CallSite&) = delete;

    bool hasCallee = false;
    std::string_view calleeText;
    bool hasArguments = false;
    std::string_view argumentGroup;  // joined pieces, delimiters not yet stripped
    bool hasSharing = false;
    std::string_view sharingGroup;

    const Expression& callee() const { return calleeCache ? *calleeCache : buildCallee(); }
    // The argument texts (see ArgumentList).
    const ArgumentList& arguments() const { return argumentsReady ? argumentCache : buildArguments(); }
    const ArgumentList& buildArguments() const;
    // The shared names, each interned once for the call.
    const std::vector<SymbolRef>& sharedNames() const;

    const Expression& buildCallee() const;
    mutable std::shared_ptr<const Expression> calleeCache;
    mutable bool argumentsReady = false;
    mutable ArgumentList argumentCache;
    mutable bool sharingReady = false;
    mutable std::vector<SymbolRef> sharingCache;

    // A group whose pieces are not one stretch of the token ("$(a)$L(x)$(b)")
    // is joined here; the views above then point into these.
    std::string joinedArguments;
    std::string joinedSharing;
    SharedSource source;  // the bytes, when the call was prepared on its own
    // The table of the bytes the token views, when the piece it was
    // prepared in had one or the token is long: its pieces split with it.
    std::shared_ptr<const GroupEnds> ends;
};
// The call keeps a copy of token.
std::shared_ptr<const CallSite> compileCall(std::string_view token);
// The call views token itself, whose bytes must outlive it (the checker's
// walk over a text it holds).
std::shared_ptr<const CallSite> viewCall(std::string_view token);

// What a statement is, decided by its first non-empty token.
// Empty statements (blank lines) often come in runs: a run of them is one
// EmptyRun, each of its statements one line below the one before and each
// carried out on its own (the kind trim still happens before it).
enum class StatementKind : std::uint8_t {
    Empty, End, Compare, Each, Until, List, Add, Index, Where, Remove, Exec, Also, Class, Delete,
    Call, MemberAssign, Assign, EmptyRun,
};

struct PreparedStatement {
    TokenList tokens;        // non-empty tokens, keyword removed
    std::uint32_t line = 0;  // of its first character, counted from 0 (see Block)
    StatementKind kind = StatementKind::Empty;
    // How many statements in a row an EmptyRun stands for; 1 for any other.
    std::uint16_t repeat = 1;
};

struct Block {
    Block() = default;
    // The statements view store's buffers, which a move keeps and a copy would not.
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    std::vector<PreparedStatement> statements;
    TokenStore store;
    SharedSource source;  // the bytes, when the block was prepared on its own
    // A text of its own (a file, exec text, a function body): its statements'
    // lines count from its start. Otherwise a body written in a statement
    // (compare, until, each, an inline block): they count from the start of
    // that statement, so that errors can name the line in the file.
    bool ownText = true;
    // How many of its statements at its start, and then at its end, are
    // blank lines (Empty or EmptyRun): a body written between braces on
    // lines of their own has one at each end. They only do what waits
    // before each statement, so a run with nothing waiting passes over them
    // at once. A block of blank lines alone counts them all as first.
    std::uint32_t idleFirst = 0;
    std::uint32_t idleLast = 0;
};

// Splits code and prepares its statements; the first statement's line is
// firstLine. A body of a statement passes ownText false. The block keeps a
// copy of code.
std::shared_ptr<const Block> prepareBlock(std::string_view code, std::uint32_t firstLine = 0, bool ownText = true);
// The same without the copy: the block views code, whose bytes must outlive
// it (the checker's walk over a text it holds, which prepares every nested
// body of that text and so would otherwise copy it once per level).
std::shared_ptr<const Block> viewBlock(std::string_view code, std::uint32_t firstLine);
// The same for a text of its own that the caller no longer needs: the block
// keeps code itself instead of a copy (a script file read whole).
std::shared_ptr<const Block> prepareTakenBlock(std::string code);
// The block of a text's bytes, split once per shared text buffer.
// stripped: the text without its first and last character (a body).
// The block lives as long as the buffer: the caller holds text meanwhile.
// Every call of a function reads its body's block here, so the block
// already split is found inline; the first reading splits it.
struct TextBlocks {
    mutable std::shared_ptr<const Block> whole;
    mutable std::shared_ptr<const Block> stripped;
};
const Block& blockOfTextFirst(const Text& text, bool stripped);
inline const Block& blockOfText(const Text& text, bool stripped) {
    if (const TextBlocks* cache = text.cached<TextBlocks>())
        if (const Block* block = (stripped ? cache->stripped : cache->whole).get()) return *block;
    return blockOfTextFirst(text, stripped);
}

// A keyword and the shape of its statement, token by token after the
// keyword: 'E' an operand that is evaluated, 'B' a body, 'N' a name read as
// written, 'T' a name the statement binds, 'C' a class body, 'A' the name of
// an `also` file. Both the statement reader and the checker read them here.
struct Keyword {
    std::string_view word;
    StatementKind kind;
    std::string_view slots;
};
// The keyword whose statements are of kind, or null for a statement that
// starts with no keyword.
const Keyword* keywordOf(StatementKind kind);
// The kind of statement that word starts as a keyword, or Empty.
StatementKind keywordKind(std::string_view word);

}  // namespace vorn
