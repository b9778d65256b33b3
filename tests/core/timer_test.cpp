#include "core/timer.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

using platform::ManualClock;
constexpr double kPeriod120 = 1000.0 / 120.0;

TEST(Timer, FirstResetFixesTheStartAndTheFirstQueryBeforeItIsZero) {
  ManualClock::Install(100.0);
  Timer timer, fresh;
  EXPECT_EQ(timer.GetTimeSinceReset(), 0.0);
  EXPECT_EQ(timer.GetTimeSinceReset(), 100.0);  // the flag is spent: measured from lastReset, still 0
  timer.Reset();                                // no longer sets the start
  fresh.Reset();
  ManualClock::Advance(1.5);
  fresh.Reset();
  ManualClock::Advance(0.5);
  EXPECT_EQ(timer.GetTimeSinceStart(), 102.0);
  EXPECT_EQ(fresh.GetTimeSinceStart(), 2.0);
  EXPECT_EQ(fresh.GetTimeSinceReset(), 0.5);
}

TEST(Timer, FramesCarryTheFraction) {
  ManualClock::Install(100.0);
  Timer timer;
  timer.Reset();
  ManualClock::Advance(0.020);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);  // no reset: the same 20 ms again, plus the carry 0.4
  // Half speed at half a period of 1/128 s (exact in binary): the carry
  // reaches exactly 1 on every fourth call.
  timer.frameCarry = 0.0;
  for (int call = 1; call <= 8; ++call) {
    timer.Reset();
    ManualClock::Advance(1.0 / 256.0);
    EXPECT_EQ(timer.GetFramesElapsed(1000.0 / 128.0, 0.5), call % 4 == 0 ? 1 : 0) << "call " << call;
  }
  // Speed 0 keeps the carry; a zero period or an absurd speed would
  // overflow: no frames, not an undefined conversion.
  timer.frameCarry = 0.25;
  ManualClock::Advance(10.0);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 0.0), 0);
  EXPECT_EQ(timer.frameCarry, 0.25);
  EXPECT_EQ(timer.GetFramesElapsed(0.0, 1.0) + timer.GetFramesElapsed(kPeriod120, 1e30), 0);
}

}  // namespace
