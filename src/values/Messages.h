// The texts of the errors that the interpreter raises itself.
//
// Conversion errors ("stoi", "stold") and the texts of the builtins' own
// failures live next to the code that raises them; these are the errors for
// malformed or impossible statements and expressions.
#pragma once

namespace vorn::messages {

inline constexpr const char* kUnknownName = "unknown name";
inline constexpr const char* kNoSuchMember = "no such member";
inline constexpr const char* kMissingOperand = "operator without operand";
inline constexpr const char* kTrailingNot = "not without operand (not only opens an expression step)";
inline constexpr const char* kTooShort = "text too short to strip its delimiters";
inline constexpr const char* kMissingToken = "statement is missing a token";
inline constexpr const char* kPositionOutOfRange = "position out of range";
inline constexpr const char* kRemoveFromEmpty = "remove from an empty list";
inline constexpr const char* kNoOrigin = "scaffold has no origin";
inline constexpr const char* kMalformedCall = "malformed call";
inline constexpr const char* kOutOfMemory = "out of memory";

}  // namespace vorn::messages
