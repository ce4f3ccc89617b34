// Sharing one record among the tokens of the same text and line while a
// piece of text is prepared (see TokenList in parse/Code.h).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace vorn {

// Finds the record of a token already seen in the piece being prepared, so
// that tokens of the same text and line share one (see TokenList). The first
// few distinct tokens are compared one by one; past them a table keeps the
// latest record of each slot, so a repeated token whose slot was taken since
// gets a record of its own: that costs memory but never changes a result,
// and the table's size stays fixed whatever the text. Counting and building
// see the same tokens in the same order, so both come to the same records.
class TokenInterner {
public:
    // The index of the record of text on line; fresh when the caller must
    // append that record now.
    std::uint32_t find(std::string_view text, std::uint32_t line, bool& fresh) {
        fresh = false;
        if (table_.empty()) {
            for (std::size_t i = 0; i < listedCount_; ++i)
                if (listed_[i].line == line && listed_[i].text == text) return listed_[i].index;
            if (listedCount_ < kListed) {
                fresh = true;
                listed_[listedCount_++] = {text, line, next_};
                return next_++;
            }
            makeTable();
        }
        Seen& slot = table_[slotOf(text, line)];
        if (slot.index != kNone && slot.line == line && slot.text == text) return slot.index;
        fresh = true;
        slot = {text, line, next_};
        return next_++;
    }
    // A record that no other token shares.
    std::uint32_t own() { return next_++; }
    std::uint32_t records() const { return next_; }

private:
    struct Seen {
        std::string_view text;
        std::uint32_t line;
        std::uint32_t index;
    };
    static constexpr std::size_t kListed = 8;
    static constexpr std::size_t kSlots = 4096;
    static constexpr std::uint32_t kNone = UINT32_MAX;

    // Mixes the length, the line and the first and last eight bytes: enough
    // to tell most tokens apart without reading long ones whole.
    static std::size_t slotOf(std::string_view text, std::uint32_t line) {
        std::uint64_t h = (text.size() + 1) * 0x9E3779B97F4A7C15ull ^ (line + 1ull) * 0xC2B2AE3D27D4EB4Full;
        const std::size_t n = std::min<std::size_t>(8, text.size());
        std::uint64_t head = 0;
        std::uint64_t tail = 0;
        if (n > 0) {
            std::memcpy(&head, text.data(), n);
            std::memcpy(&tail, text.data() + text.size() - n, n);
        }
        h = (h ^ head) * 0xff51afd7ed558ccdull;
        h = (h ^ (h >> 31) ^ tail) * 0xc4ceb9fe1a85ec53ull;
        return static_cast<std::size_t>(h ^ (h >> 32)) & (kSlots - 1);
    }

    void makeTable() {
        table_.assign(kSlots, Seen{{}, 0, kNone});
        for (const Seen& seen : listed_) table_[slotOf(seen.text, seen.line)] = seen;
    }

    // The first kListed tokens sit inline: most pieces are short (an
    // argument, a list element, a condition), and preparing them should
    // cost no allocation beyond the records themselves.
    std::array<Seen, kListed> listed_;
    std::size_t listedCount_ = 0;
    std::vector<Seen> table_;  // once more than kListed are distinct
    std::uint32_t next_ = 0;
};

// The record indices of a piece's tokens in order, while its records may
// still move. The first few sit inline, for the same reason as above.
class TokenIndices {
public:
    void push_back(std::uint32_t index) {
        if (size_ < kInline) few_[size_] = index;
        else more_.push_back(index);
        ++size_;
    }
    std::uint32_t& back() { return size_ <= kInline ? few_[size_ - 1] : more_.back(); }
    std::size_t size() const { return size_; }
    std::uint32_t operator[](std::size_t i) const { return i < kInline ? few_[i] : more_[i - kInline]; }

private:
    static constexpr std::size_t kInline = 8;
    std::array<std::uint32_t, kInline> few_;
    std::vector<std::uint32_t> more_;
    std::size_t size_ = 0;
};

}  // namespace vorn
