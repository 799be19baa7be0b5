// Entry points of in_quorvo.dll.
#include <windows.h>

#include "input/host_slots.h"
#include "plugin/plugin_lifecycle.h"
#include "plugin/rip_handles.h"
#include "input/plugin_strings.h"
#include "input/title_queries.h"
#include "util/codepage.h"
#include "util/no_throw.h"
#include "util/own_frames.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetPluginInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) In_Module* winampGetInModule2() { return GetInModule(); }

extern "C" __declspec(dllexport) int winampGetExtendedFileInfo(const char* file, const char* key, char* ret,
                                                                int retlen) {
  own_frames::Scope frame;
  return NoThrow(0, [=] {
    if (!plugin::WaitForInitialisation()) return 0;
    return titles::GetExtendedFileInfo(titles::PluginResolver(), file, key, ret, retlen);
  });
}

// The wide form a Unicode host asks for, so that titles reach it whatever
// the system's code page. The name is the playlist entry's: ours are ASCII,
// and any other goes on as the host would give it to the ANSI export.
extern "C" __declspec(dllexport) int winampGetExtendedFileInfoW(const wchar_t* file, const char* key, wchar_t* ret,
                                                                 size_t retlen) {
  own_frames::Scope frame;
  if (ret && retlen > 0) ret[0] = L'\0';  // terminated whatever happens below
  return NoThrow(0, [=] {
    if (!plugin::WaitForInitialisation()) return 0;
    const std::string name = codepage::Utf8ToAnsi(codepage::WideToUtf8(file));
    return titles::GetExtendedFileInfoW(titles::PluginResolver(), file ? name.c_str() : nullptr, key,
                                        reinterpret_cast<char16_t*>(ret), retlen);
  });
}

// The host's extended read (its format converter and CD ripper). A call may
// read the drive for a while: each counts its frame, so that a Quit on
// another thread keeps the library mapped until it has returned.
extern "C" __declspec(dllexport) intptr_t winampGetExtendedRead_open(const char* fn, int* size, int* bps, int* nch,
                                                                      int* srate) {
  own_frames::Scope frame;
  return NoThrow<intptr_t>(0, [=]() -> intptr_t {
    if (!plugin::WaitForInitialisation()) return 0;
    return rip_handles::Open(fn, size, bps, nch, srate);
  });
}

extern "C" __declspec(dllexport) intptr_t winampGetExtendedRead_openW(const wchar_t* fn, int* size, int* bps,
                                                                       int* nch, int* srate) {
  own_frames::Scope frame;
  return NoThrow<intptr_t>(0, [=]() -> intptr_t {
    if (fn == nullptr || !plugin::WaitForInitialisation()) return 0;
    const std::string name = codepage::Utf8ToAnsi(codepage::WideToUtf8(fn));
    return rip_handles::Open(name.c_str(), size, bps, nch, srate);
  });
}

extern "C" __declspec(dllexport) intptr_t winampGetExtendedRead_getData(intptr_t handle, char* dest, size_t len,
                                                                         int* killswitch) {
  own_frames::Scope frame;
  return NoThrow<intptr_t>(-1, [=] { return rip_handles::GetData(handle, dest, len, killswitch); });
}

extern "C" __declspec(dllexport) int winampGetExtendedRead_setTime(intptr_t handle, int millisecs) {
  own_frames::Scope frame;
  return NoThrow(0, [=] { return rip_handles::SetTime(handle, millisecs); });
}

extern "C" __declspec(dllexport) void winampGetExtendedRead_close(intptr_t handle) {
  own_frames::Scope frame;
  NoThrow([=] { rip_handles::Close(handle); });
}
