#include "input/engine_thread.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

namespace engine_thread {

namespace {

struct Thread {
  pthread_t id;
  Entry entry;
  void* argument;
};

void* Run(void* self) {
  auto* thread = static_cast<Thread*>(self);
  thread->entry(thread->argument);
  return nullptr;
}

}  // namespace

Handle Start(Entry entry, void* argument) {
  auto* thread = new (std::nothrow) Thread{pthread_t(), entry, argument};
  if (thread == nullptr) return nullptr;
  if (pthread_create(&thread->id, nullptr, Run, thread) != 0) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void Join(Handle handle) {
  auto* thread = static_cast<Thread*>(handle);
  if (thread == nullptr) return;
  pthread_join(thread->id, nullptr);
  delete thread;
}

// Above-normal scheduling needs privileges an ordinary process lacks here.
void RaiseToAboveNormal() {}

void SleepMs(unsigned milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

}  // namespace engine_thread
