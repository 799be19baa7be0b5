#include "util/profile.h"

#include "util/codepage.h"

#include <cstdio>
#include <mutex>
#include <vector>

// A reader/writer of the private-profile format that behaves as the Windows
// functions do for everything the plug-ins use:
// - section and key names compare case-insensitively (ASCII letters only;
//   trail bytes of double-byte characters are never folded);
// - the file's bytes are in the ANSI code page (932 here unless a test sets
//   another), which decides what a double-byte character is;
// - a line is trimmed of blanks, "[name]" opens a section (the first section
//   of a name wins), "key=value" holds a value trimmed of blanks, a line
//   without '=' is a key without value (reads as the fallback), blank lines
//   are ignored;
// - a value (or fallback) enclosed in a matching pair of '"' or '\'' is
//   returned without them, and trailing spaces of the fallback are dropped;
// - the result is cut to bufferSize - 1 bytes, never inside a double-byte
//   character;
// - writing replaces an existing key's line in place, appends a new key
//   after the last line of its section and a new section at the end of the
//   file; lines the write does not touch stay as they were. Lines end in
//   CR LF as the Windows writer leaves them.
// Paths may be built Windows-style ("%s\%s"): every backslash is a
// separator. File names here are UTF-8, where 0x5C never occurs inside a
// multi-byte character, so no Shift-JIS stepping is needed.

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1a; }

std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (codepage::IsAnsiLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string NativePath(const char* path) {
  std::string native = path ? path : "";
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

// One parsed line of the file.
struct Line {
  enum Kind { kBlank, kSection, kKey } kind = kBlank;
  std::string name;
  bool hasValue = false;
  std::string value;
};

Line ParseLine(const std::string& raw) {
  Line line;
  const std::string text = Trim(raw);
  if (text.empty()) return line;
  if (text[0] == '[') {
    const std::size_t close = text.rfind(']');
    if (close != std::string::npos) {
      line.kind = Line::kSection;
      line.name = text.substr(1, close - 1);
      return line;
    }
  }
  line.kind = Line::kKey;
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) {
    line.name = text;
    return line;
  }
  line.name = Trim(text.substr(0, equals));
  line.hasValue = true;
  line.value = Trim(text.substr(equals + 1));
  return line;
}

// Reads the file as lines without their line ends; false when it cannot be
// opened (a missing file is an empty profile).
bool ReadLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string content;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, n);
  std::fclose(file);
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
    start = end + 1;
  }
  return true;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) {
    content += line;
    content += "\r\n";
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && written;
}

struct Location {
  std::size_t header = std::string::npos;  // line of "[section]"
  std::size_t end = 0;                     // first line after the section
  std::size_t lastEntry = 0;               // last non-blank line of the section
  std::size_t key = std::string::npos;     // line of the key
  Line keyLine;
};

Location Find(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
  Location at;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line line = ParseLine(lines[i]);
    if (at.header == std::string::npos) {
      if (line.kind == Line::kSection && SameName(line.name, section)) {
        at.header = i;
        at.lastEntry = i;
        at.end = lines.size();
      }
      continue;
    }
    if (line.kind == Line::kSection) {
      at.end = i;
      break;
    }
    if (line.kind == Line::kBlank) continue;
    at.lastEntry = i;
    if (at.key == std::string::npos && SameName(line.name, key)) {
      at.key = i;
      at.keyLine = line;
    }
  }
  return at;
}

std::string StripQuotes(const std::string& text) {
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// The Windows rule for profile integers: optional blanks and sign, an
// optional 0x/0o/0b base prefix, then digits of that base; arithmetic wraps
// as in 32 bits. Only the first 29 characters are looked at.
unsigned int ParseProfileInt(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size() < 29 ? text.size() : 29;
  while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < n && text[i] == '0') {
    if (text[i + 1] == 'x') base = 16;
    if (text[i + 1] == 'o') base = 8;
    if (text[i + 1] == 'b') base = 2;
    if (base != 10) i += 2;
  }
  unsigned int total = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

class PosixProfile : public Profile {
 public:
  std::string GetString(const char* section, const char* key, const char* fallback, const char* path,
                        std::size_t bufferSize) override {
    if (section == nullptr || key == nullptr || bufferSize == 0) return std::string();
    std::string result;
    bool found = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      std::vector<std::string> lines;
      if (ReadLines(NativePath(path), &lines)) {
        const Location at = Find(lines, Trim(section), Trim(key));
        if (at.key != std::string::npos && at.keyLine.hasValue) {
          result = at.keyLine.value;
          found = true;
        }
      }
    }
    if (!found) {
      result = fallback ? fallback : "";
      while (result.size() > 1 && result.back() == ' ') result.pop_back();
    }
    result = StripQuotes(result);
    std::size_t keep = 0;
    while (keep < result.size()) {
      const std::size_t step =
          codepage::IsAnsiLeadByte(static_cast<unsigned char>(result[keep])) && keep + 1 < result.size() ? 2 : 1;
      if (keep + step > bufferSize - 1) break;
      keep += step;
    }
    result.resize(keep);
    return result;
  }

  unsigned int GetInt(const char* section, const char* key, int fallback, const char* path) override {
    // As on Windows, an empty value counts as missing.
    const std::string text = GetString(section, key, "", path, 30);
    if (text.empty()) return static_cast<unsigned int>(fallback);
    return ParseProfileInt(text);
  }

  // A null value removes the key, a null key the whole section.
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override {
    if (section == nullptr) return true;
    std::lock_guard<std::mutex> hold(mutex_);
    const std::string file = NativePath(path);
    std::vector<std::string> lines;
    ReadLines(file, &lines);
    const std::string sectionName = Trim(section);
    const std::string keyName = key ? Trim(key) : std::string();
    const Location at = Find(lines, sectionName, keyName);

    if (key == nullptr) {
      if (at.header == std::string::npos) return true;
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at.header),
                  lines.begin() + static_cast<std::ptrdiff_t>(at.end));
      return WriteLines(file, lines);
    }
    if (value == nullptr) {
      if (at.key == std::string::npos) return true;
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at.key));
      return WriteLines(file, lines);
    }

    // Leading blanks of the value are dropped, as Windows does.
    std::size_t skip = 0;
    while (value[skip] != '\0' && IsBlank(value[skip])) ++skip;
    const std::string text = value + skip;
    if (at.key != std::string::npos) {
      if (at.keyLine.hasValue && at.keyLine.value == text) return true;
      lines[at.key] = at.keyLine.name + "=" + text;
    } else if (at.header != std::string::npos) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at.lastEntry + 1), keyName + "=" + text);
    } else {
      lines.push_back("[" + sectionName + "]");
      lines.push_back(keyName + "=" + text);
    }
    return WriteLines(file, lines);
  }

  bool HasSection(const char* section, const char* path) override {
    if (section == nullptr) return false;
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<std::string> lines;
    if (!ReadLines(NativePath(path), &lines)) return false;
    const Location at = Find(lines, Trim(section), std::string());
    if (at.header == std::string::npos) return false;
    for (std::size_t i = at.header + 1; i < at.end; ++i) {
      if (ParseLine(lines[i]).kind == Line::kKey) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
};

}  // namespace

Profile& SystemProfile() {
  static PosixProfile profile;
  return profile;
}
