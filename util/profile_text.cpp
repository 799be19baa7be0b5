#include "util/profile.h"

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
