// The statement splitter: one pass over the bytes with four depth counters.
#include "parse/Splitter.h"

#include <algorithm>
#include <utility>

#include "platform/Platform.h"
#include "values/Depth.h"

namespace vorn {

std::string UnbalancedText::report() const {
    return "parser error, markers over 1, grammatically not valid." + std::to_string(braces) + "/" +
           std::to_string(parentheses) + "/" + std::to_string(doubleQuotes) + "/" + std::to_string(singleQuotes) +
           "/0/";
}

namespace {

void traceLine(const std::string& line) {
    platform::writeOut(line);
    platform::writeOut("\n");
    platform::flushOut();
}

// Inside a group only its own kind of delimiter counts (a quote closes at
// the next quote of its kind, a parenthesis or brace counts only its own
// pairs), so the bytes up to its end are passed over in one tight loop.
// Returns the index of the byte that closes the group, with its counter back
// at 0, or the text's size when the group does not close there.
std::size_t skipInside(std::string_view source, std::size_t from, int& braces, int& parens, int& dquotes,
                       int& squotes) {
    const std::size_t size = source.size();
    if (dquotes > 0 || squotes > 0) {
        const std::size_t at = source.find(dquotes > 0 ? '"' : '\'', from);
        if (at == std::string_view::npos) return size;
        dquotes = squotes = 0;
        return at;
    }
    const char opener = parens > 0 ? '(' : '{';
    const char closer = parens > 0 ? ')' : '}';
    int& depth = parens > 0 ? parens : braces;
    for (std::size_t j = from; j < size; ++j) {
        const char c = source[j];
        if (c == opener) {
            if (++depth > kMaxTextNesting) throw ScriptError(kNestingTooDeep);
        } else if (c == closer && --depth == 0) {
            return j;
        }
    }
    return size;
}

// The end of the group opened at source[at], whose counter is now 1, from
// the table; false when the table cannot tell (the group is not recorded or
// closes past the end of source), and the bytes are to be passed over.
bool recordedEnd(const GroupEnds* ends, std::string_view source, std::size_t at, std::size_t& closing) {
    std::size_t length;
    bool tooDeep;
    if (!ends || !ends->find(source.data() + at, length, tooDeep) || length > source.size() - at) return false;
    if (tooDeep) throw ScriptError(kNestingTooDeep);
    closing = at + length - 1;
    return true;
}

}  // namespace

GroupEnds::GroupEnds(std::string_view text) : base_(text.data()), size_(text.size()) {
    if (text.size() >= UINT32_MAX) return;  // no offsets for it: every group is passed over
    complete_ = true;
    // Each kind of bracket on its own stack. Past the nesting limit openers
    // are only counted: deeper groups are not recorded, and every group
    // around them is too deep anyway.
    struct Open {
        std::uint32_t at;
        std::uint32_t depth;     // in the whole text, the outermost open group 1
        std::uint32_t peak;      // the deepest of its own kind inside it so far
        std::uint32_t lineEnds;  // in the text before it
    };
    constexpr std::size_t kStacked = kMaxTextNesting + 1;
    std::vector<Open> open;
    for (const auto& [opener, closer] : {std::pair{'(', ')'}, std::pair{'{', '}'}}) {
        open.clear();
        std::uint32_t beyond = 0;
        std::uint32_t lineEnds = 0;
        for (std::size_t j = 0; j < text.size(); ++j) {
            const char c = text[j];
            if (c == '\n') {
                ++lineEnds;
            } else if (c == opener) {
                const auto depth = static_cast<std::uint32_t>(open.size() + 1);
                if (open.size() < kStacked) {
                    open.push_back({static_cast<std::uint32_t>(j), depth, depth, lineEnds});
                } else {
                    ++beyond;
                    open.back().peak = std::max(open.back().peak, static_cast<std::uint32_t>(open.size()) + beyond);
                }
            } else if (c == closer) {
                if (beyond > 0) {
                    --beyond;
                } else if (!open.empty()) {
                    const Open group = open.back();
                    open.pop_back();
                    if (j + 1 - group.at >= kRecordedGroup)
                        entries_.push_back({group.at, static_cast<std::uint32_t>(j), lineEnds - group.lineEnds,
                                            group.peak - group.depth + 1 > static_cast<std::uint32_t>(kMaxTextNesting)});
                    if (!open.empty()) open.back().peak = std::max(open.back().peak, group.peak);
                }
            }
        }
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.opener < b.opener; });
    entries_.shrink_to_fit();
    for (std::size_t j = text.find("$L"); j != std::string_view::npos; j = text.find("$L", j + 1))
        sharing_.push_back(static_cast<std::uint32_t>(j));
    sharing_.shrink_to_fit();
}

const GroupEnds::Entry* GroupEnds::entryAt(const char* at) const {
    if (entries_.empty() || at < base_ || at >= base_ + size_) return nullptr;
    const auto offset = static_cast<std::uint32_t>(at - base_);
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), offset,
                                     [](const Entry& e, std::uint32_t o) { return e.opener < o; });
    return it == entries_.end() || it->opener != offset ? nullptr : &*it;
}

bool GroupEnds::find(const char* at, std::size_t& length, bool& tooDeep) const {
    const Entry* entry = entryAt(at);
    if (!entry) return false;
    length = entry->closer - entry->opener + 1;
    tooDeep = entry->tooDeep;
    return true;
}

std::uint32_t GroupEnds::lineEndsIn(std::string_view view) const {
    if (!covers(view) || entries_.empty()) return vorn::lineEndsIn(view, nullptr);
    std::uint32_t count = 0;
    std::size_t j = 0;
    while (j < view.size()) {
        const char c = view[j];
        if (c == '\n') ++count;
        if ((c == '(' || c == '{') && view.size() - j >= kRecordedGroup) {
            const Entry* entry = entryAt(view.data() + j);
            if (entry && entry->closer - entry->opener < view.size() - j) {
                count += entry->lineEnds;
                j += entry->closer - entry->opener + 1;
                continue;
            }
        }
        ++j;
    }
    return count;
}

std::size_t GroupEnds::nextSharing(std::string_view view, std::size_t from) const {
    if (!complete_ || !covers(view)) return view.find("$L", from);
    if (from >= view.size()) return std::string_view::npos;
    const auto offset = static_cast<std::uint32_t>(view.data() + from - base_);
    const auto it = std::lower_bound(sharing_.begin(), sharing_.end(), offset);
    // The "L" must lie within the view too.
    if (it == sharing_.end() || *it + 1 >= static_cast<std::size_t>(view.data() + view.size() - base_))
        return std::string_view::npos;
    return *it - static_cast<std::size_t>(view.data() - base_);
}

std::uint32_t lineEndsIn(std::string_view token, const GroupEnds* ends) {
    if (ends && token.size() >= GroupEnds::kRecordedGroup) return ends->lineEndsIn(token);
    // Most tokens hold no line end: looking for one first is far cheaper
    // than counting.
    const std::size_t first = token.find('\n');
    if (first == std::string_view::npos) return 0;
    return static_cast<std::uint32_t>(
        std::count(token.begin() + static_cast<std::ptrdiff_t>(first), token.end(), '\n'));
}

void scanStatements(std::string_view source, TokenSink& sink, int trace, const GroupEnds* ends) {
    // The token being built is source[tokenStart, tokenStart + tokenSize):
    // once its first byte is taken, every byte up to the blank or newline
    // that ends it is taken too.
    std::size_t tokenStart = 0;
    std::size_t tokenSize = 0;
    int braces = 0, parens = 0, dquotes = 0, squotes = 0;
    bool skipBlanks = false;

    if (trace == 1) traceLine("debugging mode is activated, printing debug information while parsing.");

    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (trace != 0) {
            traceLine(std::to_string(i) + "/" + std::string(1, c));
            if (c == '\n') traceLine("detected newline, reset");
        }
        const int prior = braces + parens + dquotes + squotes;
        if (c == '\n' && prior == 0) {
            sink.token(source.substr(tokenStart, tokenSize));
            sink.statementEnd();
            tokenSize = 0;
            skipBlanks = true;
            continue;
        }
        switch (c) {
            case '"':
                if (dquotes > 0) --dquotes;
                else if (prior == 0) dquotes = 1;
                break;
            case '\'':
                if (squotes > 0) --squotes;
                else if (prior == 0) squotes = 1;
                break;
            case '{':
                if (dquotes == 0 && squotes == 0 && parens == 0 && ++braces > kMaxTextNesting)
                    throw ScriptError(kNestingTooDeep);
                break;
            case '(':
                if (dquotes == 0 && squotes == 0 && braces == 0 && ++parens > kMaxTextNesting)
                    throw ScriptError(kNestingTooDeep);
                break;
            case '}':
                if (prior > 0 && dquotes == 0 && squotes == 0 && parens == 0) --braces;
                break;
            case ')':
                if (prior > 0 && dquotes == 0 && squotes == 0 && braces == 0) --parens;
                break;
            default: break;
        }
        const bool blank = c == ' ' || c == '\t';
        if (skipBlanks && blank) continue;
        if (braces + parens + dquotes + squotes == 0 && blank) {
            sink.token(source.substr(tokenStart, tokenSize));
            tokenSize = 0;
        } else {
            if (tokenSize == 0) tokenStart = i;
            ++tokenSize;
        }
        skipBlanks = false;
        if (trace == 0 && braces + parens + dquotes + squotes > 0) {
            // Every byte up to the group's end goes into the token.
            std::size_t closing;
            if ((parens > 0 || braces > 0) && recordedEnd(ends, source, i, closing)) parens = braces = 0;
            else closing = skipInside(source, i + 1, braces, parens, dquotes, squotes);
            const std::size_t end = closing < source.size() ? closing + 1 : source.size();
            tokenSize += end - (i + 1);
            i = end - 1;
        }
    }

    sink.token(source.substr(tokenStart, tokenSize));
    sink.statementEnd();
    if (braces + parens + dquotes + squotes != 0) {
        UnbalancedText unbalanced(braces, parens, dquotes, squotes);
        unbalanced.text = source;
        throw unbalanced;
    }
}

namespace {

class NoSink final : public TokenSink {
public:
    void token(std::string_view) override {}
    void statementEnd() override {}
};

// Collects the pieces as byte strings.
class StatementCollector final : public TokenSink {
public:
    void token(std::string_view token) override { statement_.emplace_back(token); }
    void statementEnd() override {
        result.push_back(std::move(statement_));
        statement_.clear();
    }
    StatementList result;

private:
    Statement statement_;
};

}  // namespace

void checkSplit(std::string_view source, const GroupEnds* ends) {
    NoSink none;
    scanStatements(source, none, 0, ends);
}

StatementList splitStatements(std::string_view source, int trace) {
    StatementCollector collector;
    scanStatements(source, collector, trace);
    return std::move(collector.result);
}

}  // namespace vorn
