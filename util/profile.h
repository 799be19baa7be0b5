#pragma once
// Access to private-profile (.ini) files. The Win32 implementation calls
// GetPrivateProfileStringA & co.; the POSIX one reads and writes the same
// file format with the same observable behaviour.
//
// The file stays in the system's ANSI code page, as older versions and the
// host wrote it. GetString and WriteString pass its bytes as they are (for
// paths, numbers and flags); GetText and WriteText are for texts, which are
// UTF-8 inside the plug-ins. Section and key names are never converted.
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

  // GetString for a text: the stored value is decoded from the ANSI code
  // page to UTF-8. The fallback is UTF-8 and goes through the ANSI code page
  // as a stored value would; bufferSize counts the file's bytes as before,
  // so the UTF-8 result may be longer.
  std::string GetText(const char* section, const char* key, const char* fallback, const char* path,
                      std::size_t bufferSize = 1024);
  // WriteString for a UTF-8 text (null removes the key), stored in the ANSI
  // code page.
  bool WriteText(const char* section, const char* key, const char* value, const char* path);
};

// How both plug-ins read a stored boolean: true exactly when the text is
// "true" ignoring case.
bool ProfileTextIsTrue(const std::string& text);

// The platform's implementation.
Profile& SystemProfile();
