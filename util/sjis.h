#pragma once
// Shift-JIS (code page 932) helpers. Texts are byte strings in the ANSI code
// page; anything that cuts, scans or folds them must step over double-byte
// characters.
#include <cstddef>
#include <string>

namespace sjis {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Length of the longest prefix of text[0..length) that is at most limit bytes
// and does not end in the middle of a double-byte character.
std::size_t SafePrefixLength(const char* text, std::size_t length, std::size_t limit);

// Copies src into dst of capacity bytes (terminator included): never writes
// past dst[capacity - 1], always terminates (when capacity > 0) and never
// splits a double-byte character. Returns the number of bytes copied.
std::size_t CopyToBuffer(char* dst, std::size_t capacity, const char* src);
std::size_t CopyToBuffer(char* dst, std::size_t capacity, const std::string& src);

// Position of the last occurrence of the single byte c that is not the trail
// byte of a double-byte character, or std::string::npos.
std::size_t FindLastChar(const std::string& text, char c);

}  // namespace sjis
