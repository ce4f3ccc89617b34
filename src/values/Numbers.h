// Text <-> number conversions with the exact behaviour scripts rely on.
//
// Integers are read like the C library's string-to-int: leading white space,
// an optional sign, decimal digits up to the first non-digit, limited to the
// signed 32-bit range. Floats are read like string-to-long-double. Failures
// raise ScriptError with the texts "stoi" and "stold". Floats are written as
// printf's %.20Lg (or %Lf for function text) in the "C" locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn {

// Reads the integer prefix of text; throws ScriptError("stoi") when there are
// no digits or the number leaves the 32-bit range.
std::int32_t parseIntPrefix(std::string_view text);
// Reads the floating-point prefix of text; throws ScriptError("stold").
long double parseRealPrefix(std::string_view text);

std::string formatInteger(std::int64_t value);
std::string formatReal(long double value);       // %.20Lg
std::string formatRealFixed(long double value);  // %Lf

// The float-to-integer rule: truncate toward zero into 32 bits; NaN and
// values outside the range give the smallest 32-bit integer.
std::int64_t truncateToInt32(long double value);

// Integer arithmetic wraps modulo 2^64, computed without overflow.
inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
inline std::int64_t wrapSub(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
inline std::int64_t wrapMul(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}
// Truncating division; the smallest integer divided by -1 wraps to itself
// instead of trapping.
inline std::int64_t wrapDiv(std::int64_t a, std::int64_t b) {
    if (b == -1) return wrapSub(0, a);
    return a / b;
}

}  // namespace vorn
