// Building and caching the split-once forms of source text.
#include "parse/Code.h"

#include <algorithm>

#include "parse/TokenInterner.h"
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

// Whether the token at index (keyword not counted) of a statement of kind is
// a name the statement binds: the target of an assignment, or a keyword's 'T'.
bool bindsName(StatementKind kind, std::uint32_t index) {
    if (kind == StatementKind::Assign) return index == 0;
    const Keyword* keyword = keywordOf(kind);
    return keyword && index < keyword->slots.size() && keyword->slots[index] == 'T';
}

}  // namespace

Operand::Operand(std::string_view token, std::uint64_t hash)
    : text(token),
      hash(hash),
      symbol(hash == kUnhashedName ? SymbolRef() : intern(token, hash)),
      form(formOf(text)),
      op(operatorFromText(text)),
      firstOp(text.empty() ? Operator::None : operatorFromText(text.substr(0, 1))), isNot(text == "not") {}

const Operand::Literal& Operand::setLiteral(Literal literal) const {
    literal_ = std::make_unique<Literal>(std::move(literal));
    return *literal_;
}

Operand::Built& Operand::built() const {
    if (!built_) built_ = std::make_unique<Built>();
    return *built_;
}

// A run of empty tokens in an expression, kept short (see Expression).
class EmptyRun {
public:
    // One more empty token: true when it is kept as a token of its own.
    bool add() { return ++length_ <= Expression::kEmptyRunKept; }
    // Ends the run. Gives how many more empty tokens are kept past the first
    // kEmptyRunKept (the same remainder modulo 4), and in standsFor how many
    // tokens the last kept one stands for (1 when the run was short).
    std::uint32_t end(std::uint32_t& standsFor) {
        std::uint32_t more = 0;
        standsFor = 1;
        if (length_ > Expression::kEmptyRunKept) {
            const std::uint32_t surplus = length_ - Expression::kEmptyRunKept;
            more = surplus % 4;
            standsFor = surplus - more + 1;
        }
        length_ = 0;
        return more;
    }

private:
    std::uint32_t length_ = 0;
};

// A text at least this long is split twice: once to count its pieces, so
// that their records are allocated once at their final size. A vector grown
// by doubling holds up to three times its items' size while it moves them,
// and the allocator keeps most of that memory after (a line of a million
// tokens); for short texts the second pass would cost more than it saves.
constexpr std::size_t kCountFirst = 64 * 1024;

// Adds tokens to a store through an interner, or only counts them when there
// is no store (the first pass over a long text). When the records were
// allocated at their counted size they never move, and the tokens point at
// them at once; otherwise the tokens are kept as indices until the last
// record is made.
class TokenAdder {
public:
    TokenAdder(TokenStore* store, bool counted) : store_(store), counted_(counted) {}

    // named: the token is a name its statement binds, which needs its hash.
    // Any other token longer than kHashedNameLength carries kUnhashedName:
    // it is only ever looked up, and a long token is mostly a body or group
    // whose hash would cover all the text nested in it, level after level.
    void add(std::string_view text, std::uint32_t line, bool named = false) {
        bool fresh = false;
        const std::uint32_t index = interner_.find(text, line, fresh);
        ++places;
        if (!store_) return;
        if (fresh) {
            makeRoom();
            Operand& record = store_->records.emplace_back(text, named ? hashName(text) : preparedHash(text));
            record.line = line;
            // Its inside is split with the table of the bytes it views.
            if (ends && text.size() >= GroupEnds::kRecordedGroup && (text[0] == '(' || text[0] == '{' || text[0] == '$'))
                record.built().ends = ends;
        } else if (named && store_->records[index].hash == kUnhashedName) {
            // The same text stood before where it needed no hash.
            store_->records[index].hash = hashName(text);
            store_->records[index].symbol = intern(text, store_->records[index].hash);
        }
        if (counted_) store_->order.push_back(&store_->records[index]);
        else indices_.push_back(index);
    }
    // Gives the last token added a record of its own, standing for count tokens.
    void standAlone(std::uint32_t count) {
        const std::uint32_t index = interner_.own();
        if (!store_) return;
        const Operand& last = counted_ ? *store_->order.back() : store_->records[indices_.back()];
        const std::string_view text = last.text;
        const std::uint32_t line = last.line;
        makeRoom();
        Operand& alone = store_->records.emplace_back(text, last.hash);
        alone.line = line;
        alone.built().count = count;
        if (counted_) store_->order.back() = &alone;
        else indices_.back() = index;
    }
    // Makes the store final: once built, its records never move.
    void finish() {
        if (counted_) return;  // allocated at their final size
        store_->records.shrink_to_fit();
        store_->order.reserve(indices_.size());
        for (std::size_t i = 0; i < indices_.size(); ++i) store_->order.push_back(&store_->records[indices_[i]]);
    }
    std::uint32_t records() const { return interner_.records(); }

    std::size_t places = 0;
    // The table of the bytes the tokens view, if any: long groups keep it.
    std::shared_ptr<const GroupEnds> ends;

private:
    // Counting and building make the same records, so a counted store never
    // fills up; if it ever did, the records would move under the pointers
    // already taken, so the tokens go back to indices first.
    void makeRoom() {
        if (!counted_ || store_->records.size() < store_->records.capacity()) return;
        for (const Operand* token : store_->order)
            indices_.push_back(static_cast<std::uint32_t>(token - store_->records.data()));
        store_->order.clear();
        counted_ = false;
    }

    TokenStore* store_;
    bool counted_;
    TokenInterner interner_;
    TokenIndices indices_;
};

// Prepares the pieces of an expression's first statement as the splitter
// cuts them, keeping long runs of empty tokens short (see Expression); with
// no store it only counts them.
class ExpressionBuilder final : public TokenSink {
public:
    ExpressionBuilder(TokenStore* store, bool counted, std::uint32_t firstLine)
        : adder_(store, counted), line_(firstLine) {}

    void token(std::string_view token) override {
        if (done_) return;
        if (token.empty()) {
            if (!run_.add()) return;
        } else {
            endRun();
        }
        adder_.add(token, line_);
        if (line_ != Operand::kUnknownLine) line_ += lineEndsIn(token, adder_.ends.get());
    }
    void statementEnd() override {
        if (!done_) endRun();
        done_ = true;
    }
    TokenAdder& adder() { return adder_; }

private:
    // Ends a run of empty tokens; the last one kept stands for the rest.
    void endRun() {
        std::uint32_t standsFor;
        const std::uint32_t more = run_.end(standsFor);
        for (std::uint32_t i = 0; i < more; ++i) adder_.add(std::string_view(), line_);
        if (standsFor > 1) adder_.standAlone(standsFor);
    }

    TokenAdder adder_;
    std::uint32_t line_;
    EmptyRun run_;
    bool done_ = false;
};

namespace {

// Fills expression from text, a view into bytes that outlive it; ends, when
// given, is the table of those bytes.
void buildExpression(Expression& expression, std::string_view text, std::uint32_t firstLine,
                     const std::shared_ptr<const GroupEnds>& ends = nullptr) {
    if (!text.empty() && text[0] == '(') {
        if (text.size() < 2) {
            expression.tooShort = true;
            return;
        }
        text = text.substr(1, text.size() - 2);
    }
    TokenStore& store = expression.store;
    const bool counted = text.size() >= kCountFirst;
    if (counted) {
        ExpressionBuilder counter(nullptr, false, firstLine);
        counter.adder().ends = ends;
        scanStatements(text, counter, 0, ends.get());
        store.records.reserve(counter.adder().records());
        store.order.reserve(counter.adder().places);
    }
    ExpressionBuilder builder(&store, counted, firstLine);
    builder.adder().ends = ends;
    scanStatements(text, builder, 0, ends.get());
    if (!counted && builder.adder().places == 1 && store.records.size() == 1) {
        expression.single = &store.records.front();
        expression.tokens = TokenList(&expression.single, 1);
    } else {
        builder.adder().finish();
        expression.tokens = TokenList(store.order.data(), static_cast<std::uint32_t>(store.order.size()));
    }
    // Only a call or a block runs code, and a group holds one only where its
    // bytes have a "$" or a "{".
    for (const Operand& token : expression.tokens) {
        const bool plain = token.form == Operand::Form::Group ? token.text.find_first_of("${") == std::string_view::npos
                                                             : token.form == Operand::Form::Number || token.form == Operand::Form::Literal;
        if (!plain) expression.plain = false;
    }
    const std::size_t n = expression.tokens.size();
    expression.plainRow = !expression.tooShort && n >= 3 && n % 2 == 1;
    for (std::size_t i = 0; i < n && expression.plainRow; i += 2) {
        const Operand& operand = expression.tokens[i];
        if (operand.form == Operand::Form::Group) expression.groupedRow = true;
        expression.plainRow = operand.form == Operand::Form::Group
                                  ? operand.text.find_first_of("${") == std::string_view::npos
                                  : (operand.form == Operand::Form::Number || operand.form == Operand::Form::Literal) &&
                                        !operand.isNot;
    }
    if (!expression.plainRow) expression.groupedRow = false;
}

std::shared_ptr<const Expression> expressionIn(std::string_view text, std::uint32_t firstLine,
                                               const std::shared_ptr<const GroupEnds>& ends = nullptr) {
    auto expression = std::make_shared<Expression>();
    buildExpression(*expression, text, firstLine, ends);
    return expression;
}

// Adds the pieces in stretch, each with the "$" before it, to a group of a
// call: while its stretches follow one another in the token the group is a
// view of it, else a joined copy.
void addStretch(std::string_view stretch, bool& has, std::string_view& group, std::string& joined) {
    if (!has) {
        has = true;
        group = stretch;
    } else if (joined.empty() && group.data() + group.size() == stretch.data()) {
        group = std::string_view(group.data(), group.size() + stretch.size());
    } else {
        if (joined.empty()) joined = std::string(group);
        joined += stretch;
    }
}

// ends, when given, is the table of the bytes token views.
std::shared_ptr<const CallSite> callIn(std::string_view token, SharedSource source,
                                       std::shared_ptr<const GroupEnds> ends = nullptr) {
    auto site = std::make_shared<CallSite>();
    site->source = std::move(source);
    if (token.empty() || token[0] != '$') return site;
    token.remove_prefix(1);
    if (token.empty()) return site;
    // Cut at every "$" the way delimited fields are read from a stream: "$$"
    // gives an empty piece, a "$" at the very end gives none after it. The
    // first piece is the callee; of the others, those that start with "L"
    // form the sharing group and the rest the argument group, each the
    // pieces joined with the "$" before each one. Only where an "L" follows
    // a "$" can the group change, so the token is taken in stretches between
    // such pairs, found through the table when there is one: a level of a
    // nested call does not read the "$" signs of the calls inside it.
    const std::size_t callee = token.find('$');
    site->hasCallee = true;
    site->calleeText = token.substr(0, callee);
    site->ends = std::move(ends);
    if (callee == std::string_view::npos) return site;
    const std::size_t last = token.back() == '$' ? token.size() - 1 : token.size();
    std::size_t at = callee;  // a "$" that starts a piece
    while (at < last) {
        std::size_t sharing = site->ends ? site->ends->nextSharing(token, at) : token.find("$L", at);
        if (sharing > last) sharing = last;
        if (sharing > at)
            addStretch(token.substr(at, sharing - at), site->hasArguments, site->argumentGroup, site->joinedArguments);
        if (sharing == last) break;
        // A sharing piece runs to the next "$" (at the very end, none follows).
        std::size_t next = token.find('$', sharing + 1);
        if (next == std::string_view::npos) next = token.size();
        addStretch(token.substr(sharing, next - sharing), site->hasSharing, site->sharingGroup, site->joinedSharing);
        at = next;
    }
    if (!site->joinedArguments.empty()) site->argumentGroup = site->joinedArguments;
    if (!site->joinedSharing.empty()) site->sharingGroup = site->joinedSharing;
    return site;
}

// Prepares the statements of code, a view into bytes that outlive the block;
// with no block it only counts them.
class BlockBuilder final : public TokenSink {
public:
    BlockBuilder(Block* block, bool counted, std::uint32_t firstLine)
        : block_(block), adder_(block ? &block->store : nullptr, counted), line_(firstLine) {}

    void token(std::string_view token) override {
        const std::uint32_t lineEnds = lineEndsIn(token, adder_.ends.get());
        if (!token.empty()) {
            // The kind is decided by the first token; a keyword is no token
            // of the statement.
            if (!seenFirst_) {
                seenFirst_ = true;
                kind_ = keywordKind(token);
                if (kind_ == StatementKind::Empty)
                    kind_ = token[0] == '$'   ? StatementKind::Call
                            : token[0] == '(' ? StatementKind::MemberAssign
                                              : StatementKind::Assign;
                else
                    token = std::string_view();
            }
            if (!token.empty()) {
                adder_.add(token, inStatement_, bindsName(kind_, size_));
                ++size_;
            }
        }
        inStatement_ += lineEnds;
    }

    void statementEnd() override {
        // Statements end at line ends outside tokens; every other line end of
        // the text is inside a token.
        const std::uint32_t line = line_;
        line_ += inStatement_ + 1;
        inStatement_ = 0;
        const StatementKind kind = seenFirst_ ? kind_ : StatementKind::Empty;
        const std::uint32_t size = size_;
        seenFirst_ = false;
        size_ = 0;
        // Empty statements stay: the kind trim still happens before them. A
        // blank line right after one joins it, making it a run.
        if (kind == StatementKind::Empty && lastEmpty_ && lastRepeat_ < UINT16_MAX && lastLine_ + lastRepeat_ == line) {
            ++lastRepeat_;
            if (block_) {
                PreparedStatement& run = block_->statements.back();
                run.kind = StatementKind::EmptyRun;
                ++run.repeat;
            }
            return;
        }
        lastEmpty_ = kind == StatementKind::Empty;
        lastLine_ = line;
        lastRepeat_ = 1;
        ++statements;
        if (!block_) return;
        PreparedStatement& prepared = block_->statements.emplace_back();
        prepared.kind = kind;
        prepared.line = line;
        // Where its tokens start is known once the store is final (see finish).
        prepared.tokens = TokenList(nullptr, size);
    }

    // Points every statement at its tokens, once the store holds them all.
    void finish(bool counted) {
        adder_.finish();
        if (!counted) block_->statements.shrink_to_fit();
        const Operand* const* at = block_->store.order.data();
        for (PreparedStatement& statement : block_->statements) {
            const auto size = static_cast<std::uint32_t>(statement.tokens.size());
            statement.tokens = TokenList(at, size);
            at += size;
        }
        const auto idle = [](const PreparedStatement& statement) {
            return statement.kind == StatementKind::Empty || statement.kind == StatementKind::EmptyRun;
        };
        const std::vector<PreparedStatement>& statements = block_->statements;
        const auto first = std::find_if_not(statements.begin(), statements.end(), idle);
        block_->idleFirst = static_cast<std::uint32_t>(first - statements.begin());
        block_->idleLast = static_cast<std::uint32_t>(
            std::find_if_not(statements.rbegin(), std::make_reverse_iterator(first), idle) - statements.rbegin());
    }
    TokenAdder& adder() { return adder_; }

    std::size_t statements = 0;

private:
    Block* block_;
    TokenAdder adder_;
    std::uint32_t line_;
    std::uint32_t inStatement_ = 0;
    bool seenFirst_ = false;
    StatementKind kind_ = StatementKind::Empty;
    std::uint32_t size_ = 0;
    bool lastEmpty_ = false;
    std::uint32_t lastLine_ = 0;
    std::uint32_t lastRepeat_ = 0;
};

// ends, when given, is the table of the bytes code views.
std::shared_ptr<const Block> blockIn(std::string_view code, std::uint32_t firstLine, bool ownText,
                                     SharedSource source, const std::shared_ptr<const GroupEnds>& ends = nullptr) {
    auto block = std::make_shared<Block>();
    block->ownText = ownText;
    block->source = std::move(source);
    const bool counted = code.size() >= kCountFirst;
    if (counted) {
        BlockBuilder counter(nullptr, false, firstLine);
        counter.adder().ends = ends;
        scanStatements(code, counter, 0, ends.get());
        block->statements.reserve(counter.statements);
        block->store.records.reserve(counter.adder().records());
        block->store.order.reserve(counter.adder().places);
    }
    BlockBuilder builder(block.get(), counted, firstLine);
    builder.adder().ends = ends;
    scanStatements(code, builder, 0, ends.get());
    builder.finish(counted);
    return block;
}

SharedSource copyOf(std::string_view text) { return std::make_shared<const std::string>(text); }

}  // namespace

// A group, body or call at least this long that has no table of its bytes
// makes one: the groups, bodies and calls nested in it then find their ends,
// line ends and "$L" pairs without passing over their insides again at every
// level.
constexpr std::size_t kGroupEndsFrom = 512;

// The table the inside of b's token is split with: the one it was prepared
// with, or a new one for a long token. Once the piece is built, its own
// pieces hold the table as long as they need it, and b lets go of it.
const std::shared_ptr<const GroupEnds>& Operand::endsFor(Built& b) const {
    if (!b.ends && text.size() >= kGroupEndsFrom) b.ends = std::make_shared<const GroupEnds>(text);
    return b.ends;
}

const Expression& Operand::buildGroup() const {
    Built& b = built();
    if (!b.group) {
        b.group = expressionIn(text, line, endsFor(b));
        b.ends.reset();
    }
    return *b.group;
}

const CallSite& Operand::buildCall() const {
    Built& b = built();
    if (!b.call) {
        b.call = callIn(text, nullptr, endsFor(b));
        b.ends.reset();
    }
    return *b.call;
}

const Block& Operand::buildBody() const {
    Built& b = built();
    if (!b.block) {
        // The body starts on the line of its opening brace.
        const bool inStatement = line != kUnknownLine;
        const std::string_view inside = stripEnds(text);
        b.block = blockIn(inside, inStatement ? line : 0, !inStatement, nullptr, endsFor(b));
        b.ends.reset();
    }
    return *b.block;
}

std::shared_ptr<const Expression> compileExpression(std::string_view text, std::uint32_t firstLine) {
    auto expression = std::make_shared<Expression>();
    expression->source = copyOf(text);
    buildExpression(*expression, *expression->source, firstLine);
    return expression;
}

void ArgumentList::append(std::string_view text) {
    if (text.empty() && !runs_.empty() && runs_.back().text.empty()) joined_ = true;
    else runs_.push_back({text, size_, nullptr});
    ++size_;
}

const ArgumentList::Run& ArgumentList::find(std::size_t i) const {
    if (!joined_) return runs_[i];
    // The last run that starts at or before i.
    auto it = std::upper_bound(runs_.begin(), runs_.end(), i, [](std::size_t at, const Run& run) { return at < run.first; });
    return *std::prev(it);
}

const Expression* ArgumentList::build(std::size_t i) const {
    const Run& run = find(i);
    if (run.expression) return run.expression;
    if (run.text.empty() && empty_) return run.expression = empty_;
    Expression& expression = store_.emplace_back();
    try {
        buildExpression(expression, run.text, Operand::kUnknownLine, ends_);
    } catch (...) {
        store_.pop_back();
        throw;
    }
    if (run.text.empty()) empty_ = &expression;
    return run.expression = &expression;
}

std::shared_ptr<const CallSite> compileCall(std::string_view token) {
    SharedSource source = copyOf(token);
    const std::string_view copy = *source;
    return callIn(copy, std::move(source));
}

std::shared_ptr<const CallSite> viewCall(std::string_view token) { return callIn(token, nullptr); }

const Expression& CallSite::buildCallee() const {
    calleeCache = expressionIn(calleeText, Operand::kUnknownLine, ends);
    return *calleeCache;
}

namespace {

// Lists the argument texts of a call; nothing is compiled yet.
class ArgumentBuilder final : public TokenSink {
public:
    explicit ArgumentBuilder(ArgumentList& list) : list_(list) {}

    void token(std::string_view token) override {
        if (!done_) list_.append(token);
    }
    void statementEnd() override { done_ = true; }

private:
    ArgumentList& list_;
    bool done_ = false;
};

}  // namespace

const ArgumentList& CallSite::buildArguments() const {
    // "$(a b)" loses "$(" and ")".
    if (argumentGroup.size() < 3) throw ScriptError(messages::kMalformedCall, std::string(argumentGroup));
    const std::string_view inside = argumentGroup.substr(2, argumentGroup.size() - 3);
    // The whole group splits before any argument is compiled, so that its
    // own errors come first.
    checkSplit(inside, ends.get());
    ArgumentList list(ends);
    ArgumentBuilder builder(list);
    scanStatements(inside, builder, 0, ends.get());
    argumentCache = std::move(list);
    argumentsReady = true;
    return argumentCache;
}

namespace {

// The names of a sharing group. A name right after the same name is left
// out: sharing it again binds the same Value under the same name once more,
// which changes nothing (a run of blanks gives a run of empty names).
class SharedNameBuilder final : public TokenSink {
public:
    void token(std::string_view name) override {
        if (done_ || (!names.empty() && names.back()->text == name)) return;
        names.push_back(intern(name));
    }
    void statementEnd() override { done_ = true; }
    std::vector<SymbolRef> names;

private:
    bool done_ = false;
};

}  // namespace

const std::vector<SymbolRef>& CallSite::sharedNames() const {
    if (!sharingReady) {
        // "$L(x y)" loses "$L(" and ")".
        if (sharingGroup.size() < 4) throw ScriptError(messages::kMalformedCall, std::string(sharingGroup));
        SharedNameBuilder builder;
        scanStatements(sharingGroup.substr(3, sharingGroup.size() - 4), builder, 0, ends.get());
        sharingCache = std::move(builder.names);
        sharingReady = true;
    }
    return sharingCache;
}

std::shared_ptr<const Block> prepareBlock(std::string_view code, std::uint32_t firstLine, bool ownText) {
    SharedSource source = copyOf(code);
    const std::string_view copy = *source;
    return blockIn(copy, firstLine, ownText, std::move(source));
}

std::shared_ptr<const Block> viewBlock(std::string_view code, std::uint32_t firstLine) {
    return blockIn(code, firstLine, true, nullptr);
}

std::shared_ptr<const Block> prepareTakenBlock(std::string code) {
    SharedSource source = std::make_shared<const std::string>(std::move(code));
    const std::string_view bytes = *source;
    return blockIn(bytes, 0, true, std::move(source));
}

const Block& blockOfTextFirst(const Text& text, bool stripped) {
    if (text.empty()) {
        // No buffer to keep a cache on; an empty text splits the same every time.
        if (stripped) stripEnds(text.view());
        static const std::shared_ptr<const Block> kEmpty = blockIn(std::string_view(), 0, true, nullptr);
        return *kEmpty;
    }
    const TextBlocks* cache = text.cached<TextBlocks>();
    if (!cache) {
        auto fresh = std::make_shared<TextBlocks>();
        cache = fresh.get();
        text.setCache<TextBlocks>(std::move(fresh));
    }
    auto& slot = stripped ? cache->stripped : cache->whole;
    // The buffer holds both the bytes and the block, so the block views them.
    if (!slot) slot = blockIn(stripped ? stripEnds(text.view()) : text.view(), 0, true, nullptr);
    return *slot;
}

namespace {
// In the order of their statement kinds.
constexpr Keyword kKeywords[] = {
    {"end", StatementKind::End, "E"},          {"compare", StatementKind::Compare, "EB"},
    {"each", StatementKind::Each, "EB"},       {"until", StatementKind::Until, "EB"},
    {"list", StatementKind::List, "T"},        {"add", StatementKind::Add, "NE"},
    {"index", StatementKind::Index, "NET"},    {"where", StatementKind::Where, "NET"},
    {"remove", StatementKind::Remove, "NE"},   {"exec", StatementKind::Exec, "E"},
    {"also", StatementKind::Also, "A"},        {"class", StatementKind::Class, "TC"},
    {"delete", StatementKind::Delete, "N"},
};
constexpr bool keywordsInKindOrder() {
    for (std::size_t i = 0; i < std::size(kKeywords); ++i)
        if (static_cast<std::size_t>(kKeywords[i].kind) != static_cast<std::size_t>(StatementKind::End) + i) return false;
    return true;
}
static_assert(keywordsInKindOrder(), "keywordOf finds a keyword by its kind's place");
}  // namespace

const Keyword* keywordOf(StatementKind kind) {
    const auto at = static_cast<std::size_t>(kind) - static_cast<std::size_t>(StatementKind::End);
    return at < std::size(kKeywords) ? &kKeywords[at] : nullptr;
}

StatementKind keywordKind(std::string_view word) {
    for (const Keyword& keyword : kKeywords)
        if (word == keyword.word) return keyword.kind;
    return StatementKind::Empty;
}

}  // namespace vorn
