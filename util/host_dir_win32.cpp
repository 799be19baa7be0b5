#include "util/host_dir.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "host_api/host_messages.h"
#include "util/sjis.h"

namespace {

// The module's full file name; the buffer grows until the name fits.
std::string ModuleFileName(HMODULE module) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string HostDirectory() { return DirectoryOfWindowsPath(ModuleFileName(nullptr)); }

std::string ModuleDirectory(void* moduleHandle) {
  return DirectoryOfWindowsPath(ModuleFileName(static_cast<HMODULE>(moduleHandle)));
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Longest path the system takes, in characters.
constexpr std::size_t kMaxPathChars = 32767;

LRESULT AskHost(HWND host, LPARAM code) { return SendMessageA(host, host::kMsgIpc, 0, code); }

// How many bytes from p on may be read: the host's answer is a pointer we
// cannot trust to be one.
std::size_t ReadableBytes(const void* p) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(p, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) return 0;
  if (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return 0;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY;
  if (!(info.Protect & readable)) return 0;
  return static_cast<std::size_t>(static_cast<const char*>(info.BaseAddress) + info.RegionSize -
                                  static_cast<const char*>(p));
}

// The text the host's answer points at, read no further than readable
// memory and the longest path; false for no answer or no terminated text.
template <class Char>
bool ReadAnswer(LRESULT answer, std::basic_string<Char>* text) {
  // Small numbers are never addresses (the first 64 KB are never mapped).
  if (static_cast<std::uintptr_t>(answer) < 0x10000) return false;
  const Char* p = reinterpret_cast<const Char*>(answer);
  const char* limit = reinterpret_cast<const char*>(p);  // readable up to here
  for (std::size_t n = 0; n <= kMaxPathChars; ++n) {
    const char* end = reinterpret_cast<const char*>(p + n + 1);
    while (limit < end) {
      const std::size_t more = ReadableBytes(limit);
      if (more == 0) return false;
      limit += more;
    }
    if (p[n] == 0) {
      text->assign(p, n);
      return n > 0;
    }
  }
  return false;
}

template <class Char>
bool IsAbsolute(const std::basic_string<Char>& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    const Char c = static_cast<Char>(path[0] | 0x20);
    return c >= 'a' && c <= 'z';
  }
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

// A folder name as the attribute and short-name functions take it: "C:" is
// the current folder on C, "C:\" the root.
std::wstring FolderName(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(FolderName(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

// The text in the ANSI code page, only when it converts back to itself.
bool ToAnsiExactly(const std::wstring& wide, std::string* out) {
  if (wide.empty()) return false;
  BOOL usedDefault = FALSE;
  const bool utf8 = GetACP() == CP_UTF8;  // takes neither the flag nor the default
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return false;
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide.data(), size, &narrow[0], n, nullptr, used);
  if (usedDefault || Widen(narrow) != wide) return false;
  *out = std::move(narrow);
  return true;
}

// An existing folder in the ANSI code page, in its short form when its own
// name does not convert.
bool AnsiFolder(const std::wstring& folder, std::string* out) {
  const std::wstring name = FolderName(folder);
  if (ToAnsiExactly(name, out)) return true;
  std::vector<wchar_t> buffer(kMaxPathChars + 1);
  const DWORD n = GetShortPathNameW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return false;
  return ToAnsiExactly(std::wstring(buffer.data(), n), out);
}

// A file (that may not exist yet) in an existing folder.
bool AnsiFile(const std::wstring& file, std::string* out) {
  if (ToAnsiExactly(file, out)) return true;
  const std::size_t cut = file.rfind(L'\\');
  std::string folder, name;
  if (cut == std::wstring::npos || !AnsiFolder(file.substr(0, cut), &folder) ||
      !ToAnsiExactly(file.substr(cut + 1), &name)) {
    return false;
  }
  if (folder.back() != '\\') folder += '\\';
  *out = folder + name;
  return true;
}

std::wstring FolderOf(const std::wstring& file) {
  const std::size_t cut = file.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : file.substr(0, cut);
}

// A folder in the file's place is kept: saving then fails and the user is
// told, where falling back to the program's folder would lose it silently.
bool UsableFile(const std::wstring& file) {
  return IsAbsolute(file) && file.back() != L'\\' && IsFolder(FolderOf(file));
}
bool UsableFolder(const std::wstring& folder) { return IsAbsolute(folder) && IsFolder(folder); }

std::string WithoutTrailingSeparator(std::string folder) {
  while (!folder.empty() && folder.back() == '\\' && sjis::FindLastChar(folder, '\\') == folder.size() - 1) {
    folder.pop_back();
  }
  return folder;
}

}  // namespace

HostSettingsLocation AskHostSettingsLocation(HWND hostWindow) {
  HostSettingsLocation where;
  if (hostWindow == nullptr || !IsWindow(hostWindow)) return where;
  const LRESULT version = AskHost(hostWindow, host::kIpcGetVersion);
  std::string ini, folder;
  std::wstring wide;
  if (version >= host::kVersionWideIniPaths) {
    if (ReadAnswer(AskHost(hostWindow, host::kIpcGetIniFileW), &wide) && UsableFile(wide)) AnsiFile(wide, &ini);
    if (ReadAnswer(AskHost(hostWindow, host::kIpcGetIniDirectoryW), &wide) && UsableFolder(wide)) {
      AnsiFolder(wide, &folder);
    }
  }
  if (version >= host::kVersionNarrowIniPaths) {
    // The narrow answers are checked as their wide forms: a name the host
    // could not convert holds '?' and names no existing folder.
    std::string narrow;
    if (ini.empty() && ReadAnswer(AskHost(hostWindow, host::kIpcGetIniFile), &narrow) && UsableFile(Widen(narrow))) {
      ini = narrow;
    }
    if (folder.empty() && ReadAnswer(AskHost(hostWindow, host::kIpcGetIniDirectory), &narrow) &&
        UsableFolder(Widen(narrow))) {
      folder = narrow;
    }
  }
  if (ini.empty()) return where;
  where.iniPath = ini;
  where.folder = WithoutTrailingSeparator(folder.empty() ? DirectoryOfWindowsPath(ini) : folder);
  return where;
}
