#include "util/profile.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// Section and key are required: a null one would make the system functions
// enumerate names instead of reading a value.
class Win32Profile : public Profile {
 public:
  std::string GetString(const char* section, const char* key, const char* fallback, const char* path,
                        std::size_t bufferSize) override {
    if (section == nullptr || key == nullptr || bufferSize == 0) return std::string();
    const DWORD size = bufferSize > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(bufferSize);
    std::vector<char> buffer(size);
    const DWORD n = GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer.data(), size, path);
    // A value cut short before a double-byte character may be counted with
    // the terminator put in that character's place.
    const std::size_t counted = n < size ? n : size - 1;
    return std::string(buffer.data(), strnlen(buffer.data(), counted));
  }

  unsigned int GetInt(const char* section, const char* key, int fallback, const char* path) override {
    if (section == nullptr || key == nullptr) return static_cast<unsigned int>(fallback);
    return GetPrivateProfileIntA(section, key, fallback, path);
  }

  bool WriteString(const char* section, const char* key, const char* value, const char* path) override {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
  }

  bool HasSection(const char* section, const char* path) override {
    if (section == nullptr || path == nullptr) return false;
    char buffer[64];
    return GetPrivateProfileSectionA(section, buffer, sizeof buffer, path) > 0;
  }
};

}  // namespace

Profile& SystemProfile() {
  static Win32Profile profile;
  return profile;
}
