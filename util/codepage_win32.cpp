#include <windows.h>

#include <vector>

#include "util/codepage.h"
#include "util/codepage_platform.h"

namespace codepage {
namespace platform {

unsigned SystemAnsiCodePage() { return GetACP(); }

char32_t Cp932Pair(unsigned char lead, unsigned char trail) {
  const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t wide[2] = {};
  if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, wide, 2) != 1) return 0;
  // Windows gives its default character for a pair its table lacks.
  if (wide[0] == 0x30FB && !(lead == 0x81 && trail == 0x45)) return 0;
  return wide[0];
}

std::u16string SingleByteToUtf16(unsigned codePage, const std::string& bytes) {
  if (bytes.empty()) return std::u16string();
  const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return std::u16string(bytes.size(), u'\uFFFD');
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), reinterpret_cast<wchar_t*>(&out[0]),
                      n);
  return out;
}

bool Utf16ToCodePage(unsigned codePage, const std::u16string& text, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int wideLength = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(codePage, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  out->resize(static_cast<std::size_t>(length));
  WideCharToMultiByte(codePage, 0, wide, wideLength, &(*out)[0], length, nullptr, nullptr);
  return true;
}

}  // namespace platform

std::wstring Utf8ToWide(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::wstring(wide.begin(), wide.end());
}

std::string WideToUtf8(const wchar_t* wide) {
  if (!wide) return std::string();
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide));
}

std::string WideToUtf8(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace codepage
