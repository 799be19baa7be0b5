#pragma once
// Access to private-profile (.ini) files. The Win32 implementation calls
// GetPrivateProfileStringA & co.; the POSIX one reads and writes the same
// file format with the same observable behaviour.
#include <cstddef>
#include <string>

class Profile {
 public:
  virtual ~Profile() = default;
  // Like GetPrivateProfileStringA with a buffer of bufferSize bytes: at most
  // bufferSize - 1 bytes are kept; a missing key gives the fallback.
  virtual std::string GetString(const char* section, const char* key, const char* fallback, const char* path,
                                std::size_t bufferSize = 1024) = 0;
  // Like GetPrivateProfileIntA: leading decimal digits, 0 when none, the
  // fallback when the key is missing.
  virtual unsigned int GetInt(const char* section, const char* key, int fallback, const char* path) = 0;
  // Like WritePrivateProfileStringA (one key per call).
  virtual bool WriteString(const char* section, const char* key, const char* value, const char* path) = 0;
  // True when the file holds the section with at least one key in it.
  virtual bool HasSection(const char* section, const char* path) = 0;
};

// How both plug-ins read a stored boolean: true exactly when the text is
// "true" ignoring case.
bool ProfileTextIsTrue(const std::string& text);

// The platform's implementation.
Profile& SystemProfile();
