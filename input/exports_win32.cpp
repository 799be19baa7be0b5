// Entry points of in_quorvo.dll.
#include <windows.h>

#include "host_api/in_module.h"

extern "C" __declspec(dllexport) In_Module* winampGetInModule2() { return nullptr; }
extern "C" __declspec(dllexport) int winampGetExtendedFileInfo(const char*, const char*, char*, int) { return 0; }
