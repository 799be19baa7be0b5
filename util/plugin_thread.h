#pragma once
// Threads of a plug-in, per platform. The host frees a plug-in right after
// its Quit, so on Windows every thread started here holds its own reference
// to the library it runs in and drops it as it ends: a thread that Quit could
// not wait for (one stuck in a name lookup) never runs in a freed library.
#include <cstdint>

namespace plugin_thread {

using Handle = void*;
using Entry = void (*)(void* argument);

constexpr std::uint32_t kForever = 0xFFFFFFFFu;

// Runs entry(argument) on a new thread; nullptr when the system refuses.
Handle Start(Entry entry, void* argument);

// Waits up to timeoutMs (kForever: no limit) for the thread to end; true once
// it has. On Windows, messages sent to the caller's windows are dispatched
// meanwhile: a window of the thread waited for (a status window, an error
// box) may need an answer from this thread to open or close.
bool Wait(Handle thread, std::uint32_t timeoutMs);

// Lets go of the handle. A thread that has not ended goes on by itself (on
// Windows it keeps the library loaded until it ends; elsewhere this waits).
void Release(Handle thread);

// Makes the next `count` Start calls fail as a system out of threads would
// (tests).
void RefuseStartsForTesting(int count);

// Wait without limit, then Release.
void Join(Handle thread);

// Raises the calling thread to above-normal priority where the system lets
// an ordinary process do so.
void RaiseToAboveNormal();

void SleepMs(unsigned milliseconds);

// Sleeps about that long; on Windows, messages sent to the caller's windows
// are answered meanwhile (for waits of the host's thread on a thread that
// may need it, such as one showing a box the host's window owns).
void SleepAnsweringSentMessages(unsigned milliseconds);

}  // namespace plugin_thread
