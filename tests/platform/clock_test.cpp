#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, SteadyClockNeverGoesBackwards) {
  double last = platform::ClockSeconds();
  for (int i = 0; i < 10000; ++i) {
    const double now = platform::ClockSeconds();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(Clock, ManualClockReplacesSteadyClockUntilUninstalled) {
  platform::ManualClock::Install(5.0);
  EXPECT_EQ(platform::ClockSeconds(), 5.0);
  platform::ManualClock::Advance(0.25);
  EXPECT_EQ(platform::ClockSeconds(), 5.25);
  platform::ManualClock::Set(1.0);
  EXPECT_EQ(platform::ClockSeconds(), 1.0);
  platform::ManualClock::Uninstall();
  EXPECT_FALSE(platform::ManualClock::Installed());
  // The steady clock counts from boot or similar, not from our manual 1.0.
  const double a = platform::ClockSeconds();
  const double b = platform::ClockSeconds();
  EXPECT_GE(b, a);
}

}  // namespace
