// The statement splitter: cuts source text into statements of tokens.
//
// There is no separate lexer or parser. Statements end at top-level newlines
// and tokens at top-level blanks or tabs; anything inside double quotes,
// single quotes, braces or parentheses stays in one token, delimiters
// included. Nested structure is not built here: whoever needs the inside of a
// block or group strips its outer characters and splits again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/Error.h"

namespace vorn {

using Statement = std::vector<std::string>;
using StatementList = std::vector<Statement>;

// Raised when a text ends with a quote, brace or parenthesis still open. The
// program entry reports it and ends the process with kUnbalancedExitStatus,
// except in an interactive session, where the line that led to it is
// abandoned and reported as an error that says where the text opened.
struct UnbalancedText {
    UnbalancedText(int b, int p, int d, int s) : braces(b), parentheses(p), doubleQuotes(d), singleQuotes(s) {}

    int braces = 0;
    int parentheses = 0;
    int doubleQuotes = 0;
    int singleQuotes = 0;

    // The text that failed to split. Its bytes may be gone by the time the
    // error is caught: whoever holds a text compares addresses with this view
    // before reading through it (exec/Where.h).
    std::string_view text;
    // Where it happened, collected on the way up as for a ScriptError; once
    // `placed`, the trail's line is that of the still-open delimiter.
    ErrorTrail trail;
    bool placed = false;

    // "parser error, markers over 1, grammatically not valid." and the depths.
    std::string report() const;
};

constexpr int kUnbalancedExitStatus = 51;

// Receives the pieces of a text as the splitter cuts them, in order: every
// token (empty ones included) and, after the last token of each statement,
// the statement's end. A token is a view into the text being split: its bytes
// are always one unbroken stretch of that text.
class TokenSink {
public:
    virtual void token(std::string_view token) = 0;
    virtual void statementEnd() = 0;

protected:
    ~TokenSink() = default;
};

// Where the long groups of a text close, found in one pass over it.
//
// A group's inside is split again when the group is used, so a text nested n
// deep would be passed over n times, level by level. Inside a group only its
// own kind of bracket counts, so where a group opened at a given byte closes,
// and how deep its brackets nest on the way, depend only on the bytes from
// there on: the same for every text that views those bytes, whatever
// surrounds it. A text split with the table of the bytes it views takes each
// recorded group's end from it. Groups shorter than kRecordedGroup are not
// recorded (passing over them again costs little), nor groups nested deeper
// than the nesting limit in the whole text.
//
// Two more facts of the bytes are kept for the same reason, so that no level
// of a nested text reads what the levels inside it hold: how many line ends
// each recorded group holds (a statement's line is counted from the tokens
// before it), and where a "$" is followed by an "L" (a call token is cut at
// every "$" inside it, and those pairs decide how its pieces group).
class GroupEnds {
public:
    static constexpr std::size_t kRecordedGroup = 256;

    explicit GroupEnds(std::string_view text);

    // For a group whose opener is the byte at: false when it is not
    // recorded; else its length up to and including its closer, and whether
    // its own brackets nest deeper than the nesting limit before it closes.
    bool find(const char* at, std::size_t& length, bool& tooDeep) const;

    // The line ends in view, which may be any view of any bytes; the groups
    // recorded here inside it are not read again.
    std::uint32_t lineEndsIn(std::string_view view) const;

    // The offset in view of the first "$" at or after from that an "L"
    // follows within view, or npos; view may be any view of any bytes.
    std::size_t nextSharing(std::string_view view, std::size_t from) const;

private:
    struct Entry {
        std::uint32_t opener;   // offsets from the text's start
        std::uint32_t closer;
        std::uint32_t lineEnds;  // between opener and closer
        bool tooDeep;
    };
    const Entry* entryAt(const char* at) const;
    bool covers(std::string_view view) const {
        return !view.empty() && view.data() >= base_ && view.data() + view.size() <= base_ + size_;
    }
    const char* base_;
    std::size_t size_;
    std::vector<Entry> entries_;  // by opener
    std::vector<std::uint32_t> sharing_;  // offsets of each "$" before an "L", in order
    bool complete_ = false;  // false for a text too long for offsets: nothing is recorded
};

// The line ends in token: counted, or through ends (when given) past the
// long groups it records.
std::uint32_t lineEndsIn(std::string_view token, const GroupEnds* ends);

// Splits source, handing each piece to sink as soon as it is cut; the
// failures are those of splitStatements, raised after every piece has been
// handed over (an unbalanced text) or at the byte that nests too deep.
// ends, when given, is the table of bytes that source is a view into; the
// pieces and failures are exactly those of a split without it.
void scanStatements(std::string_view source, TokenSink& sink, int trace = 0, const GroupEnds* ends = nullptr);

// Raises what splitting source would raise, keeping nothing: a first pass
// over a text whose pieces are then used one at a time, so that the text's
// own errors come before any error of its pieces.
void checkSplit(std::string_view source, const GroupEnds* ends = nullptr);

// Splits source into statements. trace != 0 prints the splitter's progress
// (trace == 1 also announces it first). Braces or parentheses nested deeper
// than the nesting limit raise "nesting too deep": such a text could never be
// run, and re-splitting it level by level would take quadratic time.
StatementList splitStatements(std::string_view source, int trace = 0);

}  // namespace vorn
