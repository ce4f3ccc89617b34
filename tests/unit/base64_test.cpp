// Unit tests for the Base64 codec: RFC 4648 vectors, padding rules and the three errors.
#include "builtins/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "values/Error.h"

namespace {

using vorn::ScriptError;
using vorn::builtins::base64Decode;
using vorn::builtins::base64Encode;

const std::string kSizeError = "Invalid base64 encoded data - Size not divisible by 4";
const std::string kPaddingError = "Invalid base64 encoded data - Found more than 2 padding signs";
const std::string kCharError = "Invalid base64 encoded data - Invalid character";

void expectDecodeError(const std::string& text, const std::string& message) {
    try {
        const std::string result = base64Decode(text);
        ADD_FAILURE() << "decoded \"" << text << "\" without error, expected: " << message;
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.what(), message) << "input: \"" << text << "\"";
    }
}

TEST(Base64, Rfc4648Vectors) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(plain), encoded);
        EXPECT_EQ(base64Decode(encoded), plain);
    }
}

TEST(Base64, WholeAlphabetBothWays) {
    // "ABCD" carries the values 0..3, i.e. bytes 00 10 83; "89+/" carries
    // 60..63, i.e. f3 df bf.
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string bytes = base64Decode(alphabet);
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x10);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 0x83);
    EXPECT_EQ(static_cast<unsigned char>(bytes[45]), 0xf3);
    EXPECT_EQ(static_cast<unsigned char>(bytes[46]), 0xdf);
    EXPECT_EQ(static_cast<unsigned char>(bytes[47]), 0xbf);
    EXPECT_EQ(base64Encode(bytes), alphabet);
}

TEST(Base64, RoundTripsEveryLengthAndByteValue) {
    std::mt19937 rng(42);
    for (std::size_t length = 0; length < 300; ++length) {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<char>(i < 256 ? i : rng());  // all 256 values appear
        const std::string text = base64Encode(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4);
        ASSERT_EQ(base64Decode(text), bytes) << "length " << length;
    }
}

TEST(Base64, KeepsZeroBytes) {
    const std::string zeros("\0\0\0\0", 4);
    EXPECT_EQ(base64Encode(zeros), "AAAAAA==");
    EXPECT_EQ(base64Decode("AAAAAA=="), zeros);
    EXPECT_EQ(base64Decode("AGEA"), std::string("\0a\0", 3));
}

TEST(Base64, IgnoresBitsBeyondTheLastByte) {
    EXPECT_EQ(base64Decode("QQ=="), "A");
    EXPECT_EQ(base64Decode("QR=="), "A");
    EXPECT_EQ(base64Decode("Qf=="), "A");  // the low four bits of the 2nd character
    EXPECT_EQ(base64Decode("QUI="), "AB");
    EXPECT_EQ(base64Decode("QUJ="), "AB");
    EXPECT_EQ(base64Decode("QUL="), "AB");  // the low two bits of the 3rd character
}

TEST(Base64, RejectsLengthsNotDivisibleBy4) {
    for (const std::string text : {"Zm9vYg", "Z", "Zm9", "Zm9vY", "Zm9v\n", "Zm9v Zm9v", "=", "Zm9vYg==="})
        expectDecodeError(text, kSizeError);
}

TEST(Base64, RejectsMoreThanTwoPaddingSigns) {
    for (const std::string text : {"====", "A===", "Zm9v====", "Zm9vA===", "=A==", "==A="})
        expectDecodeError(text, kPaddingError);
}

TEST(Base64, RejectsCharactersOutsideTheAlphabet) {
    const std::vector<std::string> texts = {
        "AB=C",       // "=" counted as padding, then looked up as data
        "=ABC",       // the same at the front of the last group
        "A=B=",       // two counted, one of them among the data characters
        "Zg==Zm9v",   // a padded group before the final group
        "Zm9vZg==Zm8=",
        "Zm9 ",       // space
        "Zm\n9",      // line break
        "Zm9vYmFy\n\n\n\n",
        "Zm9-",       // URL-safe alphabet
        "Zm9_",
        std::string("Zm9\0", 4),
        std::string("Zm9\xff", 4),
        std::string("\x80Zm9", 4),
        "Zm9vYmF*",   // in the last character of a long input
    };
    for (const std::string& text : texts) expectDecodeError(text, kCharError);
}

TEST(Base64, RejectsInvalidCharacterInPaddedGroupsDataPart) {
    expectDecodeError("Z!==", kCharError);
    expectDecodeError("!g==", kCharError);
    expectDecodeError("Zm!=", kCharError);
    expectDecodeError("Zm9vZ\t==", kCharError);
}

}  // namespace
