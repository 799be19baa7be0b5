// Entry points of gen_quorvo.dll.
#include <windows.h>

#include "companion/companion_plugin.h"
#include "host_api/gen_module.h"
#include "util/no_throw.h"

namespace {

char g_description[] = "QZS Audio CD Player plug-in - assistant plug-in Ver.0.26";

int Init();
void Config();
void Quit();

winampGeneralPurposePlugin g_plugin = {GPPHDR_VER, g_description, Init, Config, Quit, nullptr, nullptr};

int Init() {
  return NoThrow(1, [] { return companion::Init(g_plugin.hwndParent); });
}
void Config() {
  NoThrow([] { companion::Config(g_plugin.hwndParent); });
}
void Quit() {
  NoThrow([] { companion::Quit(g_plugin.hwndParent); });
}

}  // namespace

extern "C" __declspec(dllexport) winampGeneralPurposePlugin* winampGetGeneralPurposePlugin() { return &g_plugin; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    companion::SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
