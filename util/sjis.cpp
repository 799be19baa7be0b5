#include "util/sjis.h"

#include <cstring>

namespace sjis {

std::size_t SafePrefixLength(const char* text, std::size_t length, std::size_t limit) {
  std::size_t i = 0;
  while (i < length) {
    const std::size_t step = (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

static std::size_t CopyBytes(char* dst, std::size_t capacity, const char* src, std::size_t length) {
  if (capacity == 0 || dst == nullptr) return 0;
  const std::size_t n = SafePrefixLength(src, length, capacity - 1);
  std::memmove(dst, src, n);
  dst[n] = '\0';
  return n;
}

std::size_t CopyToBuffer(char* dst, std::size_t capacity, const char* src) {
  if (src == nullptr) src = "";
  return CopyBytes(dst, capacity, src, std::strlen(src));
}

std::size_t CopyToBuffer(char* dst, std::size_t capacity, const std::string& src) {
  return CopyBytes(dst, capacity, src.c_str(), std::strlen(src.c_str()));
}

std::size_t FindLastChar(const std::string& text, char c) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
      continue;
    }
    if (text[i] == c) found = i;
  }
  return found;
}

}  // namespace sjis
