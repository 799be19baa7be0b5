#include "util/named_event.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

// Events live in this process only: a registry of names lets Open find an
// event created elsewhere in the process; a name is free again once its
// last holder has closed it, as with a kernel object.

namespace {

struct EventState {
  std::mutex mutex;
  std::condition_variable changed;
  bool manualReset = false;
  bool signalled = false;
};

using EventRef = std::shared_ptr<EventState>;

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::weak_ptr<EventState>>& Registry() {
  static std::map<std::string, std::weak_ptr<EventState>> registry;
  return registry;
}

EventState& State(void* handle) { return **static_cast<EventRef*>(handle); }

}  // namespace

void* CNamedEvent::CreateNative(bool manualReset, bool initialState, const std::string& name, bool* existed) {
  std::lock_guard<std::mutex> hold(RegistryMutex());
  std::weak_ptr<EventState>& slot = Registry()[name];
  EventRef state = slot.lock();
  *existed = state != nullptr;
  if (!state) {
    state = std::make_shared<EventState>();
    state->manualReset = manualReset;
    state->signalled = initialState;
    slot = state;
  }
  return new EventRef(state);
}

void* CNamedEvent::OpenNative(const std::string& name) {
  std::lock_guard<std::mutex> hold(RegistryMutex());
  auto found = Registry().find(name);
  if (found == Registry().end()) return nullptr;
  EventRef state = found->second.lock();
  if (!state) return nullptr;
  return new EventRef(state);
}

void CNamedEvent::CloseNative(void* handle) {
  EventRef* ref = static_cast<EventRef*>(handle);
  std::lock_guard<std::mutex> hold(RegistryMutex());
  delete ref;
  for (auto it = Registry().begin(); it != Registry().end();) {
    it = it->second.expired() ? Registry().erase(it) : std::next(it);
  }
}

std::uint32_t CNamedEvent::Wait(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  EventState& state = State(handle_);
  std::unique_lock<std::mutex> hold(state.mutex);
  const auto isSet = [&state] { return state.signalled; };
  if (milliseconds == kWaitForever) {
    state.changed.wait(hold, isSet);
  } else if (!state.changed.wait_for(hold, std::chrono::milliseconds(milliseconds), isSet)) {
    return kWaitTimeout;
  }
  if (!state.manualReset) state.signalled = false;
  return kWaitSignalled;
}

bool CNamedEvent::Set() {
  if (handle_ == nullptr) return false;
  EventState& state = State(handle_);
  {
    std::lock_guard<std::mutex> hold(state.mutex);
    state.signalled = true;
  }
  state.changed.notify_all();
  return true;
}

bool CNamedEvent::Reset() {
  if (handle_ == nullptr) return false;
  EventState& state = State(handle_);
  std::lock_guard<std::mutex> hold(state.mutex);
  state.signalled = false;
  return true;
}

// No windows here to answer for.
std::uint32_t CNamedEvent::WaitAnsweringSentMessages(std::uint32_t milliseconds) { return Wait(milliseconds); }
