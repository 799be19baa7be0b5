#pragma once
// Start-up and shut-down of the input plug-in: Init, Quit, the background
// initialisation (its gate and waiting rule are in input/plugin_state.h).
#include <string>

#include "host_api/win_types.h"
#include "input/plugin_state.h"

namespace plugin {

void Init();
void Quit();
void About(HWND parent);
void Config(HWND parent);
int InfoBox(const char* fileName, HWND parent);
void EQSet(int on, char data[10], int preamp);

}  // namespace plugin
