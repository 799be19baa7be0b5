#include "util/save_notice.h"

#include <windows.h>

#include <vector>

#include "util/codepage.h"

namespace save_notice {

namespace {

// Writable for the user even where the settings folder is not.
const wchar_t kKey[] = L"Software\\in_quorvo";
// Of UTF-8 text kept; the value holds it as UTF-16 (at most twice as long),
// so that the notice reads the same on any code page. A value an older
// version wrote through the ANSI functions reads the same way.
constexpr DWORD kMaxNoticeBytes = 16384;
constexpr DWORD kMaxValueBytes = 2 * kMaxNoticeBytes + 2;
// Less than this much room counts as a full drive: a save needs a little.
constexpr ULONGLONG kFullBelowBytes = 64 * 1024;

std::string FolderOf(const std::string& path) {
  // Paths here are ours, built with a plain backslash before the file name.
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

unsigned long LastError() { return GetLastError(); }

Reason WhyNotWritten(const std::string& path, unsigned long lastError) {
  const std::string folder = FolderOf(path);
  const DWORD folderAttributes = GetFileAttributesA(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return kReasonNoFolder;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kReasonIsFolder;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return kReasonReadOnly;
  ULARGE_INTEGER free = {};
  if (lastError == ERROR_DISK_FULL || lastError == ERROR_HANDLE_DISK_FULL ||
      (GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr) && free.QuadPart < kFullBelowBytes)) {
    return kReasonDiskFull;
  }
  if (lastError == ERROR_ACCESS_DENIED || lastError == ERROR_WRITE_PROTECT) return kReasonDenied;
  return kReasonUnknown;
}

bool Record(const char* name, const std::string& text) {
  // Quits that fail without a start in between keep the newest texts only.
  const std::string kept = Take(name);
  const bool keepOld = !kept.empty() && kept.size() + text.size() < kMaxNoticeBytes / 2;
  const std::wstring all = codepage::Utf8ToWide(keepOld ? kept + "\n\n" + text : text);
  const std::wstring valueName = codepage::Utf8ToWide(name);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG r = RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(all.c_str()),
                                static_cast<DWORD>((all.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

std::string Take(const char* name) {
  const std::wstring valueName = codepage::Utf8ToWide(name);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string text;
  DWORD type = 0, size = 0;
  // The value is ours, but its size is checked all the same before reading;
  // the buffer has room for a terminator the value may lack.
  if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ &&
      size > 0 && size <= kMaxValueBytes) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
        ERROR_SUCCESS) {
      text = codepage::WideToUtf8(buffer.data());
    }
  }
  RegDeleteValueW(key, valueName.c_str());
  RegCloseKey(key);
  return text;
}

}  // namespace save_notice
