#include "cddb/cddb_text.h"

#include "cddb/cddb_lookup.h"
#include "util/codepage.h"

namespace {

// Reply lines and converted texts live in 2048-byte buffers in the protocol's
// model; longer texts are cut, never in the middle of a UTF-8 character.
constexpr std::size_t kTextLimit = 2047;

// Cuts at " / ". The text is UTF-8, where no byte of a multi-byte
// character is ASCII, so a plain search never splits a character.
std::vector<std::string> SplitSlash(const std::string& text) { return SplitText(text, " / "); }

}  // namespace

std::vector<std::string> SplitText(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string::npos || separator.empty()) break;
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

std::string TextAfterNth(const std::string& text, char c, int n) {
  std::size_t at = 0;
  for (int i = 0; i < n; ++i) {
    at = text.find(c, at);
    if (at == std::string::npos) return std::string();
    ++at;
  }
  return text.substr(at);
}

std::string NormalizeLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string DecodeXmcdEscapes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == 'n' || next == 't') {
        out += ' ';
        ++i;
        continue;
      }
      if (next == '\\') {
        out += '\\';
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

int ConvertCddbText(int proto, const std::string& text, const std::string& defaultPerformer, std::string* title,
                    std::string* performer) {
  std::string converted;
  if (proto == kCddbProtoPlain) {
    converted = codepage::AnsiToUtf8(text);
  } else if (proto == kCddbProtoUtf8) {
    converted = codepage::SanitizeUtf8(text);
  } else {
    return kCddbUnexpectedData;
  }
  converted = DecodeXmcdEscapes(converted);
  converted.resize(codepage::Utf8PrefixLength(converted.data(), converted.size(), kTextLimit));
  const std::vector<std::string> pieces = SplitSlash(converted);
  if (pieces.size() == 2) {
    *performer = pieces[0];
    *title = pieces[1];
  } else {
    *title = converted;
    *performer = defaultPerformer;
  }
  return 0;
}
