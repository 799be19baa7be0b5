#include "util/codepage.h"

#include <windows.h>

#include <vector>

namespace codepage {

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi) {
  ansi->clear();
  if (utf8.empty()) return true;
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (wideLength <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  ansi->resize(static_cast<size_t>(length));
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &(*ansi)[0], length, nullptr, nullptr);
  return true;
}

}  // namespace codepage
