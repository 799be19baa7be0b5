#pragma once
// Texts inside both plug-ins are UTF-8. They are decoded once where they come
// in (disc, server, winamp.ini) and encoded once where they go out: UTF-16
// for the wide Win32 functions and the host's wide exports, the system's
// ANSI code page for the host's ANSI exports and the private-profile file.
//
// Bytes that do not form a character of their encoding become U+FFFD;
// characters a code page lacks become its default character "?".
#include <cstddef>
#include <string>

namespace codepage {

constexpr char32_t kReplacement = 0xFFFD;

// The system's ANSI code page: GetACP() on Windows; 932 elsewhere unless a
// test sets another one (932 and 1252 are known there).
unsigned AnsiCodePage();
void SetAnsiCodePageForTesting(unsigned codePage);  // 0: back to the default

// UTF-8 to the system's ANSI code page. False only when no conversion exists.
bool Utf8ToAnsi(const std::string& utf8, std::string* ansi);
std::string Utf8ToAnsi(const std::string& utf8);
// The system's ANSI code page to UTF-8 (932 decodes as Cp932ToUtf8 does).
std::string AnsiToUtf8(const std::string& ansi);

// Code page 932 (Shift-JIS as Windows defines it) to UTF-8, whatever the
// system's code page: CD-TEXT's MS-JIS blocks. A lead byte whose trail byte
// is missing or out of range, an undefined pair and the undefined single
// bytes (0xA0, 0xFD-0xFF) each give one U+FFFD.
std::string Cp932ToUtf8(const std::string& bytes);
// ISO 8859-1 to UTF-8 (every byte is its own code point).
std::string Latin1ToUtf8(const std::string& bytes);

// UTF-8 <-> UTF-16. Malformed UTF-8 (stray or missing continuation bytes,
// overlong forms, surrogates, beyond U+10FFFF) gives one U+FFFD per maximal
// bad subsequence; a lone surrogate in UTF-16 gives U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);
std::string Utf16ToUtf8(const char16_t* utf16);  // null: ""
// Malformed sequences replaced as above; well-formed text comes back as it is.
std::string SanitizeUtf8(const std::string& text);
bool IsValidUtf8(const std::string& text);

// Length of the longest prefix of text[0..length) that is at most `limit`
// bytes and does not end inside a UTF-8 sequence.
std::size_t Utf8PrefixLength(const char* text, std::size_t length, std::size_t limit);

// Copies into dst of `capacity` units (terminator included): never writes
// past dst[capacity - 1], always terminates when capacity > 0, never splits
// a surrogate pair (UTF-16) or a double-byte character of the system's ANSI
// code page. Returns the units copied.
std::size_t CopyUtf16ToBuffer(char16_t* dst, std::size_t capacity, const std::u16string& text);
std::size_t CopyAnsiToBuffer(char* dst, std::size_t capacity, const std::string& ansi);

// The lead bytes of the system's ANSI code page (none for a single-byte one).
bool IsAnsiLeadByte(unsigned char c);

}  // namespace codepage

#ifdef _WIN32
#include <cwchar>
namespace codepage {
// wchar_t is UTF-16 on Windows.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const wchar_t* wide);  // null: ""
std::string WideToUtf8(const std::wstring& wide);
}  // namespace codepage
#endif
