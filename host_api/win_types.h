#pragma once
// The few Windows types the host tables and the portable core mention. On
// Windows they come from the system headers; elsewhere they are opaque
// stand-ins of the same size, so the portable core compiles unchanged.
#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef unsigned int UINT;
typedef unsigned long DWORD;
#ifndef WM_USER
#define WM_USER 0x0400
#endif
#endif
