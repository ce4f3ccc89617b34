// When the prompt asks for another line: an entry stays open exactly while
// the splitter would reject it as unbalanced.
#include "app/PromptEntry.h"

#include <gtest/gtest.h>

#include <string>

#include "values/Depth.h"

using vorn::entryIsOpen;

TEST(PromptEntry, OpenQuotesBracesAndParenthesesContinue) {
    EXPECT_TRUE(entryIsOpen("f = {"));
    EXPECT_TRUE(entryIsOpen("f = {\n    $print$(1)"));
    EXPECT_TRUE(entryIsOpen("x = (1 +"));
    EXPECT_TRUE(entryIsOpen("x = \"two\nlines"));
    EXPECT_TRUE(entryIsOpen("x = it's"));
    // Inside braces only braces count: the } between the quotes closes the
    // block, and the second quote then opens a text that stays open.
    EXPECT_TRUE(entryIsOpen("f = { \"}\" "));
}

TEST(PromptEntry, BalancedEntriesRunAtOnce) {
    EXPECT_FALSE(entryIsOpen(""));
    EXPECT_FALSE(entryIsOpen("x = 5"));
    EXPECT_FALSE(entryIsOpen("f = {\n    $print$(1)\n}"));
    EXPECT_FALSE(entryIsOpen("x = \"two\nlines\""));
    // Closers without an opener are ordinary characters.
    EXPECT_FALSE(entryIsOpen("a}b c)"));
    // Inside parentheses a quote is ordinary.
    EXPECT_FALSE(entryIsOpen("$print$(it's)"));
}

TEST(PromptEntry, TextNestedTooDeeplyIsHandedOnToReportItsError) {
    const std::string deep(vorn::kMaxNestingDepth + 1, '{');
    EXPECT_FALSE(entryIsOpen(deep));
}
