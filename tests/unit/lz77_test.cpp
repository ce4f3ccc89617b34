// Unit tests for the LZ77 codec: match search, stream format, decoder and its guards.
#include "builtins/Lz77.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "values/Error.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define VORN_HAVE_MMAP 1
#endif

namespace {

using vorn::ScriptError;
using namespace vorn::builtins;

using Triple = std::tuple<int, int, int>;  // offset, length, next

std::vector<Triple> triples(const std::vector<Lz77Token>& tokens) {
    std::vector<Triple> out;
    for (const Lz77Token& t : tokens) out.emplace_back(t.offset, t.length, t.next);
    return out;
}

std::vector<Lz77Token> tokensOf(const std::vector<Triple>& list) {
    std::vector<Lz77Token> out;
    for (const auto& [offset, length, next] : list)
        out.push_back({offset, length, static_cast<std::uint8_t>(next)});
    return out;
}

std::string compress(std::string_view text) { return lz77Serialize(lz77Tokenize(text)); }
std::string decompress(std::string_view stream) { return lz77Expand(lz77Parse(stream)); }

template <typename F>
void expectScriptError(F&& call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error, expected: " << message;
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.what(), message);
    }
}

std::string le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string tokenBytes(std::int32_t offset, std::int32_t length, char next) {
    return le(static_cast<std::uint32_t>(offset), 4) + le(static_cast<std::uint32_t>(length), 4) + next;
}

std::string randomText(std::size_t size, int alphabet, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(rng() % static_cast<unsigned>(alphabet));
    return s;
}

// Word salad with English letter and word statistics, newlines and
// punctuation: what the compressor mostly sees.
std::string englishLikeText(std::size_t size, unsigned seed) {
    static const char* const words[] = {
        "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with",
        "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which",
        "but", "have", "an", "they", "you", "were", "her", "she", "there", "been", "one",
        "interpreter", "value", "statement", "function", "returns", "window", "library"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        s += words[rng() % std::size(words)];
        const unsigned r = rng() % 20;
        s += r == 0 ? ". " : r == 1 ? ",\n" : " ";
    }
    s.resize(size);
    return s;
}

TEST(Lz77Tokenize, WorkedExamples) {
    const std::vector<std::pair<std::string, std::vector<Triple>>> cases = {
        {"", {}},
        {"x", {{0, 0, 'x'}}},
        {"aaaa", {{0, 0, 'a'}, {1, 2, 'a'}}},
        // The copy of 8 from 3 back overlaps the bytes it produces.
        {"abcabcabcabc", {{0, 0, 'a'}, {0, 0, 'b'}, {0, 0, 'c'}, {3, 8, 'c'}}},
        // 6 back and 3 back are equally long for the last match: the farther wins.
        {"ab1ab2ab3", {{0, 0, 'a'}, {0, 0, 'b'}, {0, 0, '1'}, {3, 2, '2'}, {6, 2, '3'}}},
        // The 18-byte cap, the farthest of equal matches, and the last byte as a literal.
        {std::string(40, 'a'), {{0, 0, 'a'}, {1, 18, 'a'}, {20, 18, 'a'}, {0, 0, 'a'}}},
        // The final byte is never covered even where it would extend a match.
        {"abab", {{0, 0, 'a'}, {0, 0, 'b'}, {2, 1, 'b'}}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(triples(lz77Tokenize(text)), expected) << "input: " << text;
        EXPECT_EQ(triples(lz77TokenizeReference(text)), expected) << "input: " << text;
    }
}

TEST(Lz77Stream, ExactBytesOfWorkedExamples) {
    EXPECT_EQ(compress(""), std::string(8, '\0'));
    EXPECT_EQ(compress("Q"), le(1, 8) + tokenBytes(0, 0, 'Q'));
    const std::string aaaa = compress("aaaa");
    EXPECT_EQ(aaaa.size(), 26u);
    EXPECT_EQ(aaaa, le(2, 8) + tokenBytes(0, 0, 'a') + tokenBytes(1, 2, 'a'));
    EXPECT_EQ(decompress(std::string(8, '\0')), "");
    EXPECT_EQ(decompress(aaaa), "aaaa");
}

TEST(Lz77Stream, FieldsKeepSignAndFullWidth) {
    const std::vector<Triple> odd = {{-1, -2, 0}, {0x7FFFFFFF, -0x7FFFFFFF - 1, 255}, {0x01020304, 0, 'z'}};
    const std::string stream = lz77Serialize(tokensOf(odd));
    ASSERT_EQ(stream.size(), 8u + 9u * odd.size());
    EXPECT_EQ(stream.substr(8, 9), tokenBytes(-1, -2, '\0'));
    EXPECT_EQ(triples(lz77Parse(stream)), odd);
}

TEST(Lz77RoundTrip, AssortedInputs) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<char>(i));
    const std::vector<std::string> inputs = {
        "",
        std::string(1, '\0'),
        std::string(100, '\0'),
        allBytes + allBytes + allBytes,
        "to be or not to be, that is the question",
        std::string(10000, 'z') + "end",
        randomText(20000, 256, 1),
        randomText(20000, 2, 2),
        englishLikeText(30000, 3),
    };
    for (const std::string& input : inputs) {
        const std::string stream = compress(input);
        EXPECT_EQ(decompress(stream), input) << "input size " << input.size();
    }
}

// The indexed search must reproduce the exhaustive one token for token, ties
// and window edges included.
void expectSameAsReference(const std::string& input, const std::string& what) {
    const auto fast = lz77Tokenize(input);
    const auto slow = lz77TokenizeReference(input);
    ASSERT_EQ(fast.size(), slow.size()) << what << ", size " << input.size();
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_EQ(triples({fast[i]}), triples({slow[i]}))
            << what << ", size " << input.size() << ", token " << i;
    }
}

TEST(Lz77Tokenize, MatchesReferenceOnRandomData) {
    unsigned seed = 100;
    for (int alphabet : {2, 4, 256}) {
        for (std::size_t size = 0; size <= 40; ++size)
            expectSameAsReference(randomText(size, alphabet, ++seed), "short random");
        for (std::size_t size : {1000u, 4097u, 9000u, 20000u})
            expectSameAsReference(randomText(size, alphabet, ++seed),
                                  "random, alphabet " + std::to_string(alphabet));
    }
}

TEST(Lz77Tokenize, MatchesReferenceOnRepetitiveData) {
    for (std::size_t period : {1u, 2u, 3u, 7u, 17u, 18u, 19u, 4095u, 4096u, 4097u}) {
        const std::string unit = randomText(period, 256, static_cast<unsigned>(period));
        std::string input;
        while (input.size() < 12000) input += unit;
        expectSameAsReference(input, "period " + std::to_string(period));
    }
    // Runs of varying length with occasional breaks.
    std::mt19937 rng(7);
    std::string runs;
    while (runs.size() < 15000) runs.append(rng() % 40 + 1, static_cast<char>('a' + rng() % 3));
    expectSameAsReference(runs, "runs");
}

TEST(Lz77Tokenize, MatchesReferenceOnText) {
    for (std::size_t size : {100u, 4096u, 4200u, 8192u, 9000u, 25000u})
        expectSameAsReference(englishLikeText(size, static_cast<unsigned>(size)), "text");
}

// A unique 16-byte pattern repeated after a gap: it is matched at exactly
// 4096 bytes back and not at 4097. The '#' can only ever be a `next`, so a
// token starts at the repeat.
TEST(Lz77Tokenize, WindowReachesExactly4096Back) {
    const std::string pattern = "QWERTYUIOPASDFGH";
    for (int distance : {4095, 4096, 4097}) {
        std::string filler = randomText(static_cast<std::size_t>(distance) - pattern.size() - 1, 26, 9);
        for (char& c : filler) c = static_cast<char>('a' + c);
        const std::string input = pattern + filler + "#" + pattern + "!";
        const auto tokens = lz77Tokenize(input);
        std::size_t pos = 0, i = 0;
        while (i < tokens.size() && pos < static_cast<std::size_t>(distance)) pos += tokens[i++].length + 1;
        ASSERT_EQ(pos, static_cast<std::size_t>(distance));
        ASSERT_LT(i, tokens.size());
        const Triple expected = distance <= 4096 ? Triple{distance, 16, '!'} : Triple{0, 0, 'Q'};
        EXPECT_EQ(triples({tokens[i]}).front(), expected) << "distance " << distance;
        EXPECT_EQ(triples(tokens), triples(lz77TokenizeReference(input)));
    }
}

TEST(Lz77Parse, RejectsTruncatedStreams) {
    for (std::size_t size = 0; size < 8; ++size)
        expectScriptError([&] { lz77Parse(std::string(size, '\0')); },
                          "Invalid lz77 data - stream too short");
    const std::string twoTokens = tokenBytes(0, 0, 'a') + tokenBytes(0, 0, 'b');
    const std::string countError = "Invalid lz77 data - token count exceeds stream length";
    expectScriptError([&] { lz77Parse(le(3, 8) + twoTokens); }, countError);
    expectScriptError([&] { lz77Parse(le(2, 8) + twoTokens.substr(0, 17)); }, countError);
    expectScriptError([&] { lz77Parse(le(1, 8)); }, countError);
    // A huge count must be refused before anything is sized by it.
    expectScriptError([&] { lz77Parse(le(~std::uint64_t{0}, 8) + twoTokens); }, countError);
    expectScriptError([&] { lz77Parse(le(std::uint64_t{1} << 61, 8)); }, countError);
}

TEST(Lz77Parse, IgnoresBytesAfterTheLastToken) {
    const std::string stream = le(1, 8) + tokenBytes(0, 0, 'a') + "trailing";
    EXPECT_EQ(triples(lz77Parse(stream)), (std::vector<Triple>{{0, 0, 'a'}}));
    EXPECT_EQ(decompress(stream), "a");
}

TEST(Lz77Expand, ReplaysOverlappingCopies) {
    EXPECT_EQ(lz77Expand(tokensOf({{0, 0, 'a'}, {0, 0, 'b'}, {2, 7, 'c'}})), "ababababac");
    EXPECT_EQ(lz77Expand(tokensOf({{0, 0, 'x'}, {1, 18, 'y'}})), std::string(19, 'x') + "y");
    // Offset equal to the output so far reaches its first byte.
    EXPECT_EQ(lz77Expand(tokensOf({{0, 0, 'a'}, {0, 0, 'b'}, {2, 2, '!'}})), "abab!");
}

TEST(Lz77Expand, LengthZeroOrNegativeOnlyAppendsNext) {
    // The offset of such a token is never looked at.
    EXPECT_EQ(lz77Expand(tokensOf({{0, -3, 'x'}})), "x");
    EXPECT_EQ(lz77Expand(tokensOf({{99, -1, 'x'}, {-5, 0, 'y'}, {0, -0x7FFFFFFF - 1, 'z'}})), "xyz");
    EXPECT_EQ(decompress(le(1, 8) + tokenBytes(7, -2, 'q')), "q");
}

TEST(Lz77Expand, RejectsCopiesOutsideTheOutput) {
    const std::string error = "Invalid lz77 data - copy offset outside the output";
    const std::vector<std::vector<Triple>> bad = {
        {{1, 1, 'a'}},                           // nothing produced yet
        {{0, 0, 'a'}, {0, 1, 'b'}},              // offset 0
        {{0, 0, 'a'}, {-1, 1, 'b'}},             // negative offset
        {{0, 0, 'a'}, {0, 0, 'b'}, {3, 1, 'c'}}, // one past the start
        {{0, 0, 'a'}, {1, 3, 'b'}, {-0x7FFFFFFF - 1, 2, 'c'}},
    };
    for (const auto& list : bad) {
        expectScriptError([&] { lz77Expand(tokensOf(list)); }, error);
        expectScriptError([&] { decompress(lz77Serialize(tokensOf(list))); }, error);
    }
}

// The search reads whole words near the end of the input; in buffers of
// exactly the input's size, a sanitizer build reports any read past the end.
TEST(Lz77Tokenize, ReadsNothingPastTheInput) {
    for (std::size_t size = 1; size <= 80; ++size) {
        for (const std::string& source :
             {std::string(size, 'a'), randomText(size, 2, static_cast<unsigned>(size))}) {
            const auto exact = std::make_unique<char[]>(size);
            std::memcpy(exact.get(), source.data(), size);
            const std::string_view view(exact.get(), size);
            EXPECT_EQ(triples(lz77Tokenize(view)), triples(lz77TokenizeReference(view)));
        }
    }
}

TEST(Lz77Tokenize, RefusesInputsOf2GiBOrMore) {
#ifdef VORN_HAVE_MMAP
    // Address space only: any read of it faults, so the guard must act
    // before the first byte is touched.
    const std::size_t size = std::size_t{1} << 31;
    void* region = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) GTEST_SKIP() << "cannot reserve 2 GiB of address space";
    const std::string_view huge(static_cast<const char*>(region), size);
    expectScriptError([&] { lz77Tokenize(huge); }, "Invalid lz77 data - input too large");
    expectScriptError([&] { lz77TokenizeReference(huge); }, "Invalid lz77 data - input too large");
    munmap(region, size);
#else
    GTEST_SKIP() << "needs a way to reserve address space";
#endif
}

}  // namespace
