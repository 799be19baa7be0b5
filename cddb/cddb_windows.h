#pragma once
// The CDDB windows of the plug-in: the status window that accompanies a
// lookup and the candidates dialog, installed for the lookup driver.
namespace cddb_windows {

// Installs the windows for the lookup driver (Init) and removes them (Quit).
void Install();
void Uninstall();

}  // namespace cddb_windows
