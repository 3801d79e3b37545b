#include <gtest/gtest.h>

#include "platform/clock.h"

TEST(Clock, VirtualClockMovesOnlyWhenSleptOrAdvancedAndWraps) {
  platform::ScopedVirtualClock clock(0xFFFFFF00u);
  EXPECT_EQ(platform::GetTickCount(), 0xFFFFFF00u);
  platform::SleepMs(0x200);
  EXPECT_EQ(platform::GetTickCount(), 0x100u);  // wrapped like GetTickCount
  EXPECT_EQ(clock->Slept(), 0x200u);
  clock->Advance(5);
  EXPECT_EQ(platform::GetTickCount(), 0x105u);
}

TEST(Clock, SystemClockIsBackAfterTheScope) {
  { platform::ScopedVirtualClock clock(7); }
  const uint32_t a = platform::GetTickCount();
  platform::SleepMs(2);
  EXPECT_GE(platform::GetTickCount() - a, 1u);
}
