// The list text and bytes text encodings, and their four builtins.
#include "builtins/ListText.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
#include "exec/Run.h"
#include "exec/View.h"
#include "expr/Evaluator.h"
#include "parse/Splitter.h"
#include "platform/Platform.h"
#include "values/Convert.h"
#include "values/Depth.h"
#include "values/Error.h"
#include "values/Limits.h"
#include "values/Messages.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

void honourInterrupt() {
    if (platform::gInterruptRequested) platform::throwIfInterrupted();
}

// The length of a list text, computed before any of it is written: a list
// may hold one and the same list twice at every level, and 40 levels make
// a text of 2^40 elements. A list reached through something shared is
// measured once, and the sum stops growing just past the text limit.
class EncodedLength {
public:
    std::size_t of(const ItemList& items) {
        DepthGuard depth;
        std::size_t length = items.empty() ? 2 : items.size() + 1;  // "(", ")" and the blanks
        Value scratch;
        for (const Item& element : items) {
            honourInterrupt();
            const Value& item = element.read(scratch);
            if (item.kind == Kind::List) length += nested(element, item);
            else if (item.kind == Kind::String) length += item.text.size() + 2;
            else length += textLength(item);
            if (length > Limits::maxTextBytes()) return Limits::maxTextBytes() + 1;
        }
        return length;
    }

private:
    std::size_t nested(const Item& element, const Value& list) {
        if (element.cellOrNull()->refCount() == 1 && list.items.holders() <= 1) return of(list.items.get());
        const auto [entry, isNew] = known_.try_emplace(list.items.boxId(), 0);
        if (isNew) entry->second = of(list.items.get());
        return entry->second;
    }
    std::unordered_map<const void*, std::size_t> known_;
};

void appendListText(std::string& out, const ItemList& items) {
    DepthGuard depth;
    out += '(';
    Value scratch;
    for (const Item& element : items) {
        honourInterrupt();
        const Value& item = element.read(scratch);
        if (item.kind == Kind::List) {
            appendListText(out, item.items.get());
        } else if (item.kind == Kind::String) {
            Limits::checkTextSize(out.size() + item.text.size() + 2);
            out += '"';
            out += item.text.view();
            out += '"';
        } else {
            const Text text = textOf(item);
            Limits::checkTextSize(out.size() + text.size());
            out += text.view();
        }
        out += ' ';
        Limits::checkTextSize(out.size());
    }
    if (!items.empty()) out.pop_back();
    out += ')';
}

ItemList readList(Interpreter& interpreter, std::string_view text, const GroupEnds* ends);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The extended-precision float nearest to m * 10^e10 (ties to even), for
// m < 10^19 and |e10| <= 27, computed with integers: the same value that
// the C library's correctly rounded conversion gives, without its cost.
// Powers of five up to 5^27 are below 2^63, so the scaled quotient or
// product fits 128 bits and is rounded once to the 64 bits of the
// significand.
// Other formats of long double (a 128-bit float on some platforms) take
// the C library's conversion.
constexpr bool kX87Extended =
    std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384;
constexpr int kExactPowers = 27;

long double nearestReal(std::uint64_t m, int e10, bool negative) {
    if (m == 0) return negative ? -0.0L : 0.0L;
    std::uint64_t five = 1;
    for (int i = 0; i < (e10 < 0 ? -e10 : e10); ++i) five *= 5;
    using U128 = unsigned __int128;
    U128 value;
    int scale;  // value * 2^scale, before rounding
    bool inexact = false;
    if (e10 >= 0) {
        value = static_cast<U128>(m) * five;
        scale = e10;
    } else {
        const int shift = 128 - (64 - __builtin_clzll(m));
        const U128 numerator = static_cast<U128>(m) << shift;
        value = numerator / five;
        inexact = numerator % five != 0;
        scale = e10 - shift;
    }
    const auto high = static_cast<std::uint64_t>(value >> 64);
    const int bits = high ? 128 - __builtin_clzll(high) : 64 - __builtin_clzll(static_cast<std::uint64_t>(value));
    std::uint64_t significand;
    if (bits <= 64) {
        significand = static_cast<std::uint64_t>(value) << (64 - bits);
        scale -= 64 - bits;
    } else {
        const int extra = bits - 64;
        const U128 dropped = value & ((static_cast<U128>(1) << extra) - 1);
        const U128 half = static_cast<U128>(1) << (extra - 1);
        significand = static_cast<std::uint64_t>(value >> extra);
        scale += extra;
        if (dropped > half || (dropped == half && (inexact || (significand & 1)))) {
            if (++significand == 0) {
                significand = std::uint64_t{1} << 63;
                ++scale;
            }
        }
    }
    // significand * 2^scale, the significand's top bit set: the x87 format
    // keeps that bit, with the exponent biased by 16383.
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &significand, 8);
    const auto exponent = static_cast<std::uint16_t>((scale + 63 + 16383) | (negative ? 0x8000 : 0));
    std::memcpy(bytes + 8, &exponent, 2);
    long double out;
    std::memcpy(&out, bytes, sizeof out);
    return out;
}

// The element a plain element text stands for, read directly: a text in
// one pair of quotes, an integer (digits with an optional minus, within
// 32 bits) or a float (such digits, a point, digits, and an optional
// exponent). These are exactly the texts that the evaluator, given an empty
// scope, reads as one literal whose value it takes from the same
// conversions; anything else (names, calls, blocks, operators, numbers with
// trailing letters, out-of-range integers) returns false and takes the
// evaluator's path, so results and errors are unchanged.
bool readPlainElement(std::string_view text, Value& out) {
    const std::size_t n = text.size();
    if (n == 0) return false;
    const char first = text[0];
    if (first == '"' || first == '\'') {
        // The closing quote must be the last byte and the only other one:
        // then the text is a single token and the literal is its inside.
        if (n < 2 || text.find(first, 1) != n - 1) return false;
        out = Value::ofText(std::string(text.substr(1, n - 2)));
        return true;
    }
    std::size_t i = first == '-' ? 1 : 0;
    const std::size_t digitsFrom = i;
    while (i < n && isDigit(text[i])) ++i;
    const std::size_t digits = i - digitsFrom;
    if (digits == 0) return false;
    if (i == n) {
        // Ten digits may leave the 32-bit range: the general path reports it.
        if (digits > 9) return false;
        std::int64_t value = 0;
        for (std::size_t k = digitsFrom; k < n; ++k) value = value * 10 + (text[k] - '0');
        out = Value::ofInteger(first == '-' ? -value : value);
        return true;
    }
    if (text[i] != '.') return false;
    const std::size_t point = i;
    ++i;
    const std::size_t fractionFrom = i;
    while (i < n && isDigit(text[i])) ++i;
    if (i == fractionFrom) return false;
    const std::size_t fractionTo = i;
    int exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool minus = i < n && text[i] == '-';
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t exponentFrom = i;
        while (i < n && isDigit(text[i])) {
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i == exponentFrom) return false;
        if (minus) exponent = -exponent;
    }
    if (i != n) return false;
    // Up to 19 significant digits and a small power of ten: read exactly.
    std::uint64_t m = 0;
    int significant = 0;
    for (std::size_t k = digitsFrom; k < fractionTo; ++k) {
        if (k == point) continue;
        if (m == 0 && text[k] == '0') {
            if (k > point) --exponent;
            continue;
        }
        if (++significant > 19) break;
        m = m * 10 + static_cast<std::uint64_t>(text[k] - '0');
        if (k > point) --exponent;
    }
    if (kX87Extended && significant <= 19 && exponent >= -kExactPowers && exponent <= kExactPowers) {
        out = Value::ofReal(nearestReal(m, exponent, first == '-'));
        return true;
    }
    // Out of range: the general path words the error as it does for any
    // operand.
    try {
        out = Value::ofReal(parseRealPrefix(text));
    } catch (const ScriptError&) {
        return false;
    }
    return true;
}

// Reads the elements of the first statement of a list text, in order.
class ElementReader final : public TokenSink {
public:
    ElementReader(Interpreter& interpreter, const GroupEnds* ends)
        : interpreter_(interpreter), ends_(ends) {}
    void token(std::string_view element) override {
        if (done_) return;
        honourInterrupt();
        if (!element.empty() && element[0] == '(') {
            items.push_back(newValue(Value::ofList(readList(interpreter_, element, ends_))));
        } else if (readPlainElement(element, plain_)) {
            items.push_back(Item::of(std::move(plain_)));
        } else {
            // An element sees no names, not even the builtins'.
            const BindingBarrier barrier(interpreter_.bindings(), true);
            items.push_back(Item::of(evaluateExpression(element, interpreter_.view(), InlineBlocks::On)));
        }
    }
    void statementEnd() override { done_ = true; }
    ItemList items;

private:
    Interpreter& interpreter_;
    const GroupEnds* ends_;
    Value plain_;
    bool done_ = false;
};

// A byte that the splitter treats specially outside a token of its own, or
// that this reader leaves to it: blanks, tabs and line ends, quotes,
// brackets, braces, and every other control byte.
bool isSpecial(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == ' ' || c == '"' || c == '\'' || c == '(' || c == ')' ||
           c == '{' || c == '}';
}

// Cuts the inside of a list text the way the splitter does when it is
// written as encodelist writes it: tokens separated by single blanks, each a
// quoted text, a short parenthesised group or a bare run of ordinary bytes.
// Anything else (two blanks in a row, a blank at either end, tabs, line
// ends, braces, bytes glued to a quote or a group, long groups) returns
// false, and the splitter cuts the text instead. A text cut here is
// balanced, so the splitter would raise nothing for it.
constexpr std::size_t kTokensBetweenChecks = std::size_t(1) << 16;

bool cutPlainTokens(std::string_view inside, std::vector<std::string_view>& tokens) {
    const std::size_t n = inside.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t from = i;
        const char c = inside[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = inside.find(c, i + 1);
            if (close == std::string_view::npos) return false;
            i = close + 1;
        } else if (c == '(') {
            // Inside parentheses only parentheses count.
            int depth = 0;
            for (; i < n; ++i) {
                if (inside[i] == '(') ++depth;
                else if (inside[i] == ')' && --depth == 0) break;
            }
            if (i == n || i - from >= GroupEnds::kRecordedGroup) return false;
            ++i;
        } else {
            while (i < n && !isSpecial(inside[i])) ++i;
            if (i == from) return false;
        }
        tokens.push_back(inside.substr(from, i - from));
        // A text of millions of elements takes seconds to cut.
        if (tokens.size() % kTokensBetweenChecks == 0) honourInterrupt();
        if (i == n) return true;
        if (inside[i] != ' ' || i + 1 == n || inside[i + 1] == ' ') return false;
        ++i;
    }
    return false;
}

// Reads the elements that cutPlainTokens cut, in order.
ItemList readTokens(Interpreter& interpreter, const std::vector<std::string_view>& tokens, const GroupEnds* ends) {
    ElementReader reader(interpreter, ends);
    reader.items.reserve(tokens.size());
    for (std::string_view token : tokens) reader.token(token);
    return std::move(reader.items);
}

// text views the bytes that ends (if given) was made of.
ItemList readList(Interpreter& interpreter, std::string_view text, const GroupEnds* ends) {
    DepthGuard depth;
    if (text.size() < 2) throw ScriptError(messages::kTooShort, std::string(text));
    const std::string_view inside = text.substr(1, text.size() - 2);
    // Most list texts are as encodelist wrote them and are cut here in one
    // pass; their elements are then read in order as the splitter would
    // have handed them over.
    std::vector<std::string_view> tokens;
    if (cutPlainTokens(inside, tokens)) return readTokens(interpreter, tokens, ends);
    // The whole text splits before the first element is read; the elements
    // are then read as the splitter cuts them, each a view into text, so a
    // list nested n deep is not copied n times.
    checkSplit(inside, ends);
    ElementReader reader(interpreter, ends);
    scanStatements(inside, reader, 0, ends);
    return std::move(reader.items);
}

}  // namespace

std::string writeListText(const ItemList& items) {
    // Measured first, so a text past the limit is refused before any of it
    // is written, and one within it is written into a buffer of its size.
    const std::size_t length = EncodedLength().of(items);
    Limits::checkTextSize(length);
    std::string out;
    out.reserve(length);
    appendListText(out, items);
    return out;
}

ItemList readListText(Interpreter& interpreter, std::string_view text) {
    // A long text is looked through once for where its groups close, so
    // that a list nested n deep is not passed over n times; a text that the
    // plain cut takes has no long groups and needs no table.
    if (text.size() < GroupEnds::kRecordedGroup) return readList(interpreter, text, nullptr);
    if (text.size() >= 2) {
        std::vector<std::string_view> tokens;
        if (cutPlainTokens(text.substr(1, text.size() - 2), tokens)) {
            DepthGuard depth;
            return readTokens(interpreter, tokens, nullptr);
        }
    }
    const GroupEnds ends(text);
    return readList(interpreter, text, &ends);
}

// How often a long bytes text looks for Ctrl-C.
constexpr std::size_t kBytesBetweenChecks = std::size_t(1) << 16;

std::string writeBytesText(const std::vector<std::uint8_t>& bytes) {
    Limits::checkTextSize(bytes.size() * 3);
    std::string out(bytes.size() * 3, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % kBytesBetweenChecks == 0) honourInterrupt();
        out[3 * i] = static_cast<char>('0' + bytes[i] / 100);
        out[3 * i + 1] = static_cast<char>('0' + bytes[i] / 10 % 10);
        out[3 * i + 2] = static_cast<char>('0' + bytes[i] % 10);
    }
    return out;
}

std::vector<std::uint8_t> readBytesText(std::string_view text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 3 + 1);
    for (std::size_t i = 0; i < text.size(); i += 3) {
        if (i % (3 * kBytesBetweenChecks) == 0) honourInterrupt();
        const std::int32_t n = parseIntPrefix(text.substr(i, 3));
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) & 0xFFu));
    }
    return out;
}

namespace builtins {

Value encodelist(const CallScope& scope) { return Value::ofText(writeListText(argument(scope, 0).items.get())); }

Value decodelist(const CallScope& scope) {
    return Value::ofList(readListText(scope.interpreter(), textOf(argument(scope, 0)).view()));
}

Value encodebytes(const CallScope& scope) {
    const Value value = argument(scope, 0);
    return Value::ofText(value.kind == Kind::Bytes ? writeBytesText(value.bytes().get()) : std::string());
}

Value decodebytes(const CallScope& scope) { return Value::ofBytes(readBytesText(textOf(argument(scope, 0)).view())); }

}  // namespace builtins

}  // namespace vorn
