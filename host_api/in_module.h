#pragma once
// The host's input-plug-in table (version 0x100), as published by the host.
// Note EQSet: the plug-in fills it, yet it sits between the host's DSP slots
// and SetInfo. All function pointers are cdecl.
#include "host_api/out_module.h"

extern "C" {

enum { IN_VER = 0x100 };

struct In_Module {
  int version;
  char* description;
  HWND hMainWindow;
  HINSTANCE hDllInstance;
  char* FileExtensions;
  int is_seekable;
  int UsesOutputPlug;
  void (*Config)(HWND hwndParent);
  void (*About)(HWND hwndParent);
  void (*Init)();
  void (*Quit)();
  void (*GetFileInfo)(char* file, char* title, int* length_in_ms);
  int (*InfoBox)(char* file, HWND hwndParent);
  int (*IsOurFile)(char* fn);
  int (*Play)(char* fn);
  void (*Pause)();
  void (*UnPause)();
  int (*IsPaused)();
  void (*Stop)();
  int (*GetLength)();
  int (*GetOutputTime)();
  void (*SetOutputTime)(int time_in_ms);
  void (*SetVolume)(int volume);
  void (*SetPan)(int pan);
  // Filled by the host.
  void (*SAVSAInit)(int maxlatency_in_ms, int srate);
  void (*SAVSADeInit)();
  void (*SAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
  int (*SAGetMode)();
  int (*SAAdd)(void* data, int timestamp, int csa);
  void (*VSAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
  int (*VSAGetMode)(int* specNch, int* waveNch);
  int (*VSAAdd)(void* data, int timestamp);
  void (*VSASetInfo)(int nch, int srate);
  int (*dsp_isactive)();
  int (*dsp_dosamples)(short int* samples, int numsamples, int bps, int nch, int srate);
  // Filled by the plug-in.
  void (*EQSet)(int on, char data[10], int preamp);
  // Filled by the host.
  void (*SetInfo)(int bitrate, int srate, int stereo, int synched);
  Out_Module* outMod;
};

// Host's title buffer for GetFileInfo.
enum { GETFILEINFO_TITLE_LENGTH = 2048 };

}  // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
#include <cstddef>
static_assert(sizeof(In_Module) == 152, "In_Module must keep the host's 32-bit layout");
static_assert(offsetof(In_Module, FileExtensions) == 16, "In_Module::FileExtensions offset");
static_assert(offsetof(In_Module, Config) == 28, "In_Module::Config offset");
static_assert(offsetof(In_Module, SetPan) == 92, "In_Module::SetPan offset");
static_assert(offsetof(In_Module, SAVSAInit) == 96, "In_Module::SAVSAInit offset");
static_assert(offsetof(In_Module, dsp_dosamples) == 136, "In_Module::dsp_dosamples offset");
static_assert(offsetof(In_Module, EQSet) == 140, "In_Module::EQSet offset");
static_assert(offsetof(In_Module, SetInfo) == 144, "In_Module::SetInfo offset");
static_assert(offsetof(In_Module, outMod) == 148, "In_Module::outMod offset");
#endif
