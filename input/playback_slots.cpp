// Playback slots until the playback engine arrives: they obey the waiting
// rule and refuse to play.
#include "input/host_slots.h"
#include "input/plugin_lifecycle.h"

namespace slots {

int Play(char*) {
  plugin::WaitForInitialisation();
  return -1;
}
void Pause() { plugin::WaitForInitialisation(); }
void UnPause() { plugin::WaitForInitialisation(); }
int IsPaused() {
  plugin::WaitForInitialisation();
  return 0;
}
void Stop() { plugin::WaitForInitialisation(); }
int GetLength() {
  plugin::WaitForInitialisation();
  return -1000;
}
int GetOutputTime() {
  plugin::WaitForInitialisation();
  return 0;
}
void SetOutputTime(int) { plugin::WaitForInitialisation(); }
void SetVolume(int) { plugin::WaitForInitialisation(); }
void SetPan(int) { plugin::WaitForInitialisation(); }

}  // namespace slots
