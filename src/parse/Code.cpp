// Building and caching the split-once forms of source text.
#include "parse/Code.h"

#include <algorithm>

#include "values/Error.h"
#include "values/Messages.h"
#include "values/Scope.h"

namespace vorn {

namespace {

Operand::Form formOf(std::string_view token) {
    if (token.empty()) return Operand::Form::Number;
    switch (token[0]) {
        case '$': return Operand::Form::Call;
        case '(': return Operand::Form::Group;
        case '{': return Operand::Form::Block;
        case '"':
        case '\'': return Operand::Form::Literal;
        default: return Operand::Form::Number;
    }
}

std::string_view stripEnds(std::string_view text) {
    if (text.size() < 2) throw ScriptError(messages::kTooShort, std::string(text));
    return text.substr(1, text.size() - 2);
}

StatementKind keywordKind(std::string_view word) {
    // The tests run in this order; at most one can match.
    static const std::pair<std::string_view, StatementKind> kKeywords[] = {
        {"end", StatementKind::End},       {"compare", StatementKind::Compare}, {"each", StatementKind::Each},
        {"until", StatementKind::Until},   {"list", StatementKind::List},       {"add", StatementKind::Add},
        {"index", StatementKind::Index},   {"where", StatementKind::Where},     {"remove", StatementKind::Remove},
        {"exec", StatementKind::Exec},     {"also", StatementKind::Also},       {"class", StatementKind::Class},
        {"delete", StatementKind::Delete},
    };
    for (const auto& [name, kind] : kKeywords)
        if (word == name) return kind;
    return StatementKind::Empty;
}

struct TextBlocks {
    mutable std::shared_ptr<const Block> whole;
    mutable std::shared_ptr<const Block> stripped;
};

}  // namespace

Operand::Operand(std::string token)
    : text(std::move(token)), hash(hashName(text)), form(formOf(text)), op(operatorFromText(text)),
      firstOp(text.empty() ? Operator::None : operatorFromText(std::string_view(text).substr(0, 1))),
      isNot(text == "not") {}

const Expression& Operand::groupExpression() const {
    if (!group) group = compileExpression(text, line);
    return *group;
}

const CallSite& Operand::callSite() const {
    if (!call) call = compileCall(text);
    return *call;
}

const Block& Operand::inlineBody() const {
    if (!block) {
        // The body starts on the line of its opening brace.
        const bool inStatement = line != kUnknownLine;
        block = prepareBlock(stripEnds(text), inStatement ? line : 0, !inStatement);
    }
    return *block;
}

std::shared_ptr<const Expression> compileExpression(std::string_view text, std::uint32_t firstLine) {
    auto expr = std::make_shared<Expression>();
    if (!text.empty() && text[0] == '(') {
        if (text.size() < 2) {
            expr->tooShort = true;
            return expr;
        }
        text = text.substr(1, text.size() - 2);
    }
    StatementList statements = splitStatements(text);
    expr->tokens.reserve(statements.front().size());
    std::uint32_t line = firstLine;
    for (std::string& token : statements.front()) {
        const auto lineEnds = firstLine == Operand::kUnknownLine
                                  ? 0
                                  : static_cast<std::uint32_t>(std::count(token.begin(), token.end(), '\n'));
        expr->tokens.emplace_back(std::move(token));
        expr->tokens.back().line = line;
        line += lineEnds;
    }
    return expr;
}

std::shared_ptr<const CallSite> compileCall(std::string_view token) {
    auto site = std::make_shared<CallSite>();
    if (token.empty() || token[0] != '$') return site;
    token.remove_prefix(1);
    // Cut at every "$" the way delimited fields are read from a stream: "$$"
    // gives an empty piece, a "$" at the very end gives none after it.
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < token.size()) {
        const std::size_t at = token.find('$', start);
        if (at == std::string_view::npos) {
            pieces.push_back(token.substr(start));
            break;
        }
        pieces.push_back(token.substr(start, at - start));
        start = at + 1;
    }
    if (pieces.empty()) return site;
    site->hasCallee = true;
    site->calleeText = std::string(pieces[0]);
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        std::string& group = (!pieces[i].empty() && pieces[i][0] == 'L') ? site->sharingGroup : site->argumentGroup;
        ((!pieces[i].empty() && pieces[i][0] == 'L') ? site->hasSharing : site->hasArguments) = true;
        group += '$';
        group += pieces[i];
    }
    return site;
}

const Expression& CallSite::callee() const {
    if (!calleeCache) calleeCache = compileExpression(calleeText);
    return *calleeCache;
}

const std::vector<std::shared_ptr<const Expression>>& CallSite::arguments() const {
    if (!argumentsReady) {
        // "$(a b)" loses "$(" and ")".
        if (argumentGroup.size() < 3) throw ScriptError(messages::kMalformedCall, argumentGroup);
        StatementList statements = splitStatements(std::string_view(argumentGroup).substr(2, argumentGroup.size() - 3));
        for (const std::string& text : statements.front()) argumentCache.push_back(compileExpression(text));
        argumentsReady = true;
    }
    return argumentCache;
}

const std::vector<std::pair<std::string, std::uint64_t>>& CallSite::sharedNames() const {
    if (!sharingReady) {
        // "$L(x y)" loses "$L(" and ")".
        if (sharingGroup.size() < 4) throw ScriptError(messages::kMalformedCall, sharingGroup);
        StatementList statements = splitStatements(std::string_view(sharingGroup).substr(3, sharingGroup.size() - 4));
        for (std::string& name : statements.front()) {
            const std::uint64_t h = hashName(name);
            sharingCache.emplace_back(std::move(name), h);
        }
        sharingReady = true;
    }
    return sharingCache;
}

std::shared_ptr<const Block> prepareBlock(std::string_view code, std::uint32_t firstLine, bool ownText) {
    auto block = std::make_shared<Block>();
    block->ownText = ownText;
    StatementList statements = splitStatements(code);
    block->statements.reserve(statements.size());
    // Statements end at line ends outside tokens; every other line end of
    // the text is inside a token.
    std::uint32_t line = firstLine;
    for (Statement& raw : statements) {
        PreparedStatement prepared;
        prepared.line = line;
        std::uint32_t inStatement = 0;
        for (std::string& token : raw) {
            const auto lineEnds = static_cast<std::uint32_t>(std::count(token.begin(), token.end(), '\n'));
            if (!token.empty()) {
                prepared.tokens.emplace_back(std::move(token));
                prepared.tokens.back().line = inStatement;
            }
            inStatement += lineEnds;
        }
        line += inStatement + 1;
        if (!prepared.tokens.empty()) {
            const std::string& first = prepared.tokens.front().text;
            const StatementKind keyword = keywordKind(first);
            if (keyword != StatementKind::Empty) {
                prepared.kind = keyword;
                prepared.tokens.erase(prepared.tokens.begin());
            } else if (first[0] == '$') {
                prepared.kind = StatementKind::Call;
            } else if (first[0] == '(') {
                prepared.kind = StatementKind::MemberAssign;
            } else {
                prepared.kind = StatementKind::Assign;
            }
        }
        // Empty statements stay: the kind trim still happens before them.
        block->statements.push_back(std::move(prepared));
    }
    return block;
}

const Block& blockOfText(const Text& text, bool stripped) {
    if (text.empty()) {
        // No buffer to keep a cache on; an empty text splits the same every time.
        if (stripped) stripEnds(text.view());
        static const std::shared_ptr<const Block> kEmpty = prepareBlock(std::string_view());
        return *kEmpty;
    }
    const TextBlocks* cache = text.cached<TextBlocks>();
    if (!cache) {
        auto fresh = std::make_shared<TextBlocks>();
        cache = fresh.get();
        text.setCache<TextBlocks>(std::move(fresh));
    }
    auto& slot = stripped ? cache->stripped : cache->whole;
    if (!slot) slot = prepareBlock(stripped ? stripEnds(text.view()) : text.view());
    return *slot;
}

const std::vector<std::string>& keywordList() {
    static const std::vector<std::string> kList = {"compare", "each", "until", "end",  "add",   "remove", "list",
                                                   "where",   "index", "exec", "also", "class", "delete"};
    return kList;
}

}  // namespace vorn
