#include <iconv.h>

#include <cerrno>

#include "util/codepage.h"
#include "util/codepage_platform.h"

namespace codepage {
namespace platform {

namespace {

const char* IconvName(unsigned codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 1252: return "CP1252";
    default: return nullptr;
  }
}

}  // namespace

// No system code page here: the tests' stand-in for a Japanese Windows.
unsigned SystemAnsiCodePage() { return 932; }

char32_t Cp932Pair(unsigned char lead, unsigned char trail) {
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char out[8] = {};
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t inLeft = 2, outLeft = sizeof out;
  const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) return 0;
  return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
}

std::u16string SingleByteToUtf16(unsigned codePage, const std::string& bytes) {
  std::u16string out;
  iconv_t cd = IconvName(codePage) ? iconv_open("UTF-16LE", IconvName(codePage)) : reinterpret_cast<iconv_t>(-1);
  for (const char byte : bytes) {
    const unsigned char c = static_cast<unsigned char>(byte);
    char16_t u = c < 0x80 ? c : 0xFFFD;
    if (c >= 0x80 && cd != reinterpret_cast<iconv_t>(-1)) {
      char in[1] = {byte};
      unsigned char buf[4] = {};
      char* inPtr = in;
      char* outPtr = reinterpret_cast<char*>(buf);
      size_t inLeft = 1, outLeft = sizeof buf;
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 2)
        u = static_cast<char16_t>(buf[0] | buf[1] << 8);
      else
        u = c;  // Windows keeps 1252's five undefined bytes as C1 controls
    }
    out += u;
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  return out;
}

bool Utf16ToCodePage(unsigned codePage, const std::u16string& text, std::string* out) {
  out->clear();
  if (!IconvName(codePage)) return false;
  iconv_t cd = iconv_open(IconvName(codePage), "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  // One unit (or surrogate pair) at a time, so that each character the code
  // page lacks becomes one "?" as on Windows.
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t units = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      units = 2;
    unsigned char in[4];
    for (std::size_t k = 0; k < units; ++k) {
      in[2 * k] = static_cast<unsigned char>(text[i + k] & 0xFF);
      in[2 * k + 1] = static_cast<unsigned char>(text[i + k] >> 8);
    }
    char buf[8];
    char* inPtr = reinterpret_cast<char*>(in);
    char* outPtr = buf;
    size_t inLeft = units * 2, outLeft = sizeof buf;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
      // Windows converts through UTF-16: a character beyond it is two units
      // and so two default characters.
      out->append(units, '?');
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      out->append(buf, sizeof buf - outLeft);
    }
    i += units - 1;
  }
  iconv_close(cd);
  return true;
}

}  // namespace platform
}  // namespace codepage
