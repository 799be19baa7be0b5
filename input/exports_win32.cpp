// Entry points of in_quorvo.dll.
#include <windows.h>

#include "input/host_slots.h"
#include "input/plugin_lifecycle.h"
#include "input/plugin_strings.h"
#include "input/title_queries.h"
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
