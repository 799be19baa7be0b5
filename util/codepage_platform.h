#pragma once
// What codepage.cpp asks of the system (codepage_win32.cpp / _posix.cpp).
#include <string>

namespace codepage {
namespace platform {

unsigned SystemAnsiCodePage();
// One double-byte character of code page 932; 0 when the pair is undefined.
char32_t Cp932Pair(unsigned char lead, unsigned char trail);
// A single-byte code page other than 932 to UTF-16, as the system does it.
std::u16string SingleByteToUtf16(unsigned codePage, const std::string& bytes);
// UTF-16 to `codePage`, the code page's default character for what it lacks.
bool Utf16ToCodePage(unsigned codePage, const std::u16string& text, std::string* out);

}  // namespace platform
}  // namespace codepage
