// The host's playback slots: each obeys the waiting rule, then hands over
// to the playback engine.
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/plugin_state.h"
#include "util/no_throw.h"
#include "util/own_frames.h"

namespace slots {

int Play(char* name) {
  own_frames::Scope frame;  // may wait for a Stop that answers messages
  return NoThrow(1, [name] {
    if (!plugin::WaitForInitialisation()) return -1;
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
  own_frames::Scope frame;  // the wait answers sent messages
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
