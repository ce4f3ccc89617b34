// Pieces prepared deep inside a long text, where the table of its bytes
// stands in for reading the levels inside again: a call token is cut as
// reading it "$" by "$" would cut it, and every statement of every nested
// body has the line it starts on.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "parse/Code.h"
#include "parse/Splitter.h"

using namespace vorn;

namespace {

// A call token cut the plain way: its text after the first "$" read as
// fields delimited by "$"; the first is the callee, the others joined with
// the "$" before each, those that start with "L" into the sharing group.
struct Cut {
    bool hasCallee = false;
    std::string callee;
    bool hasArguments = false;
    std::string arguments;
    bool hasSharing = false;
    std::string sharing;
    bool operator==(const Cut&) const = default;
};

Cut plainCut(const std::string& token) {
    Cut cut;
    if (token.size() < 2 || token[0] != '$') return cut;
    std::istringstream fields(token.substr(1));
    std::string field;
    std::getline(fields, field, '$');
    cut.hasCallee = true;
    cut.callee = field;
    while (std::getline(fields, field, '$')) {
        const bool sharing = !field.empty() && field[0] == 'L';
        (sharing ? cut.hasSharing : cut.hasArguments) = true;
        (sharing ? cut.sharing : cut.arguments) += "$" + field;
    }
    return cut;
}

Cut cutOf(const CallSite& site) {
    return {site.hasCallee,   std::string(site.calleeText),   site.hasArguments,
            std::string(site.argumentGroup), site.hasSharing, std::string(site.sharingGroup)};
}

std::ostream& operator<<(std::ostream& out, const Cut& cut) {
    return out << cut.hasCallee << "[" << cut.callee.substr(0, 40) << "] " << cut.hasArguments << "["
               << cut.arguments.substr(0, 40) << "] " << cut.hasSharing << "[" << cut.sharing.substr(0, 40) << "]";
}

std::uint32_t lineEndsBefore(std::string_view bytes, const char* at) {
    return static_cast<std::uint32_t>(std::count(bytes.data(), at, '\n'));
}

// Checks every statement of block and of the bodies of its compare
// statements, to any depth: base is the line of the statement whose body
// block is (its statements count their lines from there).
void expectLines(const Block& block, std::string_view bytes, std::uint32_t base, int& bodies) {
    for (const PreparedStatement& statement : block.statements) {
        if (statement.tokens.empty()) continue;
        const std::uint32_t line = base + statement.line;
        // Every statement here has its first token on its first line, and
        // that token's text is not repeated in its block (tokens of the same
        // text and line share one record, which views the first of them).
        ASSERT_EQ(line, lineEndsBefore(bytes, statement.tokens[0].text.data()));
        if (statement.kind == StatementKind::Compare) {
            ++bodies;
            const Operand& body = statement.tokens[1];
            ASSERT_EQ(line + body.line, lineEndsBefore(bytes, body.text.data()));
            expectLines(body.inlineBody(), bytes, line, bodies);
        }
    }
}

}  // namespace

TEST(Nesting, CallTokensCutAsReadDollarByDollar) {
    // Short tokens are read through; long ones (a table of their own bytes
    // is made) take the "$L" pairs from the table. Runs of "$", a "$" at the
    // end, "L" right after "$" inside groups, and blanks all occur.
    std::mt19937 random(9);
    const std::string alphabet = "$$$LL(()) ab";
    for (int round = 0; round < 400; ++round) {
        std::string token = "$";
        const std::size_t size = round % 2 ? random() % 80 : 500 + random() % 2500;
        while (token.size() < size) {
            if (random() % 10 == 0) token += std::string(random() % 30, '(') + "$f$(1)$Lx" + std::string(random() % 30, ')');
            else token += alphabet[random() % alphabet.size()];
        }
        if (random() % 4 == 0) token += "$";
        const Cut expected = plainCut(token);
        const Operand operand(token);
        ASSERT_EQ(cutOf(operand.callSite()), expected) << "round " << round << ": " << token.substr(0, 80);
        ASSERT_EQ(cutOf(*compileCall(token)), expected) << "round " << round;
    }
}

TEST(Nesting, StatementsOfNestedBodiesKeepTheirLines) {
    // Sixty levels, each with line ends inside its condition, a group, a
    // text and a function, around the next level: the outer ones are long
    // enough to be split with a table.
    std::string text = "w = 1";
    for (int level = 0; level < 60; ++level) {
        text = "compare (1 ==\n1) {\ny = (2 +\n3)\ns = \"a\nb\"\n\n\n    " + text + "\nf = {\n$print$(1)\n} (\n)\n}";
    }
    text = "a = 1\n\n" + text + "\nb = 2\n";
    const auto block = prepareBlock(text);
    int bodies = 0;
    expectLines(*block, *block->source, 0, bodies);
    EXPECT_EQ(bodies, 60);
}
