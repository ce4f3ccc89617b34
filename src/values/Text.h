// Byte strings shared between Values until one of them changes.
//
// Texts are copied constantly (every operand read copies its Value), so a
// Text is one pointer to a shared buffer. A buffer can also carry one cached
// artefact derived from its bytes (the split statements of a function body):
// the cache lives exactly as long as the bytes it was made from, because any
// change first detaches the buffer and drops the cache.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "values/Pool.h"
#include "values/Ref.h"

namespace vorn {

class Text {
public:
    Text() = default;
    explicit Text(std::string s) { if (!s.empty()) buf_ = Ref<Buffer>::make(std::move(s)); }
    Text(const char* s) : Text(std::string(s)) {}

    // The one-byte text of c. Its buffer is shared by every such text (made
    // once per byte value): `each` over a text and `index` on a text make one
    // per character, and a change to any of them detaches it first.
    static const Text& ofByte(char c);

    const std::string& str() const { return buf_ ? buf_->bytes : emptyString(); }
    std::string_view view() const { return str(); }
    std::size_t size() const { return buf_ ? buf_->bytes.size() : 0; }
    bool empty() const { return !buf_ || buf_->bytes.empty(); }
    void clear() { buf_.reset(); }

    // Mutable bytes; detaches from other holders and forgets the cache.
    std::string& edit() {
        if (buf_ && buf_.unique() && !buf_->cache) [[likely]] return buf_->bytes;
        return editAlone();
    }

    // The artefact cached on these bytes, or null. It lives as long as the
    // buffer: whoever holds this Text (or a copy) may keep the pointer.
    // No reference count is touched, so reading the cache costs three loads.
    template <class T>
    const T* cached() const {
        return buf_ && buf_->cache ? static_cast<const T*>(buf_->cache->get()) : nullptr;
    }
    template <class T>
    void setCache(std::shared_ptr<const T> c) const {
        if (buf_) buf_->cache = std::make_unique<std::shared_ptr<const void>>(std::move(c));
    }

    friend bool operator==(const Text& a, const Text& b) { return a.buf_ == b.buf_ || a.str() == b.str(); }

private:
    // edit() for bytes that are shared, cached on or missing.
    [[gnu::noinline]] std::string& editAlone() {
        if (!buf_) buf_ = Ref<Buffer>::make(std::string());
        else if (!buf_.unique()) buf_ = Ref<Buffer>::make(buf_->bytes);
        else buf_->cache.reset();
        return buf_->bytes;
    }

    // A list element or member kept in its word holds a counted reference
    // to the bytes themselves (values/Value.h).
    friend class Item;
    struct Buffer : RefCounted {
        VORN_POOLED(Buffer)
        explicit Buffer(std::string s) : bytes(std::move(s)) {}
        std::string bytes;
        // Few texts carry an artefact (function bodies do), so the buffer
        // holds one pointer to it rather than the shared pointer itself: a
        // short text's buffer is then 48 bytes.
        mutable std::unique_ptr<std::shared_ptr<const void>> cache;
    };
    static_assert(sizeof(Buffer) <= 6 * sizeof(void*), "a short text's buffer is its count, its bytes and a pointer");
    static const std::string& emptyString() {
        static const std::string e;
        return e;
    }
    Ref<Buffer> buf_;
};

// Byte equality of two texts. Most texts compared are short (one
// character of a loop over a text, a word, a member's name), and up to 16
// bytes are compared with two loads of each side that overlap in the
// middle, without a call; a longer text whose last bytes differ (numbered
// keys) is decided before the call.
namespace detail {
template <class Word>
inline Word loadBytes(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
template <class Word>
inline bool sameEnds(const char* a, const char* b, std::size_t n) {
    return loadBytes<Word>(a) == loadBytes<Word>(b) &&
           loadBytes<Word>(a + n - sizeof(Word)) == loadBytes<Word>(b + n - sizeof(Word));
}
}  // namespace detail

inline bool sameBytes(std::string_view a, std::string_view b) {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    const char* p = a.data();
    const char* q = b.data();
    if (n < 2) return n == 0 || p[0] == q[0];
    if (n < 4) return detail::sameEnds<std::uint16_t>(p, q, n);
    if (n < 8) return detail::sameEnds<std::uint32_t>(p, q, n);
    if (n <= 16) return detail::sameEnds<std::uint64_t>(p, q, n);
    return p[n - 1] == q[n - 1] && std::memcmp(p, q, n - 1) == 0;
}

// The one-byte texts, made on first use; a constant-initialised table, so
// reading it needs no guard.
inline Text gByteTexts[256];

// Out of line, so that the common case stays small enough to inline.
[[gnu::noinline]] inline void makeByteText(Text& t, char c) { t = Text(std::string(1, c)); }

inline const Text& Text::ofByte(char c) {
    Text& t = gByteTexts[static_cast<unsigned char>(c)];
    if (!t.buf_) [[unlikely]] makeByteText(t, c);
    return t;
}

}  // namespace vorn
