#include "util/codepage.h"

#include <atomic>
#include <cstring>

#include "util/codepage_platform.h"

namespace codepage {

namespace {

std::atomic<unsigned> g_testCodePage{0};

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the sequence at text[i]; advances i past it (past the maximal bad
// subsequence for a malformed one, which gives kReplacement).
char32_t NextUtf8(const unsigned char* text, std::size_t length, std::size_t& i) {
  const unsigned char c = text[i++];
  if (c < 0x80) return c;
  std::size_t more;
  char32_t value;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's valid range
  if (c >= 0xC2 && c <= 0xDF) {
    more = 1;
    value = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    more = 2;
    value = c & 0x0F;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    more = 3;
    value = c & 0x07;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return kReplacement;
  }
  for (std::size_t k = 0; k < more; ++k) {
    if (i >= length) return kReplacement;
    const unsigned char t = text[i];
    const unsigned char lo = k == 0 ? low : 0x80;
    const unsigned char hi = k == 0 ? high : 0xBF;
    if (t < lo || t > hi) return kReplacement;
    value = (value << 6) | (t & 0x3F);
    ++i;
  }
  return value;
}

bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsCp932Trail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

std::u16string ToUtf16(const std::string& utf8) { return Utf8ToUtf16(utf8); }

}  // namespace

unsigned AnsiCodePage() {
  const unsigned forced = g_testCodePage.load();
  return forced ? forced : platform::SystemAnsiCodePage();
}

void SetAnsiCodePageForTesting(unsigned codePage) { g_testCodePage.store(codePage); }

bool IsAnsiLeadByte(unsigned char c) {
  switch (AnsiCodePage()) {
    case 932: return IsCp932Lead(c);
    case 936: case 949: case 950: return c >= 0x81 && c <= 0xFE;
    default: return false;
  }
}

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi) {
  ansi->clear();
  if (utf8.empty()) return true;
  return platform::Utf16ToCodePage(AnsiCodePage(), ToUtf16(utf8), ansi);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string ansi;
  if (!Utf8ToAnsi(utf8, &ansi)) ansi.clear();
  return ansi;
}

std::string AnsiToUtf8(const std::string& ansi) {
  const unsigned cp = AnsiCodePage();
  if (cp == 932) return Cp932ToUtf8(ansi);
  bool ascii = true;
  for (const char c : ansi) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return ansi;
  return Utf16ToUtf8(platform::SingleByteToUtf16(cp, ansi));
}

std::string Cp932ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c == 0x80) {
      AppendUtf8(0x80, out);  // Windows keeps it as U+0080
    } else if (c >= 0xA1 && c <= 0xDF) {
      AppendUtf8(0xFF61 + (c - 0xA1), out);  // half-width katakana
    } else if (IsCp932Lead(c)) {
      if (i + 1 >= n || !IsCp932Trail(static_cast<unsigned char>(bytes[i + 1]))) {
        AppendUtf8(kReplacement, out);  // cut off, or a trail byte that cannot be one
        continue;
      }
      const char32_t u = platform::Cp932Pair(c, static_cast<unsigned char>(bytes[i + 1]));
      AppendUtf8(u ? u : kReplacement, out);
      ++i;
    } else {
      AppendUtf8(kReplacement, out);  // 0xA0, 0xFD-0xFF
    }
  }
  return out;
}

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) AppendUtf8(static_cast<unsigned char>(c), out);
  return out;
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* text = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const char32_t c = NextUtf8(text, utf8.size(), i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(c, out);
  }
  return out;
}

std::string Utf16ToUtf8(const char16_t* utf16) {
  if (!utf16) return std::string();
  return Utf16ToUtf8(std::u16string(utf16));
}

std::string SanitizeUtf8(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) AppendUtf8(NextUtf8(bytes, text.size(), i), out);
  return out;
}

bool IsValidUtf8(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const char32_t c = NextUtf8(bytes, text.size(), i);
    // U+FFFD itself is three bytes; a replacement for bad bytes is not.
    if (c == kReplacement && i - start != 3) return false;
    if (c == kReplacement && std::memcmp(bytes + start, "\xEF\xBF\xBD", 3) != 0) return false;
  }
  return true;
}

std::size_t Utf8PrefixLength(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  // Step back over continuation bytes to the start of the cut sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

std::size_t CopyUtf16ToBuffer(char16_t* dst, std::size_t capacity, const std::u16string& text) {
  if (!dst || capacity == 0) return 0;
  std::size_t n = 0;
  while (n < text.size() && text[n] != 0) ++n;  // an embedded terminator ends the text
  if (n > capacity - 1) {
    n = capacity - 1;
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  }
  std::memcpy(dst, text.data(), n * sizeof(char16_t));
  dst[n] = 0;
  return n;
}

std::size_t CopyAnsiToBuffer(char* dst, std::size_t capacity, const std::string& ansi) {
  if (!dst || capacity == 0) return 0;
  const std::size_t length = std::strlen(ansi.c_str());
  std::size_t i = 0;
  while (i < length) {
    const std::size_t step = (IsAnsiLeadByte(static_cast<unsigned char>(ansi[i])) && i + 1 < length) ? 2 : 1;
    if (i + step > capacity - 1) break;
    i += step;
  }
  std::memmove(dst, ansi.data(), i);
  dst[i] = '\0';
  return i;
}

}  // namespace codepage
