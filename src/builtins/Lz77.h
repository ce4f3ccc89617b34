// LZ77 codec over plain byte strings: match search, token stream format, decoder.
//
// The four steps are kept apart so that the builtins can chain them and the
// tests can reach each one: lz77Tokenize finds the matches, lz77Serialize and
// lz77Parse convert between tokens and the binary stream, lz77Expand replays
// the tokens. None of them knows about Values.
//
// Stream layout, little-endian, nothing else in it: an unsigned 64-bit token
// count, then per token a signed 32-bit offset, a signed 32-bit length and the
// next byte (9 bytes per token).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::builtins {

// One decoder step: copy `length` bytes starting `offset` bytes back from the
// end of the output, then append `next`. A literal has offset 0 and length 0.
struct Lz77Token { std::int32_t offset; std::int32_t length; std::uint8_t next; };

// Greedy match search over a 4096-byte window with matches of at most 18
// bytes; the input's last byte is always emitted as a `next`, and among
// equally long matches the farthest one is chosen. Uses an index of earlier
// positions but yields exactly the tokens of lz77TokenizeReference.
// Throws ScriptError for inputs of 2^31 bytes or more.
std::vector<Lz77Token> lz77Tokenize(std::string_view data);

// The same search done by trying every window position for every token.
// Slow; kept as the yardstick that lz77Tokenize is checked against.
std::vector<Lz77Token> lz77TokenizeReference(std::string_view data);

std::string lz77Serialize(const std::vector<Lz77Token>& tokens);

// Reads a stream. Throws ScriptError ("Invalid lz77 data - ...") when it is
// shorter than the count field or its count promises more tokens than it
// holds. Bytes after the last counted token are ignored.
std::vector<Lz77Token> lz77Parse(std::string_view stream);

// Replays tokens. Throws ScriptError ("Invalid lz77 data - ...") for a copy
// (length > 0) whose offset is not in 1..bytes produced so far. A length of
// 0 or less copies nothing.
std::string lz77Expand(const std::vector<Lz77Token>& tokens);

}  // namespace vorn::builtins
