#include "util/critical_section.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kDriveLockName[] = "WINAMP_INQUORVODLL_DRIVER_CRITICALSECTION";

bool ReadableWithin(int fd, int milliseconds) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, milliseconds) == 1;
}

// Two processes that open the drive lock by name exclude each other.
TEST(CriticalSectionProcess, SameNameExcludesAcrossProcesses) {
  CCriticalSection parentLock;
  ASSERT_TRUE(parentLock.Create(kDriveLockName));
  ASSERT_TRUE(parentLock.Lock());

  int pipeFds[2];
  ASSERT_EQ(0, pipe(pipeFds));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeFds[0]);
    CCriticalSection childLock;
    if (!childLock.Create(kDriveLockName)) _exit(2);
    if (childLock.Probe(0) != kWaitTimeout) _exit(3);
    if (!childLock.Lock()) _exit(4);
    const char got = 'L';
    if (write(pipeFds[1], &got, 1) != 1) _exit(5);
    childLock.Unlock();
    _exit(0);
  }
  close(pipeFds[1]);
  EXPECT_FALSE(ReadableWithin(pipeFds[0], 200)) << "the child entered a held lock";
  parentLock.Unlock();
  EXPECT_TRUE(ReadableWithin(pipeFds[0], 10000)) << "the child never got the freed lock";
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  close(pipeFds[0]);
}

}  // namespace
