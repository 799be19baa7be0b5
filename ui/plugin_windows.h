#pragma once
// The windows that live from Init to Quit: the device-change window and,
// owned by it, the CDDB windows the lookup driver uses.
namespace ui {

void OpenPluginWindows();   // Init, on the host's thread
void ClosePluginWindows();  // Quit, on the same thread

}  // namespace ui
