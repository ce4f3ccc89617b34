// The bonus script is embedded as Base64; its readable source is
// src/app/bonus.vorn. The two must never drift apart.
#include "app/BonusScript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "builtins/Base64.h"

namespace {

std::string readBonusSource() {
    const std::filesystem::path source =
        std::filesystem::path(VORN_SOURCE_DIR) / "src" / "app" /
        "bonus.vorn";
    std::ifstream in(source, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << source;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(BonusScript, EmbeddedTextDecodesToTheSourceFile) {
    const std::string source = readBonusSource();
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(vorn::builtins::base64Decode(vorn::bonusScriptBase64()), source);
}

TEST(BonusScript, EmbeddedTextIsCanonicalBase64) {
    // The boot script places the text between double quotes on one line, so
    // it must be plain alphabet and padding: no line breaks, no blanks.
    const std::string_view text = vorn::bonusScriptBase64();
    EXPECT_EQ(text.size() % 4, 0u);
    EXPECT_EQ(std::string(text).find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(vorn::builtins::base64Encode(readBonusSource()), text);
}

}  // namespace
