// Unit tests of the number readers and writers and the wrapping arithmetic.
#include "values/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "values/Error.h"

using namespace vorn;

namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin32 = -2147483648LL;

}  // namespace

// Expects `statement` to raise a ScriptError whose text is exactly `message`.
#define EXPECT_SCRIPT_ERROR(statement, message)                                          \
    do {                                                                                 \
        try {                                                                            \
            (void)(statement);                                                           \
            ADD_FAILURE() << "no error from " #statement ", expected \"" << (message) << "\""; \
        } catch (const vorn::ScriptError& error_) {                                      \
            EXPECT_EQ(std::string(error_.what()), std::string(message)) << #statement;   \
        }                                                                                \
    } while (0)

TEST(NumbersIntPrefix, ReadsWhitespaceSignAndLeadingDigits) {
    EXPECT_EQ(parseIntPrefix("42"), 42);
    EXPECT_EQ(parseIntPrefix(" -7"), -7);
    EXPECT_EQ(parseIntPrefix("\t\n\v\f\r +5"), 5);
    EXPECT_EQ(parseIntPrefix("12abc"), 12);
    EXPECT_EQ(parseIntPrefix("2.5"), 2);
    EXPECT_EQ(parseIntPrefix("0x10"), 0);
    EXPECT_EQ(parseIntPrefix("1 2"), 1);
    EXPECT_EQ(parseIntPrefix("-0"), 0);
    EXPECT_EQ(parseIntPrefix("007"), 7);
    // Leading zeros do not count towards the range.
    EXPECT_EQ(parseIntPrefix(std::string(300, '0') + "42"), 42);
}

TEST(NumbersIntPrefix, NoDigitsIsAnInvalidArgument) {
    EXPECT_SCRIPT_ERROR(parseIntPrefix("abc"), "stoi: abc");
    EXPECT_SCRIPT_ERROR(parseIntPrefix(""), "stoi");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("   "), "stoi:    ");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("-"), "stoi: -");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("+-5"), "stoi: +-5");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("- 5"), "stoi: - 5");
    EXPECT_SCRIPT_ERROR(parseIntPrefix(".5"), "stoi: .5");
}

TEST(NumbersIntPrefix, LimitedToThe32BitRange) {
    EXPECT_EQ(parseIntPrefix("2147483647"), 2147483647);
    EXPECT_EQ(parseIntPrefix("-2147483648"), kMin32);
    EXPECT_EQ(parseIntPrefix("-2147483648xyz"), kMin32);
    EXPECT_SCRIPT_ERROR(parseIntPrefix("2147483648"), "stoi: 2147483648");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("-2147483649"), "stoi: -2147483649");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("3000000000"), "stoi: 3000000000");
    EXPECT_SCRIPT_ERROR(parseIntPrefix("9223372036854775808"), "stoi: 9223372036854775808");
}

TEST(NumbersIntPrefix, VeryLongDigitRunsAreOutOfRangeNotWrapped) {
    // Digit runs that would overflow any fixed-width accumulator must still be
    // reported, never wrapped into a small number.
    const std::vector<std::string> runs = {std::string(25, '9'), "18446744073709551616", "18446744073709551617",
                                           "1" + std::string(19, '0') + "5", std::string(5000, '7')};
    for (const std::string& digits : runs) {
        SCOPED_TRACE(digits.substr(0, 30));
        try {
            (void)parseIntPrefix(digits);
            ADD_FAILURE() << "accepted";
        } catch (const ScriptError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("stoi", 0), 0u) << error.what();
        }
        try {
            (void)parseIntPrefix("-" + digits);
            ADD_FAILURE() << "accepted negative";
        } catch (const ScriptError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("stoi", 0), 0u) << error.what();
        }
    }
}

TEST(NumbersRealPrefix, ReadsDecimalHexInfinityAndNan) {
    EXPECT_EQ(parseRealPrefix("2.5e3"), 2500.0L);
    EXPECT_EQ(parseRealPrefix("1.5x"), 1.5L);
    EXPECT_EQ(parseRealPrefix("  -3"), -3.0L);
    EXPECT_EQ(parseRealPrefix("+.5"), 0.5L);
    EXPECT_EQ(parseRealPrefix("1e"), 1.0L);
    EXPECT_EQ(parseRealPrefix("7."), 7.0L);
    EXPECT_EQ(parseRealPrefix("0x1p4"), 16.0L);
    EXPECT_EQ(parseRealPrefix("0x1.8p1"), 3.0L);
    EXPECT_EQ(parseRealPrefix("0X10"), 16.0L);
    EXPECT_EQ(parseRealPrefix("inf"), std::numeric_limits<long double>::infinity());
    EXPECT_EQ(parseRealPrefix("-Infinity"), -std::numeric_limits<long double>::infinity());
    EXPECT_TRUE(std::isnan(parseRealPrefix("nan")));
    EXPECT_TRUE(std::isnan(parseRealPrefix("NAN(123)")));
    // Extended precision: the text 0.1 reads as the long double nearest 0.1,
    // not as the double.
    EXPECT_EQ(parseRealPrefix("0.1"), 0.1L);
    EXPECT_NE(parseRealPrefix("0.1"), static_cast<long double>(0.1));
    EXPECT_EQ(parseRealPrefix("9223372036854775807"), 9223372036854775807.0L);
}

// Plain decimals are read without the C library; every reading must be the
// one strtold gives, bit for bit (the sign of zero included), at the edges
// of that path (19 significant digits, 27 after the point, 2^64) and past them.
TEST(NumbersRealPrefix, PlainDecimalsReadAsTheCLibraryReadsThem) {
    std::vector<std::string> texts = {"0", "-0", "+0", "-0.0", "00.000", ".5", "-.5", "5.", "1.50",
                                      "18446744073709551615", "18446744073709551616", "9999999999999999999",
                                      "99999999999999999999", "0.000000000000000000000000001",
                                      "0.0000000000000000000000000001", "123456789.123456789",
                                      "1234567890.123456789", "0.30000000000000000001"};
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = next() % 4 == 0 ? "-" : "";
        const int before = static_cast<int>(next() % 12);
        const int after = static_cast<int>(next() % 30);
        for (int d = 0; d < before; ++d) text += static_cast<char>('0' + next() % 10);
        if (after > 0 || before == 0) text += '.';
        for (int d = 0; d < after; ++d) text += static_cast<char>('0' + next() % 10);
        if (text.find_first_of("0123456789") != std::string::npos) texts.push_back(text);
    }
    for (const std::string& text : texts) {
        const long double expected = std::strtold(text.c_str(), nullptr);
        const long double read = parseRealPrefix(text);
        EXPECT_EQ(read, expected) << text;
        EXPECT_EQ(std::signbit(read), std::signbit(expected)) << text;
    }
}

TEST(NumbersRealPrefix, NoNumberOrOutOfRangeRaisesStold) {
    EXPECT_SCRIPT_ERROR(parseRealPrefix("abc"), "stold: abc");
    EXPECT_SCRIPT_ERROR(parseRealPrefix(""), "stold");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("."), "stold: .");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("e5"), "stold: e5");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("- 1"), "stold: - 1");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("1e99999"), "stold: 1e99999");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("-1e99999"), "stold: -1e99999");
    EXPECT_SCRIPT_ERROR(parseRealPrefix("1e-99999"), "stold: 1e-99999");
}

TEST(NumbersFormat, IntegersInDecimal) {
    EXPECT_EQ(formatInteger(0), "0");
    EXPECT_EQ(formatInteger(42), "42");
    EXPECT_EQ(formatInteger(-5), "-5");
    EXPECT_EQ(formatInteger(kMax64), "9223372036854775807");
    EXPECT_EQ(formatInteger(kMin64), "-9223372036854775808");
}

TEST(NumbersFormat, RealWithTwentySignificantDigits) {
    EXPECT_EQ(formatReal(0.1L), "0.1");
    // The double nearest 0.1 shows its binary error within 20 digits.
    EXPECT_EQ(formatReal(0.1), "0.10000000000000000555");
    EXPECT_EQ(formatReal(1.0L / 3.0L), "0.33333333333333333334");
    EXPECT_EQ(formatReal(2.0L), "2");
    EXPECT_EQ(formatReal(2.5L), "2.5");
    EXPECT_EQ(formatReal(-1.5L), "-1.5");
    EXPECT_EQ(formatReal(100.0L), "100");
    EXPECT_EQ(formatReal(0.0L), "0");
    EXPECT_EQ(formatReal(-0.0L), "-0");
    EXPECT_EQ(formatReal(9223372036854775807.0L), "9223372036854775807");
    EXPECT_EQ(formatReal(18446744073709551615.0L), "18446744073709551615");
}

TEST(NumbersFormat, RealSwitchesToExponentOutsideMinus4To19) {
    EXPECT_EQ(formatReal(1e19L), "10000000000000000000");
    EXPECT_EQ(formatReal(1e20L), "1e+20");
    EXPECT_EQ(formatReal(-1e20L), "-1e+20");
    EXPECT_EQ(formatReal(0.0001220703125L), "0.0001220703125");  // 2^-13, exponent -4
    EXPECT_EQ(formatReal(0.00006103515625L), "6.103515625e-05");  // 2^-14, exponent -5
    EXPECT_EQ(formatReal(std::numeric_limits<long double>::max()), "1.189731495357231765e+4932");
    EXPECT_EQ(formatReal(std::numeric_limits<long double>::denorm_min()), "3.6451995318824746025e-4951");
}

TEST(NumbersFormat, RealInfinityAndNan) {
    EXPECT_EQ(formatReal(std::numeric_limits<long double>::infinity()), "inf");
    EXPECT_EQ(formatReal(-std::numeric_limits<long double>::infinity()), "-inf");
    EXPECT_EQ(formatReal(std::numeric_limits<long double>::quiet_NaN()), "nan");
}

TEST(NumbersFormat, RealFixedSixDecimals) {
    EXPECT_EQ(formatRealFixed(2.5L), "2.500000");
    EXPECT_EQ(formatRealFixed(2.0L), "2.000000");
    EXPECT_EQ(formatRealFixed(-2.5L), "-2.500000");
    EXPECT_EQ(formatRealFixed(0.1L), "0.100000");
    EXPECT_EQ(formatRealFixed(0.9999999L), "1.000000");
    EXPECT_EQ(formatRealFixed(0.0000004L), "0.000000");
    EXPECT_EQ(formatRealFixed(-0.0000004L), "-0.000000");
    EXPECT_EQ(formatRealFixed(1e20L), "100000000000000000000.000000");
    EXPECT_EQ(formatRealFixed(std::numeric_limits<long double>::infinity()), "inf");
    EXPECT_EQ(formatRealFixed(std::numeric_limits<long double>::quiet_NaN()), "nan");
}

TEST(NumbersFormat, RealFixedOfTheLargestFloatIsComplete) {
    const std::string text = formatRealFixed(std::numeric_limits<long double>::max());
    ASSERT_EQ(text.size(), 4933u + 7u);
    EXPECT_EQ(text.substr(0, 21), "118973149535723176502");
    EXPECT_EQ(text.substr(text.size() - 7), ".000000");
}

TEST(NumbersTruncate, TowardZeroInto32Bits) {
    EXPECT_EQ(truncateToInt32(2.9L), 2);
    EXPECT_EQ(truncateToInt32(-2.9L), -2);
    EXPECT_EQ(truncateToInt32(-0.5L), 0);
    EXPECT_EQ(truncateToInt32(2147483647.99L), 2147483647);
    EXPECT_EQ(truncateToInt32(-2147483648.99L), kMin32);
}

TEST(NumbersTruncate, OutOfRangeAndNanGiveSmallest32BitInteger) {
    EXPECT_EQ(truncateToInt32(1e10L), kMin32);
    EXPECT_EQ(truncateToInt32(-1e10L), kMin32);
    EXPECT_EQ(truncateToInt32(2147483648.0L), kMin32);
    EXPECT_EQ(truncateToInt32(-2147483649.0L), kMin32);
    EXPECT_EQ(truncateToInt32(std::numeric_limits<long double>::infinity()), kMin32);
    EXPECT_EQ(truncateToInt32(-std::numeric_limits<long double>::infinity()), kMin32);
    EXPECT_EQ(truncateToInt32(std::numeric_limits<long double>::quiet_NaN()), kMin32);
    EXPECT_EQ(truncateToInt32(std::numeric_limits<long double>::max()), kMin32);
}

TEST(NumbersWrap, ArithmeticWrapsAtThe64BitEdges) {
    EXPECT_EQ(wrapAdd(kMax64, 1), kMin64);
    EXPECT_EQ(wrapAdd(kMin64, -1), kMax64);
    EXPECT_EQ(wrapAdd(kMin64, kMin64), 0);
    EXPECT_EQ(wrapSub(kMin64, 1), kMax64);
    EXPECT_EQ(wrapSub(0, kMin64), kMin64);
    EXPECT_EQ(wrapSub(kMax64, -1), kMin64);
    EXPECT_EQ(wrapMul(kMax64, 2), -2);
    EXPECT_EQ(wrapMul(kMin64, -1), kMin64);
    EXPECT_EQ(wrapMul(4294967296LL, 4294967296LL), 0);
    EXPECT_EQ(wrapMul(-3, 7), -21);
}

TEST(NumbersWrap, DivisionTruncatesAndSmallestByMinusOneIsItself) {
    EXPECT_EQ(wrapDiv(7, 2), 3);
    EXPECT_EQ(wrapDiv(-7, 2), -3);
    EXPECT_EQ(wrapDiv(7, -2), -3);
    EXPECT_EQ(wrapDiv(7, -1), -7);
    EXPECT_EQ(wrapDiv(kMin64, -1), kMin64);
    EXPECT_EQ(wrapDiv(kMin64, 1), kMin64);
    EXPECT_EQ(wrapDiv(kMax64, -1), -kMax64);
    EXPECT_EQ(wrapDiv(kMin64, 2), -4611686018427387904LL);
}
