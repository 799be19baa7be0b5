#pragma once
// The host's output-plug-in table, as published by the host. Reached through
// In_Module::outMod; all function pointers are cdecl.
#include "host_api/win_types.h"

extern "C" {

struct Out_Module {
  int version;
  char* description;
  int id;
  HWND hMainWindow;
  HINSTANCE hDllInstance;
  void (*Config)(HWND hwndParent);
  void (*About)(HWND hwndParent);
  void (*Init)();
  void (*Quit)();
  int (*Open)(int samplerate, int numchannels, int bitspersamp, int bufferlenms, int prebufferms);
  void (*Close)();
  int (*Write)(char* buf, int len);
  int (*CanWrite)();
  int (*IsPlaying)();
  int (*Pause)(int pause);
  void (*SetVolume)(int volume);
  void (*SetPan)(int pan);
  void (*Flush)(int t);
  int (*GetOutputTime)();
  int (*GetWrittenTime)();
};

}  // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
#include <cstddef>
static_assert(sizeof(Out_Module) == 80, "Out_Module must keep the host's 32-bit layout");
static_assert(offsetof(Out_Module, Config) == 20, "Out_Module::Config offset");
static_assert(offsetof(Out_Module, Open) == 36, "Out_Module::Open offset");
static_assert(offsetof(Out_Module, Write) == 44, "Out_Module::Write offset");
static_assert(offsetof(Out_Module, GetWrittenTime) == 76, "Out_Module::GetWrittenTime offset");
#endif
