// Kind conversion: text forms, number readings, list forms and equality.
#include "values/Convert.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <unordered_map>

#include "platform/Platform.h"
#include "values/Depth.h"
#include "values/Limits.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

// Ctrl-C ends a long text form as it ends a long loop.
void honourInterrupt() {
    if (platform::gInterruptRequested) platform::throwIfInterrupted();
}

std::size_t integerLength(std::int64_t i) {
    char digits[24];
    return static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, i).ptr - digits);
}

// The length of a list's text form, computed before any of it is built.
// A list may hold one and the same list twice, at every level: 40 levels
// make a form of 2^40 elements from 40 small lists. So a list reached
// through something shared (its cell or its item box) is measured once, and
// every sum stops growing just past the text limit.
class ListTextLength {
public:
    // quoted: the form of target "string" (texts in quotes, ", " between
    // elements); otherwise that of target "func" (texts bare, " ,").
    std::size_t of(const ItemList& items, bool quoted) {
        DepthGuard guard;
        std::size_t length = items.empty() ? 2 : items.size() * 2;  // "[", "]" and the separators
        Value scratch;
        for (const Item& element : items) {
            honourInterrupt();
            const Value& item = element.read(scratch);
            switch (item.kind) {
                case Kind::String: length += item.text.size() + (quoted ? 2 : 0); break;
                case Kind::Func: length += item.text.size(); break;
                case Kind::Integer: length += integerLength(item.integer); break;
                case Kind::Float: length += formatReal(item.real()).size(); break;
                case Kind::List: length += nested(element, item); break;
                default: break;
            }
            length = capped(length);
        }
        return length;
    }

private:
    std::size_t nested(const Item& element, const Value& list) {
        const bool shared = element.cellOrNull()->refCount() > 1 || list.items.holders() > 1;
        if (!shared) return of(list.items.get(), true);
        const auto [entry, isNew] = known_.try_emplace(list.items.boxId(), 0);
        if (isNew) entry->second = of(list.items.get(), true);
        return entry->second;
    }
    static std::size_t capped(std::size_t n) { return n > Limits::maxTextBytes() ? Limits::maxTextBytes() + 1 : n; }

    std::unordered_map<const void*, std::size_t> known_;
};

bool holdsList(const ItemList& items) {
    return std::any_of(items.begin(), items.end(), [](const Item& item) {
        const Cell* cell = item.cellOrNull();
        return cell && cell->value.kind == Kind::List;
    });
}

// Appends piece, refusing first a text that would grow past the limit.
void appendChecked(std::string& out, std::string_view piece) {
    Limits::checkTextSize(out.size() + piece.size());
    out += piece;
}

// The list form for a "string" target: [a, "b", [c]]. Nested lists are
// written straight into out.
void appendListText(std::string& out, const ItemList& items) {
    DepthGuard guard;
    appendChecked(out, "[");
    Value scratch;
    bool first = true;
    for (const Item& element : items) {
        honourInterrupt();
        if (!first) appendChecked(out, ", ");
        first = false;
        const Value& item = element.read(scratch);
        if (item.kind == Kind::String) {
            Limits::checkTextSize(out.size() + item.text.size() + 2);
            out += '"';
            out += item.text.view();
            out += '"';
        } else if (item.kind == Kind::List) {
            appendListText(out, item.items.get());
        } else {
            appendChecked(out, textOf(item).view());
        }
    }
    appendChecked(out, "]");
}

// A list that holds lists is measured first: a form past the limit is
// refused at once, and one within it is built in a buffer of its size.
void reserveMeasured(std::string& out, const ItemList& items, bool quoted) {
    if (!holdsList(items)) return;
    const std::size_t length = ListTextLength().of(items, quoted);
    Limits::checkTextSize(length);
    out.reserve(length);
}

std::string listText(const ItemList& items) {
    std::string out;
    reserveMeasured(out, items, true);
    appendListText(out, items);
    return out;
}

// The list form for a "func" target: [a ,b ,c], texts unquoted.
std::string listFuncText(const ItemList& items) {
    std::string out;
    reserveMeasured(out, items, false);
    out += '[';
    Value scratch;
    bool first = true;
    for (const Item& element : items) {
        honourInterrupt();
        if (!first) appendChecked(out, " ,");
        first = false;
        const Value& item = element.read(scratch);
        if (item.kind == Kind::List) appendListText(out, item.items.get());
        else appendChecked(out, textOf(item).view());
    }
    appendChecked(out, "]");
    return out;
}

}  // namespace

Text textOf(const Value& value) {
    switch (value.kind) {
        case Kind::String: return value.text;
        case Kind::Integer: return Text(formatInteger(value.integer));
        case Kind::Float: return Text(formatReal(value.real()));
        case Kind::Func: return value.text;
        case Kind::List: return Text(listText(value.items.get()));
        default: return Text();
    }
}

std::size_t textLength(const Value& value) {
    if (value.kind != Kind::List) return textOf(value).size();
    const std::size_t length = ListTextLength().of(value.items.get(), true);
    Limits::checkTextSize(length);
    return length;
}

std::int64_t integerOfOther(const Value& value) {
    switch (value.kind) {
        case Kind::Integer: return value.integer;
        case Kind::String: return parseIntPrefix(value.text.view());
        case Kind::Float: return truncateToInt32(value.real());
        default: return 0;
    }
}

long double realOf(const Value& value) {
    switch (value.kind) {
        case Kind::Float: return value.real();
        case Kind::String: return parseRealPrefix(value.text.view());
        case Kind::Integer: return static_cast<long double>(value.integer);
        default: return 0.0L;
    }
}

Value convertValue(Value value, Kind target) {
    if (value.kind == target) return value;
    switch (target) {
        case Kind::String:
            value.text = textOf(value);
            value.kind = Kind::String;
            break;
        case Kind::Func:
            switch (value.kind) {
                case Kind::String: break;
                case Kind::Integer: value.text = Text(formatInteger(value.integer)); break;
                case Kind::Float: value.text = Text(formatRealFixed(value.real())); break;
                case Kind::List: value.text = Text(listFuncText(value.items.get())); break;
                default: value.text = Text(); break;
            }
            value.kind = Kind::Func;
            break;
        case Kind::Integer:
            value.integer = integerOf(value);
            value.kind = Kind::Integer;
            break;
        case Kind::Float:
            value.setReal(realOf(value));
            value.kind = Kind::Float;
            break;
        case Kind::Bytes:
            value.clearBytes();
            value.kind = Kind::Bytes;
            break;
        default:
            // Nothing converts to a list, a scaffold, a builtin or "unspecified".
            break;
    }
    return value;
}

std::string asText(Value& value) {
    value = convertValue(value, Kind::String);
    return value.text.str();
}

std::int64_t asInteger(Value& value) {
    value = convertValue(value, Kind::Integer);
    return value.integer;
}

long double asReal(Value& value) {
    value = convertValue(value, Kind::Float);
    return value.real();
}

ItemList asList(Value& value) {
    value = convertValue(value, Kind::List);
    return value.items.get();
}

std::vector<std::uint8_t> asBytes(Value& value) {
    value = convertValue(value, Kind::Bytes);
    return value.bytes().get();
}

bool valuesEqual(const Value& left, const Value& right) {
    // Two integers convert exactly to the numbers compared below.
    if (left.kind == Kind::Integer && right.kind == Kind::Integer) return left.integer == right.integer;
    if (left.kind == Kind::Scaffold && right.kind == Kind::Scaffold) {
        const MemberTable& a = left.members();
        const MemberTable& b = right.members();
        if (a.size() != b.size()) return false;
        for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
            if (i->name != j->name || !(i->value == j->value)) return false;
        }
        return true;
    }
    if (left.isNumber() || right.isNumber()) {
        const long double r = realOf(right);
        const long double l = realOf(left);
        return l == r;
    }
    if (left.kind == Kind::String && right.kind == Kind::String) return left.text.view() == right.text.view();
    return textOf(left).view() == textOf(right).view();
}

}  // namespace vorn
