#include "util/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "util/mt19937.h"

namespace {

const char kDriveLockName[] = "WINAMP_INQUORVODLL_DRIVER_CRITICALSECTION";

TEST(Mt19937, ArraySeedingMatchesPublishedReference) {
  const std::uint32_t key[] = {0x123, 0x234, 0x345, 0x456};
  Mt19937 generator(key, 4);
  const std::uint32_t expected[] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};
  for (std::uint32_t value : expected) EXPECT_EQ(value, generator.Next());
}

TEST(Mt19937, SingleSeedMatchesStandardEngineAcrossManyTwists) {
  Mt19937 ours(5489u);
  std::mt19937 standard(5489u);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(standard(), ours.Next()) << "output " << i;
}

TEST(CriticalSection, LockNameFormat) {
  const LocalTime t{2026, 1, 2, 3, 4, 5, 6};
  const std::uint32_t drawn[4] = {1, 2, 0xABCDEF, 0xDEADBEEF};
  EXPECT_EQ("CCriticalSection_Time20260102030405006_IDDEADBEEF00ABCDEF0000000200000001", FormatLockName(t, drawn));
}

TEST(CriticalSection, ProbeOfAFreeLockLeavesItFree) {
  CCriticalSection lock;
  ASSERT_TRUE(lock.Create());
  EXPECT_EQ(kWaitSignalled, lock.Probe(0));
  EXPECT_EQ(kWaitSignalled, lock.Probe(10));
  ASSERT_TRUE(lock.Lock());
  EXPECT_EQ(kWaitTimeout, lock.Probe(0));
  EXPECT_EQ(kWaitTimeout, lock.Probe(20));
  lock.Unlock();
  EXPECT_EQ(kWaitSignalled, lock.Probe(0));
}

TEST(CriticalSection, UnlockOfAFreeLockDoesNotLetTwoHoldersIn) {
  CCriticalSection lock;
  ASSERT_TRUE(lock.Create());
  lock.Unlock();
  lock.Unlock();
  ASSERT_TRUE(lock.Lock());
  EXPECT_EQ(kWaitTimeout, lock.Probe(0));
  lock.Unlock();
}

TEST(CriticalSection, UnnamedLocksGetDistinctNamesAndNeverCollide) {
  CCriticalSection a;
  CCriticalSection b;
  ASSERT_TRUE(a.Create());
  ASSERT_TRUE(b.Create(nullptr));
  EXPECT_EQ(0u, a.Name().find("CCriticalSection_Time"));
  EXPECT_EQ(a.Name().size(), b.Name().size());
  EXPECT_NE(a.Name(), b.Name());
  ASSERT_TRUE(a.Lock());
  EXPECT_EQ(kWaitSignalled, b.Probe(0));
  a.Unlock();
}

TEST(CriticalSection, UncreatedLockFailsSafely) {
  CCriticalSection lock;
  EXPECT_FALSE(lock.Lock());
  EXPECT_EQ(kWaitFailed, lock.Probe(0));
  lock.Unlock();
  lock.Destroy();
  EXPECT_TRUE(lock.Name().empty());
}

// Two handles on the drive lock, as two plug-in instances have them: the
// second waits until the first lets go.
TEST(CriticalSection, SameNameExcludesAcrossHandlesAndThreads) {
  CCriticalSection first;
  CCriticalSection second;
  ASSERT_TRUE(first.Create(kDriveLockName));
  ASSERT_TRUE(second.Create(kDriveLockName));
  EXPECT_EQ(kDriveLockName, second.Name());

  ASSERT_TRUE(first.Lock());
  EXPECT_EQ(kWaitTimeout, second.Probe(0));
  std::atomic<bool> entered{false};
  std::thread other([&] {
    if (second.Lock()) {
      entered = true;
      second.Unlock();
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(entered);
  first.Unlock();  // any thread may hand the lock on
  other.join();
  EXPECT_TRUE(entered);
}

// A caller whose bounded wait gave up goes on without the lock; its Unlock
// (and a second one of the real holder) must not free the lock for a third.
TEST(CriticalSection, UnlockWithoutOwnershipLeavesTheHolderItsLock) {
  CCriticalSection holder, waiter;
  ASSERT_TRUE(holder.Create("quorvo-test-lock-ownership"));
  ASSERT_TRUE(waiter.Create("quorvo-test-lock-ownership"));
  waiter.SetWaitLimit(50);
  ASSERT_TRUE(holder.Lock());
  EXPECT_FALSE(waiter.Lock());
  waiter.Unlock();
  EXPECT_EQ(kWaitTimeout, waiter.Probe(0)) << "a caller that gave up freed the holder's lock";
  holder.Unlock();
  holder.Unlock();
  ASSERT_TRUE(waiter.Lock());
  holder.Unlock();
  EXPECT_EQ(kWaitTimeout, holder.Probe(0)) << "a second Unlock freed the next holder's lock";
  waiter.Unlock();
  EXPECT_EQ(kWaitSignalled, holder.Probe(0));
}

}  // namespace
