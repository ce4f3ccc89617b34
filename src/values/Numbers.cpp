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

long double parseRealPrefix(std::string_view text) {
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
