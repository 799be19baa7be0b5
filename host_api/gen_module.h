#pragma once
// The host's general-purpose plug-in record (version 0x10) and the enqueue
// record of its playlist IPC, as published by the host.
#include "host_api/win_types.h"

extern "C" {

enum { GPPHDR_VER = 0x10 };

struct winampGeneralPurposePlugin {
  int version;
  char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

struct enqueueFileWithMetaStruct {
  const char* filename;
  const char* title;
  int length;
};

}  // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
#include <cstddef>
static_assert(sizeof(winampGeneralPurposePlugin) == 28, "general-purpose record 32-bit layout");
static_assert(offsetof(winampGeneralPurposePlugin, hwndParent) == 20, "hwndParent offset");
static_assert(sizeof(enqueueFileWithMetaStruct) == 12, "enqueue record 32-bit layout");
#endif
