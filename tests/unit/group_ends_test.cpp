// Unit tests of the table of group ends: a text split with the table of the
// bytes it views gives exactly the pieces and the failures of a split
// without it, at any depth and for any view into the bytes, and counts the
// line ends and finds the "$L" pairs of any view as reading it would.
#include "parse/Splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "values/Depth.h"
#include "values/Error.h"

using namespace vorn;

namespace {

// What a split hands over and how it ends, as one comparable record.
struct Outcome {
    std::vector<std::string> pieces;  // tokens, and "<end>" after each statement
    std::string failure;              // "" when the text split
    bool operator==(const Outcome&) const = default;
};

class Recorder final : public TokenSink {
public:
    void token(std::string_view token) override { pieces.emplace_back(token); }
    void statementEnd() override { pieces.emplace_back("<end>"); }
    std::vector<std::string> pieces;
};

Outcome split(std::string_view source, const GroupEnds* ends) {
    Recorder recorder;
    Outcome outcome;
    try {
        scanStatements(source, recorder, 0, ends);
    } catch (const UnbalancedText& unbalanced) {
        outcome.failure = unbalanced.report();
    } catch (const ScriptError& error) {
        outcome.failure = error.what();
    }
    outcome.pieces = std::move(recorder.pieces);
    return outcome;
}

// Splits view both ways, then every recorded group's inside the same way,
// as the inside of a group is split when the group is used.
void expectSameSplits(std::string_view view, const GroupEnds& ends, int levels) {
    const Outcome plain = split(view, nullptr);
    ASSERT_EQ(split(view, &ends), plain) << "view of " << view.size() << " bytes: " << view.substr(0, 60);
    if (levels == 0 || !plain.failure.empty()) return;
    for (std::size_t i = 0; i + 1 < plain.pieces.size(); ++i) {
        const std::string& piece = plain.pieces[i];
        if (piece.size() < 2 || (piece[0] != '(' && piece[0] != '{')) continue;
        // The piece as a view into the same bytes.
        const std::size_t at = view.find(piece);
        ASSERT_NE(at, std::string_view::npos);
        expectSameSplits(view.substr(at + 1, piece.size() - 2), ends, levels - 1);
    }
}

std::string nested(char opener, char closer, std::size_t depth, std::string_view middle) {
    return std::string(depth, opener) + std::string(middle) + std::string(depth, closer);
}

TEST(GroupEnds, DeepGroupsSplitAsWithoutTheTable) {
    // Groups long enough to be recorded, nested and side by side, with
    // quotes, the other kind of bracket and line ends inside them.
    const std::string deep = nested('(', ')', 300, "a \"(\" {b\n}");
    const std::string text = "x = " + deep + " " + nested('{', '}', 200, "y = ( 1\n") + " (" + deep + "\n" + deep +
                             ")\nz " + nested('(', ')', 150, "'") + "\n";
    const GroupEnds ends(text);
    expectSameSplits(text, ends, 400);
}

TEST(GroupEnds, NestingLimitAndUnbalancedTextAsWithoutTheTable) {
    // Exactly at the limit; one level more raises "nesting too deep" after
    // the tokens before the group, and before the text is found unbalanced.
    const std::string atLimit = nested('(', ')', kMaxTextNesting, "1");
    const std::string overLimit = nested('{', '}', kMaxTextNesting + 1, "");
    const std::string text = "a " + atLimit + " b " + overLimit + " c \"open";
    const GroupEnds ends(text);
    const Outcome outcome = split(text, &ends);
    EXPECT_EQ(outcome, split(text, nullptr));
    EXPECT_EQ(outcome.failure, kNestingTooDeep);
    EXPECT_EQ(outcome.pieces, (std::vector<std::string>{"a", atLimit, "b"}));

    // A view that ends inside a recorded group: the group does not close
    // there, and the counters of the report are those of the view.
    const std::string_view cut = std::string_view(text).substr(0, 2 + atLimit.size() - 5);
    EXPECT_EQ(split(cut, &ends), split(cut, nullptr));
    EXPECT_EQ(split(cut, &ends).failure, UnbalancedText({0, 5, 0, 0}).report());

    // Too deep inside: the group at the limit holds one that goes one deeper.
    const std::string inner = "(" + nested('(', ')', kMaxTextNesting, "") + ")";
    const GroupEnds innerEnds(inner);
    EXPECT_EQ(split(inner, &innerEnds).failure, kNestingTooDeep);
    const std::string_view inside = std::string_view(inner).substr(1, inner.size() - 2);
    EXPECT_EQ(split(inside, &innerEnds), split(inside, nullptr));
    EXPECT_EQ(split(inside, &innerEnds).failure, "");
}

TEST(GroupEnds, RandomTextsAndViewsSplitAsWithoutTheTable) {
    std::mt19937 random(14);
    const std::string alphabet = "((((()))){{}}\"'  \n\tab";
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const std::size_t size = 300 + random() % 1500;
        while (text.size() < size) {
            if (random() % 8 == 0) text += nested(random() % 2 ? '(' : '{', random() % 2 ? ')' : '}', random() % 300, "q");
            else text += alphabet[random() % alphabet.size()];
        }
        const GroupEnds ends(text);
        for (int view = 0; view < 10; ++view) {
            const std::size_t from = random() % text.size();
            const std::size_t length = random() % (text.size() - from + 1);
            expectSameSplits(std::string_view(text).substr(from, length), ends, 3);
        }
        expectSameSplits(text, ends, 3);
    }
}

}  // namespace

namespace {

std::uint32_t countedLineEnds(std::string_view view) {
    return static_cast<std::uint32_t>(std::count(view.begin(), view.end(), '\n'));
}

}  // namespace

TEST(GroupEnds, LineEndsAndSharingPairsOfAnyViewAsCounted) {
    // Recorded groups holding line ends, nested, side by side and cut by
    // the views; "$L" pairs inside and outside them, and at a view's edge.
    std::mt19937 random(24);
    const std::string alphabet = "((()){{}}$$LL\n\n\"ab ";
    for (int round = 0; round < 100; ++round) {
        std::string text;
        const std::size_t size = 600 + random() % 3000;
        while (text.size() < size) {
            if (random() % 6 == 0) {
                const bool paren = random() % 2;
                const std::size_t depth = random() % 200;
                text += nested(paren ? '(' : '{', paren ? ')' : '}', depth, random() % 2 ? "x\n$Ly\n" : "\n");
            } else {
                text += alphabet[random() % alphabet.size()];
            }
        }
        const GroupEnds ends(text);
        std::string copy = text;  // the same bytes elsewhere: the table knows nothing of them
        for (int view = 0; view < 20; ++view) {
            const std::size_t from = random() % text.size();
            const std::size_t length = random() % (text.size() - from + 1);
            for (const std::string* bytes : {&text, &copy}) {
                const std::string_view v = std::string_view(*bytes).substr(from, length);
                ASSERT_EQ(ends.lineEndsIn(v), countedLineEnds(v)) << "round " << round << " view " << view;
                ASSERT_EQ(lineEndsIn(v, &ends), countedLineEnds(v));
                for (std::size_t at = 0; at <= v.size(); at += 1 + random() % 40)
                    ASSERT_EQ(ends.nextSharing(v, at), v.find("$L", at)) << "round " << round << " at " << at;
            }
        }
    }
}
