// Text <-> number conversions: "stoi"/"stold" reading and printf-style writing.
#include "values/Numbers.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "values/Error.h"

namespace vorn {

namespace {
bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

std::int32_t parseIntPrefix(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= n || text[i] < '0' || text[i] > '9') throw ScriptError("stoi", std::string(text.substr(0, 40)));
    // Accumulate in 64 bits and stop early once far outside the range, so a
    // long run of digits cannot overflow the accumulator.
    std::int64_t magnitude = 0;
    bool outOfRange = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!outOfRange) {
            magnitude = magnitude * 10 + (text[i] - '0');
            if (magnitude > 2147483648LL) outOfRange = true;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (outOfRange || value > 2147483647LL || value < -2147483648LL)
        throw ScriptError("stoi", std::string(text.substr(0, 40)));
    return static_cast<std::int32_t>(value);
}

namespace {
// 10^0 .. 10^27, each exact in a long double: 5^27 needs 63 bits.
constexpr long double kPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
                                        1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
                                        1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
constexpr int kMaxPlainDigits = 19;  // below 2^64
constexpr int kMaxPlainDecimals = sizeof kPowersOfTen / sizeof kPowersOfTen[0] - 1;

// Reads a text that is a plain decimal and nothing else (a sign, digits, at
// most one point, at most 19 significant digits and 27 after the point),
// the form nearly every number in a script or a data file has. Its digits
// m and 10^k are then exact long doubles, and one division rounds m / 10^k
// once to the nearest, which is the correctly rounded reading strtold gives,
// without strtold's cost. Anything else is left to strtold.
bool readPlainDecimal(std::string_view text, long double& out) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t digits = 0;
    int significant = 0;
    int decimals = 0;
    bool point = false;
    bool anyDigit = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        anyDigit = true;
        if (point) ++decimals;
        if (digits == 0 && c == '0') continue;
        if (++significant > kMaxPlainDigits) return false;
        digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!anyDigit || decimals > kMaxPlainDecimals) return false;
    const long double magnitude = static_cast<long double>(digits) / kPowersOfTen[decimals];
    out = negative ? -magnitude : magnitude;
    return true;
}
}  // namespace

long double parseRealPrefix(std::string_view text) {
    long double plain;
    if (readPlainDecimal(text, plain)) return plain;
    // strtold needs a terminated string; like the library conversion, an
    // embedded zero byte ends the text.
    const std::string copy(text.substr(0, text.find('\0')));
    const char* start = copy.c_str();
    char* end = nullptr;
    const int savedErrno = errno;
    errno = 0;
    const long double value = std::strtold(start, &end);
    const int err = errno;
    errno = savedErrno;
    if (end == start) throw ScriptError("stold", copy.substr(0, 40));
    if (err == ERANGE) throw ScriptError("stold", copy.substr(0, 40));
    return value;
}

std::string formatInteger(std::int64_t value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    return std::string(buf, end);
}

std::string formatReal(long double value) {
    // The sign of a NaN is an accident of how it was made; the reference
    // platform's C library never prints it, so neither do we.
    if (std::isnan(value)) return "nan";
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.20Lg", value);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string formatRealFixed(long double value) {
    if (std::isnan(value)) return "nan";
    // %Lf of a huge number has thousands of digits; measure first.
    const int n = std::snprintf(nullptr, 0, "%Lf", value);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%Lf", value);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::int64_t truncateToInt32(long double value) {
    if (std::isnan(value) || value >= 2147483648.0L || value <= -2147483649.0L) return -2147483648LL;
    return static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

}  // namespace vorn
