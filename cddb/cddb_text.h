#pragma once
// Texts of CDDB replies: splitting, and turning a reply text into a title
// and a performer in UTF-8.
#include <string>
#include <vector>

// Cuts at every occurrence of `separator`; consecutive separators give empty
// pieces, a text without one is one piece.
std::vector<std::string> SplitText(const std::string& text, const std::string& separator);

// Everything after the n-th occurrence of `c` ("" when there are fewer).
std::string TextAfterNth(const std::string& text, char c, int n);

// Servers end reply lines with CR LF or with LF alone: every CR LF becomes
// LF, in one pass.
std::string NormalizeLineEnds(const std::string& text);

// The xmcd escapes of a UTF-8 title: "\n" and "\t" become a blank, "\\" one
// backslash; any other backslash stays.
std::string DecodeXmcdEscapes(const std::string& text);

constexpr int kCddbProtoPlain = 1;
constexpr int kCddbProtoUtf8 = 6;

// Decodes a reply text into UTF-8 by protocol level `proto` (1: the system's
// ANSI code page, 6: UTF-8, malformed bytes replaced), decodes the xmcd
// escapes, cuts it to 2047 bytes at a character boundary and splits
// "performer / title". Returns 0, or 7 (kCddbUnexpectedData) for any other
// level. Without exactly one " / " the whole text is the
// title and `performer` keeps `defaultPerformer`.
int ConvertCddbText(int proto, const std::string& text, const std::string& defaultPerformer, std::string* title,
                    std::string* performer);
