// Base64 codec: table-driven encoder and decoder, one pass, output sized up front.
#include "builtins/Base64.h"

#include <array>
#include <cstdint>

#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn::builtins {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Encoder: the character of a byte's top six bits, and of its low six bits.
// Indexing by the whole byte spares the shifts and masks per character.
constexpr std::array<char, 256> makeTopTable() {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = kAlphabet[b >> 2];
    return t;
}
constexpr std::array<char, 256> makeLowTable() {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = kAlphabet[b & 63];
    return t;
}
constexpr std::array<char, 256> kTop = makeTopTable();
constexpr std::array<char, 256> kLow = makeLowTable();

// Decoder: one table per position in a group of four characters. Each entry
// already holds the character's six bits moved to where they land in the
// group's 24-bit output (byte 0 lowest), so OR-ing the four entries yields the
// three output bytes. Every non-alphabet byte, "=" included, maps to
// 0x01FFFFFF; no valid group ORs to more than 0x00FFFFFF, so one comparison
// per group finds any invalid character in it.
constexpr std::uint32_t kInvalid = 0x01FFFFFF;
constexpr std::uint32_t kWorstValid = 0x01FFFFFE;

constexpr std::array<std::uint32_t, 256> makeDecodeTable(int position) {
    std::array<std::uint32_t, 256> t{};
    for (auto& e : t) e = kInvalid;
    for (std::uint32_t v = 0; v < 64; ++v) {
        const auto c = static_cast<unsigned char>(kAlphabet[v]);
        switch (position) {
        case 0: t[c] = v << 2; break;
        case 1: t[c] = (v >> 4) | ((v & 15) << 12); break;
        case 2: t[c] = ((v >> 2) << 8) | ((v & 3) << 22); break;
        default: t[c] = v << 16; break;
        }
    }
    return t;
}
constexpr std::array<std::uint32_t, 256> kDec0 = makeDecodeTable(0);
constexpr std::array<std::uint32_t, 256> kDec1 = makeDecodeTable(1);
constexpr std::array<std::uint32_t, 256> kDec2 = makeDecodeTable(2);
constexpr std::array<std::uint32_t, 256> kDec3 = makeDecodeTable(3);

[[noreturn]] void fail(const char* what) {
    throw ScriptError(std::string("Invalid base64 encoded data - ") + what);
}

void checkGroup(std::uint32_t word) {
    if (word > kWorstValid) fail("Invalid character");
}

}  // namespace

// A look at Ctrl-C every 2^20 groups keeps a gigabyte's run interruptible.
constexpr std::size_t kGroupsBetweenChecks = (std::size_t(1) << 20) - 1;

std::string base64Encode(std::string_view bytes) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t groups = bytes.size() / 3;
    const std::size_t rest = bytes.size() % 3;
    std::string out(4 * (groups + (rest > 0 ? 1 : 0)), kPad);
    char* o = out.data();
    for (std::size_t g = 0; g < groups; ++g, in += 3, o += 4) {
        if ((g & kGroupsBetweenChecks) == kGroupsBetweenChecks) platform::throwIfInterrupted();
        const unsigned b0 = in[0], b1 = in[1], b2 = in[2];
        o[0] = kTop[b0];
        o[1] = kLow[((b0 & 3) << 4) | (b1 >> 4)];
        o[2] = kLow[((b1 & 15) << 2) | (b2 >> 6)];
        o[3] = kLow[b2];
    }
    if (rest == 1) {
        const unsigned b0 = in[0];
        o[0] = kTop[b0];
        o[1] = kLow[(b0 & 3) << 4];
    } else if (rest == 2) {
        const unsigned b0 = in[0], b1 = in[1];
        o[0] = kTop[b0];
        o[1] = kLow[((b0 & 3) << 4) | (b1 >> 4)];
        o[2] = kLow[(b1 & 15) << 2];
    }
    return out;
}

std::string base64Decode(std::string_view text) {
    const std::size_t length = text.size();
    if (length == 0) return {};
    if (length % 4 != 0) fail("Size not divisible by 4");
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    // Padding is counted anywhere in the last group; a "=" that is not at the
    // group's end is then looked up as a data character and rejected there.
    std::size_t padding = 0;
    for (std::size_t i = length - 4; i < length; ++i)
        if (in[i] == kPad) ++padding;
    if (padding > 2) fail("Found more than 2 padding signs");

    std::string out(length / 4 * 3 - padding, '\0');
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    const std::size_t fullGroups = length / 4 - (padding > 0 ? 1 : 0);
    for (std::size_t g = 0; g < fullGroups; ++g, in += 4, o += 3) {
        if ((g & kGroupsBetweenChecks) == kGroupsBetweenChecks) platform::throwIfInterrupted();
        const std::uint32_t word = kDec0[in[0]] | kDec1[in[1]] | kDec2[in[2]] | kDec3[in[3]];
        checkGroup(word);
        o[0] = static_cast<unsigned char>(word);
        o[1] = static_cast<unsigned char>(word >> 8);
        o[2] = static_cast<unsigned char>(word >> 16);
    }
    // A padded last group decodes only its data characters; the bits of the
    // last one that fall beyond the final byte are dropped unchecked.
    if (padding == 1) {
        const std::uint32_t word = kDec0[in[0]] | kDec1[in[1]] | kDec2[in[2]];
        checkGroup(word);
        o[0] = static_cast<unsigned char>(word);
        o[1] = static_cast<unsigned char>(word >> 8);
    } else if (padding == 2) {
        const std::uint32_t word = kDec0[in[0]] | kDec1[in[1]];
        checkGroup(word);
        o[0] = static_cast<unsigned char>(word);
    }
    return out;
}

}  // namespace vorn::builtins
