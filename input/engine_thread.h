#pragma once
// The few thread operations the playback engine needs, per platform.
namespace engine_thread {

using Handle = void*;
using Entry = void (*)(void* argument);

// Runs entry(argument) on a new thread; nullptr when the system refuses.
Handle Start(Entry entry, void* argument);

// Waits for the thread to end and releases it. On Windows, messages sent to
// the caller's windows are dispatched while waiting: a window of the thread
// waited for (the reader's error box) may need them to open or close.
void Join(Handle thread);

// Raises the calling thread to above-normal priority where the system lets
// an ordinary process do so.
void RaiseToAboveNormal();

void SleepMs(unsigned milliseconds);

}  // namespace engine_thread
