#include "util/save_notice.h"

#include <windows.h>

#include <vector>

namespace save_notice {

namespace {

// Writable for the user even where the settings folder is not.
const char kKey[] = "Software\\in_quorvo";
constexpr DWORD kMaxNoticeBytes = 16384;
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
  const std::string all = keepOld ? kept + "\n\n" + text : text;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(all.c_str()),
                                static_cast<DWORD>(all.size() + 1));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

std::string Take(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string text;
  DWORD type = 0, size = 0;
  // The value is ours, but its size is checked all the same before reading.
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ && size > 0 &&
      size <= kMaxNoticeBytes) {
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      text.assign(buffer.data());
    }
  }
  RegDeleteValueA(key, name);
  RegCloseKey(key);
  return text;
}

}  // namespace save_notice
