#include "util/named_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace {

std::string TestEventName(const char* tag) {
  return std::string("quorvo_test_event_") + tag + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

TEST(NamedEvent, GeneratedNameFormat) {
  EXPECT_EQ("20260102030405006002a", FormatEventName(LocalTime{2026, 1, 2, 3, 4, 5, 6}, 42));
  EXPECT_EQ("202612312359599997fff", FormatEventName(LocalTime{2026, 12, 31, 23, 59, 59, 999}, 0x7fff));
}

TEST(NamedEvent, AutoResetReleasesOneWait) {
  CNamedEvent event;
  ASSERT_TRUE(event.Create(false, true));
  // 17 digits of time, then at least four hex digits of rand().
  EXPECT_GE(event.Name().size(), 21u);
  EXPECT_EQ(std::string::npos, event.Name().find_first_not_of("0123456789abcdef"));
  EXPECT_EQ(kWaitSignalled, event.Wait(0));
  EXPECT_EQ(kWaitTimeout, event.Wait(0));
  EXPECT_TRUE(event.Set());
  EXPECT_EQ(kWaitSignalled, event.Wait(10));
  EXPECT_EQ(kWaitTimeout, event.Wait(10));
}

TEST(NamedEvent, ManualResetStaysSetUntilReset) {
  CNamedEvent event;
  ASSERT_TRUE(event.Create(true, false));
  EXPECT_EQ(kWaitTimeout, event.Wait(20));
  EXPECT_TRUE(event.Set());
  EXPECT_EQ(kWaitSignalled, event.Wait(0));
  EXPECT_EQ(kWaitSignalled, event.Wait(0));
  EXPECT_TRUE(event.Reset());
  EXPECT_EQ(kWaitTimeout, event.Wait(0));
}

TEST(NamedEvent, OpenAndCreateByNameShareTheEventAndItsState) {
  const std::string name = TestEventName("shared");
  CNamedEvent owner;
  ASSERT_TRUE(owner.Create(true, true, name.c_str()));
  CNamedEvent again;  // asks for "not signalled" but finds the existing one
  ASSERT_TRUE(again.Create(true, false, name.c_str()));
  EXPECT_EQ(kWaitSignalled, again.Wait(0));

  CNamedEvent opened;
  ASSERT_TRUE(opened.Open(name.c_str()));
  EXPECT_TRUE(opened.Reset());
  EXPECT_EQ(kWaitTimeout, owner.Wait(0));
  EXPECT_TRUE(opened.Set());
  EXPECT_EQ(kWaitSignalled, owner.Wait(0));

  CNamedEvent missing;
  EXPECT_FALSE(missing.Open(TestEventName("missing").c_str()));
  EXPECT_FALSE(missing.Open(nullptr));
  EXPECT_EQ(kWaitFailed, missing.Wait(0));
  EXPECT_FALSE(missing.Set());
}

// Events made within one millisecond would get one name from the time and
// the freshly seeded rand(); each must still be an event of its own.
TEST(NamedEvent, UnnamedEventsMadeTogetherAreDistinct) {
  std::vector<CNamedEvent> events(16);
  std::set<std::string> names;
  for (CNamedEvent& e : events) {
    ASSERT_TRUE(e.Create(true, false));
    names.insert(e.Name());
  }
  EXPECT_EQ(events.size(), names.size());
  ASSERT_TRUE(events[0].Set());
  for (std::size_t i = 1; i < events.size(); ++i) EXPECT_EQ(kWaitTimeout, events[i].Wait(0)) << i;
}

TEST(NamedEvent, SetWakesAWaiterInAnotherThread) {
  CNamedEvent event;
  ASSERT_TRUE(event.Create(false, false));
  std::uint32_t result = kWaitFailed;
  std::thread waiter([&] { result = event.Wait(kWaitForever); });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  event.Set();
  waiter.join();
  EXPECT_EQ(kWaitSignalled, result);
  EXPECT_EQ(kWaitTimeout, event.Wait(0));  // the wake-up consumed the signal
}

}  // namespace
