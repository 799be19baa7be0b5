// The host's playback slots: each obeys the waiting rule, then hands over
// to the playback engine.
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/plugin_lifecycle.h"
#include "util/no_throw.h"

namespace slots {

int Play(char* name) {
  return NoThrow(1, [name] {
    plugin::WaitForInitialisation();
    return Engine().Play(name, PlaybackOptionsFromSettings());
  });
}
void Pause() {
  plugin::WaitForInitialisation();
  Engine().Pause();
}
void UnPause() {
  plugin::WaitForInitialisation();
  Engine().UnPause();
}
int IsPaused() {
  plugin::WaitForInitialisation();
  return Engine().IsPaused();
}
void Stop() {
  NoThrow([] {
    plugin::WaitForInitialisation();
    Engine().Stop();
  });
}
int GetLength() {
  plugin::WaitForInitialisation();
  return Engine().GetLength();
}
int GetOutputTime() {
  plugin::WaitForInitialisation();
  return Engine().GetOutputTime();
}
void SetOutputTime(int ms) {
  plugin::WaitForInitialisation();
  Engine().SetOutputTime(ms);
}
void SetVolume(int volume) {
  plugin::WaitForInitialisation();
  Engine().SetVolume(volume);
}
void SetPan(int pan) {
  plugin::WaitForInitialisation();
  Engine().SetPan(pan);
}

}  // namespace slots
