#include <windows.h>

#include "rip/log_file.h"
#include "util/codepage.h"

namespace rip {

namespace {

// Each level in turn; a level that exists (or cannot be made, as a
// drive root) is passed over, and only the folder itself must be there.
bool MakeFolders(const std::wstring& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != L'\\' && path[i] != L'/') continue;
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int WriteWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, const std::string& bytes) {
  if (folderUtf8.empty()) return 0;
  std::wstring folder = codepage::Utf8ToWide(folderUtf8);
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (!MakeFolders(folder)) return 0;
  const std::wstring path = folder + L"\\" + codepage::Utf8ToWide(nameUtf8);
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size() ? 1 : 0;
}

int ReadWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, std::size_t maxBytes, std::string* bytes) {
  if (folderUtf8.empty()) return 0;
  std::wstring folder = codepage::Utf8ToWide(folderUtf8);
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  const std::wstring path = folder + L"\\" + codepage::Utf8ToWide(nameUtf8);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && static_cast<unsigned long long>(size.QuadPart) <= maxBytes;
  if (ok) {
    bytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ok = bytes->empty() || (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) &&
                            read == bytes->size());
  }
  CloseHandle(file);
  return ok ? 1 : 0;
}

}  // namespace rip
