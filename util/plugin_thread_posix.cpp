#include "util/plugin_thread.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <atomic>
#include <new>

namespace plugin_thread {

namespace {

std::atomic<int> g_refusals{0};

struct Thread {
  pthread_t id;
  Entry entry;
  void* argument;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
};

void* Run(void* self) {
  auto* thread = static_cast<Thread*>(self);
  thread->entry(thread->argument);
  std::lock_guard<std::mutex> lock(thread->mutex);
  thread->done = true;
  thread->ended.notify_all();
  return nullptr;
}

}  // namespace

Handle Start(Entry entry, void* argument) {
  if (g_refusals.load() > 0 && g_refusals.fetch_sub(1) > 0) return nullptr;
  auto* thread = new (std::nothrow) Thread{pthread_t(), entry, argument, {}, {}, false};
  if (thread == nullptr) return nullptr;
  if (pthread_create(&thread->id, nullptr, Run, thread) != 0) {
    delete thread;
    return nullptr;
  }
  return thread;
}

bool Wait(Handle handle, std::uint32_t timeoutMs) {
  auto* thread = static_cast<Thread*>(handle);
  if (thread == nullptr) return true;
  std::unique_lock<std::mutex> lock(thread->mutex);
  if (timeoutMs == kForever) {
    thread->ended.wait(lock, [thread] { return thread->done; });
    return true;
  }
  return thread->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [thread] { return thread->done; });
}

// No library to keep loaded here: the program waits for the thread instead.
void Release(Handle handle) {
  auto* thread = static_cast<Thread*>(handle);
  if (thread == nullptr) return;
  pthread_join(thread->id, nullptr);
  delete thread;
}

void RefuseStartsForTesting(int count) { g_refusals.store(count); }

void Join(Handle thread) { Release(thread); }

// Above-normal scheduling needs privileges an ordinary process lacks here.
void RaiseToAboveNormal() {}

void SleepMs(unsigned milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

void SleepAnsweringSentMessages(unsigned milliseconds) { SleepMs(milliseconds); }

}  // namespace plugin_thread
