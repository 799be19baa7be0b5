#include "util/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace codepage {

namespace {

// Bytes of the character at `text` that iconv refused: a whole well-formed
// sequence (a character CP932 lacks), else the one stray byte.
size_t RefusedLength(const unsigned char* text, size_t left) {
  const unsigned char c = text[0];
  size_t length = 1;
  if (c >= 0xF0 && c <= 0xF4) length = 4;
  else if (c >= 0xE0 && c <= 0xEF) length = 3;
  else if (c >= 0xC2 && c <= 0xDF) length = 2;
  if (length > left) return 1;
  for (size_t i = 1; i < length; ++i)
    if ((text[i] & 0xC0) != 0x80) return 1;
  return length;
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi) {
  ansi->clear();
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char buffer[256];
  while (inLeft > 0) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
    ansi->append(buffer, static_cast<size_t>(out - buffer));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL) {  // a sequence cut off by the end of the text
      ansi->push_back('?');
      break;
    }
    // Unmappable or malformed: one default character for the sequence, as
    // the Win32 conversion does.
    const size_t skip = RefusedLength(reinterpret_cast<const unsigned char*>(in), inLeft);
    in += skip;
    inLeft -= skip;
    // Windows converts through UTF-16: a character beyond it is two code
    // units and so two default characters.
    ansi->append(skip == 4 ? "??" : "?");
  }
  iconv_close(cd);
  return true;
}

}  // namespace codepage
