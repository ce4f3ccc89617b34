// The list text and bytes text encodings, and their four builtins.
#include "builtins/ListText.h"

#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
#include "exec/View.h"
#include "expr/Evaluator.h"
#include "parse/Splitter.h"
#include "values/Convert.h"
#include "values/Depth.h"
#include "values/Error.h"
#include "values/Limits.h"
#include "values/Messages.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

void appendListText(std::string& out, const ItemList& items) {
    DepthGuard depth;
    out += '(';
    Value scratch;
    for (const Item& element : items) {
        const Value& item = element.read(scratch);
        if (item.kind == Kind::List) {
            appendListText(out, item.items.get());
        } else if (item.kind == Kind::String) {
            out += '"';
            out += item.text.view();
            out += '"';
        } else {
            out += textOf(item).view();
        }
        out += ' ';
        Limits::checkTextSize(out.size());
    }
    if (!items.empty()) out.pop_back();
    out += ')';
}

ItemList readList(std::string_view text, const GroupEnds* ends);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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
    ++i;
    const std::size_t fractionFrom = i;
    while (i < n && isDigit(text[i])) ++i;
    if (i == fractionFrom) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t exponentFrom = i;
        while (i < n && isDigit(text[i])) ++i;
        if (i == exponentFrom) return false;
    }
    if (i != n) return false;
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
    explicit ElementReader(const GroupEnds* ends) : ends_(ends) {}
    void token(std::string_view element) override {
        if (done_) return;
        if (!element.empty() && element[0] == '(') {
            items.push_back(newValue(Value::ofList(readList(element, ends_))));
        } else if (readPlainElement(element, plain_)) {
            items.push_back(Item::of(std::move(plain_)));
        } else {
            items.push_back(Item::of(evaluateExpression(element, view_, InlineBlocks::On)));
        }
    }
    void statementEnd() override { done_ = true; }
    ItemList items;

private:
    const GroupEnds* ends_;
    Value plain_;
    Scope empty_;
    const View view_{empty_};
    bool done_ = false;
};

// text views the bytes that ends (if given) was made of.
ItemList readList(std::string_view text, const GroupEnds* ends) {
    DepthGuard depth;
    if (text.size() < 2) throw ScriptError(messages::kTooShort, std::string(text));
    const std::string_view inside = text.substr(1, text.size() - 2);
    // The whole text splits before the first element is read; the elements
    // are then read as the splitter cuts them, each a view into text, so a
    // list nested n deep is not copied n times.
    checkSplit(inside, ends);
    ElementReader reader(ends);
    scanStatements(inside, reader, 0, ends);
    return std::move(reader.items);
}

}  // namespace

std::string writeListText(const ItemList& items) {
    std::string out;
    appendListText(out, items);
    return out;
}

ItemList readListText(std::string_view text) {
    // A long text is looked through once for where its groups close, so
    // that a list nested n deep is not passed over n times.
    if (text.size() < GroupEnds::kRecordedGroup) return readList(text, nullptr);
    const GroupEnds ends(text);
    return readList(text, &ends);
}

std::string writeBytesText(const std::vector<std::uint8_t>& bytes) {
    Limits::checkTextSize(bytes.size() * 3);
    std::string out(bytes.size() * 3, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
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
        const std::int32_t n = parseIntPrefix(text.substr(i, 3));
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) & 0xFFu));
    }
    return out;
}

namespace builtins {

Value encodelist(Scope* scope) { return Value::ofText(writeListText(argument(scope, 0).items.get())); }

Value decodelist(Scope* scope) { return Value::ofList(readListText(textOf(argument(scope, 0)).view())); }

Value encodebytes(Scope* scope) {
    const Value value = argument(scope, 0);
    return Value::ofText(value.kind == Kind::Bytes ? writeBytesText(value.bytes().get()) : std::string());
}

Value decodebytes(Scope* scope) { return Value::ofBytes(readBytesText(textOf(argument(scope, 0)).view())); }

}  // namespace builtins

}  // namespace vorn
