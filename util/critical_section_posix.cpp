#include "util/critical_section.h"

#include <fcntl.h>
#include <semaphore.h>

#include <cerrno>
#include <ctime>

// A named semaphore holding 1 while the lock is free and 0 while it is held.
// Unlock never raises it above 1, so that, as with the auto-reset event, an
// unlock of a free lock changes nothing. A named lock stays in the system
// after the last process closes it (no process can know it is the last); a
// generated name is private, so it is unlinked at once.

namespace {

std::string SemaphoreName(const std::string& name) {
  std::string result = "/" + name;
  for (std::size_t i = 1; i < result.size(); ++i) {
    if (result[i] == '/') result[i] = '_';
  }
  return result;
}

sem_t* Semaphore(void* handle) { return static_cast<sem_t*>(handle); }

}  // namespace

bool CCriticalSection::NameInUse(const std::string& name) {
  sem_t* existing = sem_open(SemaphoreName(name).c_str(), 0);
  if (existing == SEM_FAILED) return false;
  sem_close(existing);
  return true;
}

bool CCriticalSection::CreateNative(const std::string& name, bool generated) {
  const std::string semName = SemaphoreName(name);
  sem_t* sem = sem_open(semName.c_str(), O_CREAT, 0666, 1);
  if (sem == SEM_FAILED) return false;
  if (generated) sem_unlink(semName.c_str());
  handle_ = sem;
  return true;
}

void CCriticalSection::ReleaseNative() {
  if (handle_ == nullptr) return;
  int value = 0;
  if (sem_getvalue(Semaphore(handle_), &value) == 0 && value > 0) return;
  sem_post(Semaphore(handle_));
}

std::uint32_t CCriticalSection::WaitNative(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  sem_t* sem = Semaphore(handle_);
  int rc;
  if (milliseconds == kWaitForever) {
    while ((rc = sem_wait(sem)) != 0 && errno == EINTR) {
    }
  } else if (milliseconds == 0) {
    rc = sem_trywait(sem);
  } else {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    while ((rc = sem_timedwait(sem, &deadline)) != 0 && errno == EINTR) {
    }
  }
  if (rc == 0) return kWaitSignalled;
  return (errno == ETIMEDOUT || errno == EAGAIN) ? kWaitTimeout : kWaitFailed;
}

void CCriticalSection::Destroy() {
  if (handle_ != nullptr) sem_close(Semaphore(handle_));
  handle_ = nullptr;
  name_.clear();
}

// Named semaphores know nothing of their holders: a dead one is never
// recognised here.
void CCriticalSection::MarkHolder() {}
void CCriticalSection::UnmarkHolder() {}
bool CCriticalSection::TakeOverFromDeadHolder() { return false; }
