// Kind conversion: text forms, number readings, list forms and equality.
#include "values/Convert.h"

#include "values/Depth.h"
#include "values/Limits.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

// The list form for a "string" target: [a, "b", [c]].
void appendListText(std::string& out, const ItemList& items) {
    DepthGuard guard;
    out += '[';
    Value scratch;
    for (const Item& element : items) {
        const Value& item = element.read(scratch);
        if (item.kind == Kind::String) {
            out += '"';
            out += item.text.str();
            out += '"';
        } else {
            out += textOf(item).str();
        }
        out += ", ";
        Limits::checkTextSize(out.size());
    }
    if (!items.empty()) out.resize(out.size() - 2);
    out += ']';
}

// The list form for a "func" target: [a ,b ,c], texts unquoted.
std::string listFuncText(const ItemList& items) {
    std::string out = "[";
    Value scratch;
    for (const Item& item : items) {
        out += textOf(item.read(scratch)).str();
        out += " ,";
    }
    if (!items.empty()) out.resize(out.size() - 2);
    out += ']';
    return out;
}

}  // namespace

Text textOf(const Value& value) {
    switch (value.kind) {
        case Kind::String: return value.text;
        case Kind::Integer: return Text(formatInteger(value.integer));
        case Kind::Float: return Text(formatReal(value.real()));
        case Kind::Func: return value.text;
        case Kind::List: {
            std::string out;
            appendListText(out, value.items.get());
            return Text(std::move(out));
        }
        default: return Text();
    }
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
        const MemberMap& a = left.members().get();
        const MemberMap& b = right.members().get();
        if (a.size() != b.size()) return false;
        for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
            if (i->first != j->first || i->second != j->second) return false;
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
