// Entry point of gen_quorvo.dll.
#include <windows.h>

#include "host_api/gen_module.h"

namespace {

int Init() { return 0; }
void Config() {}
void Quit() {}

char g_description[] = "gen_quorvo.dll Ver.0.26";
winampGeneralPurposePlugin g_plugin = {GPPHDR_VER, g_description, Init, Config, Quit, nullptr, nullptr};

}  // namespace

extern "C" __declspec(dllexport) winampGeneralPurposePlugin* winampGetGeneralPurposePlugin() { return &g_plugin; }
