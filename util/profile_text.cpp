#include "util/profile.h"

#include "util/codepage.h"

bool ProfileTextIsTrue(const std::string& text) {
  static const char kTrue[] = "true";
  if (text.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kTrue[i]) return false;
  }
  return true;
}

std::string Profile::GetText(const char* section, const char* key, const char* fallback, const char* path,
                             std::size_t bufferSize) {
  const std::string ansiFallback = fallback ? codepage::Utf8ToAnsi(fallback) : std::string();
  return codepage::AnsiToUtf8(GetString(section, key, ansiFallback.c_str(), path, bufferSize));
}

bool Profile::WriteText(const char* section, const char* key, const char* value, const char* path) {
  if (value == nullptr) return WriteString(section, key, nullptr, path);
  // A character the code page lacks is stored as its best conversion (the
  // default character "?" for most), as WritePrivateProfileStringA would
  // store it had the host passed it through the same code page.
  const std::string ansi = codepage::Utf8ToAnsi(value);
  return WriteString(section, key, ansi.c_str(), path);
}
