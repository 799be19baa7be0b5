#include "util/plugin_thread.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "util/no_throw.h"
#include "util/sent_message_wait_win32.h"

namespace plugin_thread {

namespace {

std::atomic<int> g_refusals{0};

struct Launch {
  Entry entry;
  void* argument;
  HMODULE library;  // our own reference, or null in a program
};

DWORD WINAPI Run(void* self) {
  const Launch start = *static_cast<Launch*>(self);
  delete static_cast<Launch*>(self);
  NoThrow([&start] { start.entry(start.argument); });
  // Drops our reference and ends the thread without returning into code
  // that the last FreeLibrary may just have unmapped.
  if (start.library) FreeLibraryAndExitThread(start.library, 0);
  return 0;
}

// The library this code is linked into, with its count raised; null when the
// code is part of the program itself, which is never unloaded.
HMODULE ReferenceOwnLibrary() {
  HMODULE library = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&Run), &library))
    return nullptr;
  if (library == GetModuleHandleA(nullptr)) return nullptr;  // nothing counted for the program
  return library;
}

}  // namespace

Handle Start(Entry entry, void* argument) {
  if (g_refusals.load() > 0 && g_refusals.fetch_sub(1) > 0) return nullptr;
  auto* start = new (std::nothrow) Launch{entry, argument, ReferenceOwnLibrary()};
  if (start == nullptr) return nullptr;
  const HMODULE library = start->library;
  HANDLE thread = CreateThread(nullptr, 0, Run, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    if (library) FreeLibrary(library);
    return nullptr;
  }
  return thread;
}

bool Wait(Handle thread, std::uint32_t timeoutMs) {
  if (thread == nullptr) return true;
  const DWORD limit = timeoutMs == kForever ? INFINITE : static_cast<DWORD>(timeoutMs);
  return WaitAnsweringSentMessages(static_cast<HANDLE>(thread), limit) == WAIT_OBJECT_0;
}

void Release(Handle thread) {
  if (thread != nullptr) CloseHandle(static_cast<HANDLE>(thread));
}

void RefuseStartsForTesting(int count) { g_refusals.store(count); }

void Join(Handle thread) {
  Wait(thread, kForever);
  Release(thread);
}

void RaiseToAboveNormal() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

void SleepMs(unsigned milliseconds) { Sleep(milliseconds); }

void SleepAnsweringSentMessages(unsigned milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= milliseconds) return;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_SENDMESSAGE) != WAIT_OBJECT_0) return;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages
  }
}

}  // namespace plugin_thread
