#include "util/open_folder.h"

#include <windows.h>
#include <shellapi.h>

#include "util/codepage.h"

namespace folders {

namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Wide, so that a Shift-JIS trail byte 0x5C is never taken for a separator.
std::wstring WidePath(const std::string& ansi) { return codepage::Utf8ToWide(codepage::AnsiToUtf8(ansi)); }

}  // namespace

bool CreateFolderTree(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  // Each leading part in turn; the drive root and a share's server fail
  // harmlessly, and what exists already is left alone.
  for (std::size_t i = 1; i < wide.size(); ++i) {
    if ((wide[i] == L'\\' || wide[i] == L'/') && wide[i - 1] != L':' && wide[i - 1] != L'\\') {
      CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
    }
  }
  CreateDirectoryW(wide.c_str(), nullptr);
  return IsFolder(wide);
}

bool OpenFolder(HWND owner, const std::string& path) {
  if (!CreateFolderTree(path)) return false;
  const HINSTANCE result = ShellExecuteW(owner, L"open", WidePath(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace folders
