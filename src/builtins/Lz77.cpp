// LZ77 codec: indexed match search, exhaustive yardstick, stream reader/writer, decoder.
#include "builtins/Lz77.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn::builtins {

namespace {

constexpr std::int32_t kWindow = 4096;  // power of two: ring slots use a mask
constexpr std::int32_t kRingMask = kWindow - 1;
constexpr int kMaxMatch = 18;
constexpr std::size_t kStreamHeader = 8;
constexpr std::size_t kStreamToken = 9;
// Tokens between two looks at Ctrl-C, so that a long run gives way at once.
constexpr std::uint32_t kInterruptCheckEvery = 1 << 14;

// The search indexes the window by its 2-byte and 3-byte prefixes, one level
// per length, hashed into small tables (so a bucket may hold strangers and
// every hit is verified). Matches of 3 bytes or more come from walking the
// 3-byte level, 2-byte ones from the 2-byte level; single bytes are found by
// scanning the window, which is needed too rarely to pay for a level. More
// or longer levels were measured: on text their upkeep costs more than the
// shorter walks save.
constexpr std::array<int, 2> kGrams = {2, 3};
constexpr int kLevels = static_cast<int>(kGrams.size());
constexpr int kLongestGram = kGrams[kLevels - 1];
constexpr int kHashBits = 12;
constexpr int kBuckets = 1 << kHashBits;
static_assert(kGrams[0] == 2 && kLongestGram < 8);

// Selects a level's prefix from the 8 bytes loaded at a position.
constexpr std::array<std::uint64_t, kLevels> kPrefixMasks = [] {
    std::array<std::uint64_t, kLevels> masks{};
    for (int level = 0; level < kLevels; ++level) masks[level] = (std::uint64_t{1} << (8 * kGrams[level])) - 1;
    return masks;
}();

[[noreturn]] void failBadData(const char* what) {
    throw ScriptError(std::string("Invalid lz77 data - ") + what);
}

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i) r |= ((v >> (8 * i)) & 0xFF) << (8 * (7 - i));
        v = r;
    }
    return v;  // byte p[i] sits in bits 8i..8i+7
}

struct Match {
    std::int32_t offset = 0;
    int length = 0;
};

// For each level, the window positions sharing one key, oldest first.
// Positions leave the window in the order they entered it, so every bucket is
// a queue and a leaving position is always the head of its bucket: removal is
// O(1) and the head is the farthest candidate.
//
// A position is known by its row in a ring of kWindow rows (the position
// modulo the window size); the window's positions own distinct rows, and
// 16-bit rows keep the whole index within about 50 KB, close to the core. Each
// bucket also owns a row of its own, past the ring, that acts as the queue's
// sentinel: its link is the head, and a tail equal to it means "empty". So
// appending and removing never branch on whether a queue is empty, which
// follows the text and would defeat branch prediction.
//
// The greedy search at `pos` wants the longest match (capped) and, among
// equally long ones, the farthest. Walking a queue oldest first makes
// "farthest" mean "first found", which a strictly-longer test preserves.
class MatchIndex {
public:
    MatchIndex(const std::uint8_t* data, std::int32_t size)
        : d_(data), n_(size), levels_(std::make_unique<Level[]>(kLevels)) {
        for (int level = 0; level < kLevels; ++level)
            for (int key = 0; key < kBuckets; ++key) levels_[level].tail[key] = sentinel(key);
    }

    // Brings the index to exactly the window of `pos`: [pos - 4096, pos).
    // A leaving position goes before the entering one that takes over its
    // row.
    void advanceTo(std::int32_t pos) {
        std::int32_t p = inserted_;
        // Positions whose prefixes are all complete and whose 8-byte load
        // stays inside the input take the straight path.
        const std::int32_t plain = std::min(pos, n_ - 1 - std::max(kLongestGram, 7));
        for (; p < plain; ++p) {
            if (p >= kWindow) fileAll<false>(row(p), load64(d_ + p - kWindow));
            fileAll<true>(row(p), load64(d_ + p));
        }
        for (; p < pos; ++p) {
            if (p >= kWindow) {
                const std::int32_t old = p - kWindow;
                for (int level = 0; level < levelsFor(old); ++level) file<false>(level, row(old), gramAt(old));
            }
            for (int level = 0; level < levelsFor(p); ++level) file<true>(level, row(p), gramAt(p));
        }
        inserted_ = p;
    }

    Match longest(std::int32_t pos) const {
        // A match never covers the last byte: that byte is always a `next`.
        const int cap = std::min<std::int32_t>(kMaxMatch, n_ - 1 - pos);
        if (cap <= 0 || pos == 0) return {};
        const std::uint64_t gram = gramAt(pos);
        // From the longest prefix down: a level is asked only once every
        // longer one has no candidate (or is longer than the cap), so no match
        // reaches the next level's length and the walk can stop at the first
        // candidate that reaches one less.
        int limit = cap;
        for (int level = kLevels - 1; level >= 0; --level) {
            const int k = kGrams[level];
            if (k > cap) continue;
            const Match m = longestAt(level, pos, gram, limit);
            if (m.length > 0) return m;
            limit = k - 1;
        }
        return farthestByte(pos);
    }

private:
    using RowId = std::uint16_t;
    struct Level {
        std::array<RowId, kWindow + kBuckets> next;  // ring rows, then one sentinel per bucket
        std::array<RowId, kBuckets> tail;
    };

    static RowId row(std::int32_t p) { return static_cast<RowId>(p & kRingMask); }
    static RowId sentinel(std::uint32_t key) { return static_cast<RowId>(kWindow + key); }

    // The window position that owns row r, seen from `pos`.
    static std::int32_t positionOf(RowId r, std::int32_t pos) { return pos - 1 - ((pos - 1 - r) & kRingMask); }

    std::uint64_t gramAt(std::int32_t p) const {
        if (p + 8 <= n_) return load64(d_ + p);
        std::uint64_t v = 0;
        for (std::int32_t i = 0; p + i < n_; ++i) v |= std::uint64_t{d_[p + i]} << (8 * i);
        return v;
    }

    // Only prefixes that end before the last byte can ever be matched, so a
    // position is filed under those lengths only; entry and exit apply the
    // same rule, which keeps every queue consistent.
    int levelsFor(std::int32_t p) const {
        int levels = 0;
        while (levels < kLevels && kGrams[levels] <= n_ - 1 - p) ++levels;
        return levels;
    }

    static std::uint32_t keyFor(int level, std::uint64_t gram) {
        const std::uint64_t prefix = gram & kPrefixMasks[level];
        return static_cast<std::uint32_t>((prefix * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
    }

    template <bool entering>
    void file(int level, RowId r, std::uint64_t gram) {
        Level& l = levels_[level];
        const std::uint32_t key = keyFor(level, gram);
        RowId& tail = l.tail[key];
        if constexpr (entering) {
            l.next[tail] = r;
            tail = r;
        } else {
            // r is the head. If it was the only entry the sentinel's new link
            // is junk, but the reset tail marks the queue empty anyway.
            l.next[sentinel(key)] = l.next[r];
            tail = tail == r ? sentinel(key) : tail;
        }
    }

    template <bool entering>
    void fileAll(RowId r, std::uint64_t gram) {
        [&]<std::size_t... level>(std::index_sequence<level...>) {
            (file<entering>(static_cast<int>(level), r, gram), ...);
        }(std::make_index_sequence<kLevels>{});
    }

    // The farthest of the longest matches of at least kGrams[level] bytes,
    // knowing that none is longer than `limit`.
    Match longestAt(int level, std::int32_t pos, std::uint64_t gram, int limit) const {
        const Level& l = levels_[level];
        const std::uint32_t key = keyFor(level, gram);
        const RowId last = l.tail[key];
        if (last == sentinel(key)) return {};
        int best = kGrams[level] - 1;  // shorter ones are the lower levels' business
        std::int32_t bestC = -1;
        RowId r = l.next[sentinel(key)];
        if constexpr (std::endian::native == std::endian::little) {
            if (pos + 24 <= n_) {  // three word reads past pos stay inside the input
                // A candidate's length comes from word compares rather than a
                // byte-by-byte test and early rejection: which candidates are
                // worth a closer look is too erratic for branch prediction,
                // while few of them agree on a whole first word.
                const std::uint64_t w0 = load64(d_ + pos);
                for (;;) {
                    const std::int32_t c = positionOf(r, pos);
                    const std::uint64_t diff = load64(d_ + c) ^ w0;
                    int len = std::countr_zero(diff) >> 3;
                    if (diff == 0) [[unlikely]] {
                        const int l1 = std::countr_zero(load64(d_ + c + 8) ^ load64(d_ + pos + 8)) >> 3;
                        const int l2 = std::countr_zero(load64(d_ + c + 16) ^ load64(d_ + pos + 16)) >> 3;
                        len = l1 < 8 ? 8 + l1 : 16 + l2;
                    }
                    len = std::min(limit, len);
                    if (len > best) {
                        best = len;
                        bestC = c;
                        if (len == limit) break;  // nothing nearer can be longer
                    }
                    if (r == last) break;
                    r = l.next[r];
                }
                if (bestC < 0) return {};
                return {pos - bestC, best};
            }
        }
        for (;;) {
            const std::int32_t c = positionOf(r, pos);
            int len = 0;
            while (len < limit && d_[c + len] == d_[pos + len]) ++len;
            if (len > best) {
                best = len;
                bestC = c;
                if (len == limit) break;
            }
            if (r == last) break;
            r = l.next[r];
        }
        if (bestC < 0) return {};
        return {pos - bestC, best};
    }

    Match farthestByte(std::int32_t pos) const {
        const std::int32_t start = std::max<std::int32_t>(0, pos - kWindow);
        const void* hit = std::memchr(d_ + start, d_[pos], static_cast<std::size_t>(pos - start));
        if (hit == nullptr) return {};
        return {static_cast<std::int32_t>(d_ + pos - static_cast<const std::uint8_t*>(hit)), 1};
    }

    const std::uint8_t* d_;
    std::int32_t n_;
    std::int32_t inserted_ = 0;  // positions [0, inserted_) have entered
    std::unique_ptr<Level[]> levels_;
};

// Positions and offsets are signed 32-bit in the token format.
std::int32_t checkedInputSize(std::string_view data) {
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        failBadData("input too large");
    return static_cast<std::int32_t>(data.size());
}

void putLE(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t getLE(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint64_t{p[i]} << (8 * i);
    return v;
}

}  // namespace

std::vector<Lz77Token> lz77Tokenize(std::string_view data) {
    const std::int32_t n = checkedInputSize(data);
    const auto* d = reinterpret_cast<const std::uint8_t*>(data.data());
    std::vector<Lz77Token> tokens;
    if (n == 0) return tokens;
    MatchIndex index(d, n);
    std::int32_t pos = 0;
    std::uint32_t untilCheck = kInterruptCheckEvery;
    while (pos < n) {
        if (--untilCheck == 0) {
            untilCheck = kInterruptCheckEvery;
            platform::throwIfInterrupted();
        }
        index.advanceTo(pos);
        const Match m = index.longest(pos);
        tokens.push_back({m.offset, m.length, d[pos + m.length]});
        pos += m.length + 1;
    }
    return tokens;
}

std::vector<Lz77Token> lz77TokenizeReference(std::string_view data) {
    const std::int32_t n = checkedInputSize(data);
    const auto* d = reinterpret_cast<const std::uint8_t*>(data.data());
    std::vector<Lz77Token> tokens;
    std::int32_t pos = 0;
    while (pos < n) {
        const std::int32_t start = std::max<std::int32_t>(0, pos - kWindow);
        std::int32_t bestLength = 0;
        std::int32_t bestOffset = 0;
        for (std::int32_t c = start; c < pos; ++c) {
            std::int32_t len = 0;
            while (len < kMaxMatch && pos + len < n - 1 && d[c + len] == d[pos + len]) ++len;
            if (len > bestLength) {
                bestLength = len;
                bestOffset = pos - c;
            }
        }
        tokens.push_back({bestOffset, bestLength, d[pos + bestLength]});
        pos += bestLength + 1;
    }
    return tokens;
}

std::string lz77Serialize(const std::vector<Lz77Token>& tokens) {
    std::string out;
    out.reserve(kStreamHeader + kStreamToken * tokens.size());
    putLE(out, tokens.size(), 8);
    for (const Lz77Token& t : tokens) {
        putLE(out, static_cast<std::uint32_t>(t.offset), 4);
        putLE(out, static_cast<std::uint32_t>(t.length), 4);
        out.push_back(static_cast<char>(t.next));
    }
    return out;
}

std::vector<Lz77Token> lz77Parse(std::string_view stream) {
    if (stream.size() < kStreamHeader) failBadData("stream too short");
    const auto* p = reinterpret_cast<const unsigned char*>(stream.data());
    const std::uint64_t count = getLE(p, 8);
    // The count is untrusted: compare it with what is present before sizing
    // anything by it.
    if (count > (stream.size() - kStreamHeader) / kStreamToken)
        failBadData("token count exceeds stream length");
    std::vector<Lz77Token> tokens;
    tokens.reserve(static_cast<std::size_t>(count));
    p += kStreamHeader;
    for (std::uint64_t i = 0; i < count; ++i, p += kStreamToken) {
        tokens.push_back({static_cast<std::int32_t>(static_cast<std::uint32_t>(getLE(p, 4))),
                          static_cast<std::int32_t>(static_cast<std::uint32_t>(getLE(p + 4, 4))),
                          p[8]});
    }
    return tokens;
}

std::string lz77Expand(const std::vector<Lz77Token>& tokens) {
    // First pass: validate every copy against the size reached so far and
    // learn the final size, so that no byte is written for a bad stream and
    // the output is allocated once.
    std::string out;
    std::uint64_t total = 0;
    for (const Lz77Token& t : tokens) {
        if (t.length > 0) {
            if (t.offset <= 0 || static_cast<std::uint64_t>(t.offset) > total)
                failBadData("copy offset outside the output");
            total += static_cast<std::uint64_t>(t.length);
        }
        total += 1;
        if (total > out.max_size()) failBadData("output too large");
    }
    out.resize(static_cast<std::size_t>(total));
    char* o = out.data();
    std::size_t w = 0;
    std::uint32_t untilCheck = kInterruptCheckEvery;
    for (const Lz77Token& t : tokens) {
        if (--untilCheck == 0) {
            untilCheck = kInterruptCheckEvery;
            platform::throwIfInterrupted();
        }
        if (t.length > 0) {
            const auto len = static_cast<std::size_t>(t.length);
            const char* src = o + (w - static_cast<std::size_t>(t.offset));
            if (static_cast<std::size_t>(t.offset) >= len) {
                std::memcpy(o + w, src, len);
            } else {
                // The copy overlaps what it writes: bytes just appended are
                // copied again, which repeats the last `offset` bytes.
                for (std::size_t j = 0; j < len; ++j) o[w + j] = src[j];
            }
            w += len;
        }
        o[w++] = static_cast<char>(t.next);
    }
    return out;
}

}  // namespace vorn::builtins
