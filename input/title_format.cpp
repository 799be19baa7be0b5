#include "input/title_format.h"

#include <cstdint>
#include <cstring>

#include "util/codepage.h"

namespace {

const std::string& CodeText(char code, const TrackDescription& record) {
  static const std::string kNone;
  switch (code) {
    case '1': return record.track.title;
    case '2': return record.track.performer;
    case '3': return record.track.songwriter;
    case '4': return record.track.composer;
    case '5': return record.track.arranger;
    case '8': return record.disc.title;
    default: return kNone;
  }
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ExpandTitle(char driveLetter, int track, const std::string& format, const TrackDescription& record) {
  std::string out;
  // Stop gathering once the limit is passed; the final cut below then finds
  // a character boundary within the limit.
  const std::size_t stopAt = kMaxExpandedTitle + 1;
  const std::size_t n = format.size();
  for (std::size_t i = 0; i < n && out.size() < stopAt;) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= n) break;
    const char code = format[i + 1];
    switch (code) {
      case '1': case '2': case '3': case '4': case '5': case '8':
        out.append(CodeText(code, record), 0, stopAt);
        break;
      case '6':
        out += std::to_string(static_cast<std::uint32_t>(track));
        break;
      case '7':
        out += driveLetter;
        break;
      case '%':
        out += '%';
        break;
      default:
        break;
    }
    i += 2;
    // An unknown code is dropped with its whole character: a byte left of
    // a multi-byte one would be no character at all.
    if (static_cast<unsigned char>(code) >= 0xC0)
      while (i < n && (static_cast<unsigned char>(format[i]) & 0xC0) == 0x80) ++i;
  }
  // Only a malformed format can leave bytes that are no character.
  out = codepage::SanitizeUtf8(out);
  out.resize(codepage::Utf8PrefixLength(out.data(), out.size(), kMaxExpandedTitle));
  return out;
}

void Expand(char driveLetter, int track, const std::string& format, TrackDescription& record) {
  record.text = ExpandTitle(driveLetter, track, format, record);
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b) {
    if (Lower(*a) != Lower(*b)) return false;
  }
  return *a == *b;
}

int Produce(const char* key, int track, TrackDescription& record) {
  record.text.clear();
  const bool named = !record.track.title.empty() || !record.track.performer.empty() || !record.disc.title.empty();
  if (EqualsIgnoringCase(key, "TYPE")) {
    record.text = "CDDA";
    return 1;
  }
  if (EqualsIgnoringCase(key, "LENGTH")) {
    record.text = std::to_string(static_cast<std::uint32_t>(record.lengthMs));
    return 1;
  }
  if (EqualsIgnoringCase(key, "TRACKNO")) {
    record.text = std::to_string(static_cast<std::uint32_t>(track));
    return 1;
  }
  if (EqualsIgnoringCase(key, "ARTIST")) {
    record.text = record.track.performer;
    return named ? 1 : 0;
  }
  if (EqualsIgnoringCase(key, "TITLE")) {
    record.text = record.track.title;
    return named ? 1 : 0;
  }
  if (EqualsIgnoringCase(key, "ALBUM")) {
    record.text = record.disc.title;
    return named ? 1 : 0;
  }
  return 0;
}
