#include "platform/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(CriticalSectionTest, OwnerReentersWithoutDeadlockAndReleasesOnlyAtDepthZero) {
  CCriticalSection lock;
  ASSERT_TRUE(lock.IsInitialized());
  std::atomic<bool> otherHolds{false};

  lock.Enter();
  lock.Enter();
  EXPECT_EQ(lock.Depth(), 2);
  std::thread other([&] {
    lock.Enter();
    otherHolds = true;
    lock.Leave();
  });
  lock.Leave();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(otherHolds) << "the mutex was released while the owner still held one level";
  lock.Leave();
  other.join();
  EXPECT_TRUE(otherHolds);
  EXPECT_FALSE(lock.IsOwnedByCaller());
}

TEST(CriticalSectionTest, LeaveByNonOwnerDoesNotReleaseTheOwnersLock) {
  CCriticalSection lock;
  lock.Enter();
  std::thread([&] { lock.Leave(); }).join();
  EXPECT_TRUE(lock.IsOwnedByCaller());
  EXPECT_EQ(lock.Depth(), 1);
  lock.Leave();
  EXPECT_FALSE(lock.IsOwnedByCaller());
}

}  // namespace
