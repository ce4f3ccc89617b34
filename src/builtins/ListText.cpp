// The list text and bytes text encodings, and their four builtins.
#include "builtins/ListText.h"

#include <unordered_map>

#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
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

ItemList readList(std::string_view text, const GroupEnds* ends);

// Reads the elements of the first statement of a list text, in order.
class ElementReader final : public TokenSink {
public:
    explicit ElementReader(const GroupEnds* ends) : ends_(ends) {}
    void token(std::string_view element) override {
        if (done_) return;
        honourInterrupt();
        if (!element.empty() && element[0] == '(') items.push_back(newValue(Value::ofList(readList(element, ends_))));
        else items.push_back(Item::of(evaluateExpression(element, view_, InlineBlocks::On)));
    }
    void statementEnd() override { done_ = true; }
    ItemList items;

private:
    const GroupEnds* ends_;
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
    // Measured first, so a text past the limit is refused before any of it
    // is written, and one within it is written into a buffer of its size.
    const std::size_t length = EncodedLength().of(items);
    Limits::checkTextSize(length);
    std::string out;
    out.reserve(length);
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

Value encodelist(Scope* scope) { return Value::ofText(writeListText(argument(scope, 0).items.get())); }

Value decodelist(Scope* scope) { return Value::ofList(readListText(textOf(argument(scope, 0)).view())); }

Value encodebytes(Scope* scope) {
    const Value value = argument(scope, 0);
    return Value::ofText(value.kind == Kind::Bytes ? writeBytesText(value.bytes().get()) : std::string());
}

Value decodebytes(Scope* scope) { return Value::ofBytes(readBytesText(textOf(argument(scope, 0)).view())); }

}  // namespace builtins

}  // namespace vorn
