#pragma once
// The plug-in's functions in the host's module table, in slot order, and the
// table itself.
#include "host_api/in_module.h"

namespace slots {

void Config(HWND parent);
void About(HWND parent);
void Init();
void Quit();
void GetFileInfo(char* file, char* title, int* lengthMs);
int InfoBox(char* file, HWND parent);
int IsOurFile(char* name);
int Play(char* name);
void Pause();
void UnPause();
int IsPaused();
void Stop();
int GetLength();
int GetOutputTime();
void SetOutputTime(int ms);
void SetVolume(int volume);
void SetPan(int pan);
void EQSet(int on, char data[10], int preamp);

}  // namespace slots

// The one module table. GetInModule builds its description from the string
// table and returns it; the host then fills its own fields.
In_Module* GetInModule();
In_Module& Module();
