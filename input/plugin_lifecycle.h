#pragma once
// Start-up and shut-down of the input plug-in: Init, Quit, the background
// initialisation and the waiting rule that every other slot obeys.
#include <string>

#include "host_api/win_types.h"
#include "input/plugin_paths.h"
#include "util/critical_section.h"

namespace plugin {

constexpr const char kVersion[] = "0.26";
constexpr const char kVersionSuffix[] = " Ver.0.26";
constexpr const char kDriveLockName[] = "WINAMP_INQUORVODLL_DRIVER_CRITICALSECTION";

// The waiting rule: blocks until the background initialisation has signalled
// completion, answering sent messages; after the first successful wait it
// returns at once. False when it gave up after a long bound (the
// initialisation still runs): a slot that needs drives or tables then fails.
bool WaitForInitialisation();

// Serialises drive access of every instance of the plug-in, across processes.
CCriticalSection& DriveLock();

void Init();
void Quit();
void About(HWND parent);
void Config(HWND parent);
int InfoBox(const char* fileName, HWND parent);
void EQSet(int on, char data[10], int preamp);

}  // namespace plugin
