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
  Timer timer, half;
  timer.Reset();
  ManualClock::Advance(0.020);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);
  EXPECT_NEAR(timer.frameCarry, 0.4, 1e-9);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);  // no reset: the same 20 ms again (2.4 + 0.4)
  // A player loop at uneven intervals: the whole frames sum to the scaled time.
  for (double speed : {1.0, 0.5, 1.75}) {
    timer.Reset();
    timer.frameCarry = 0.0;
    double frames = 0.0, total = 0.0;
    for (int i = 0; i < 500; ++i) {
      const double dt = 0.001 * (1 + (i * 7) % 23);
      ManualClock::Advance(dt);
      total += dt;
      frames += timer.GetFramesElapsed(kPeriod120, speed);
      timer.Reset();
      ASSERT_TRUE(timer.frameCarry >= 0.0 && timer.frameCarry < 1.0);
    }
    EXPECT_NEAR(frames + timer.frameCarry, total * 120.0 * speed, 1e-6) << "speed " << speed;
  }
  // Half speed at half a period of 1/128 s (exact in binary): the carry
  // reaches exactly 1 on every fourth call.
  half.Reset();
  for (int call = 1; call <= 16; ++call) {
    ManualClock::Advance(1.0 / 256.0);
    EXPECT_EQ(half.GetFramesElapsed(1000.0 / 128.0, 0.5), call % 4 == 0 ? 1 : 0) << "call " << call;
    half.Reset();
  }
  // Speed 0 keeps the carry; a zero period or an absurd speed would
  // overflow: no frames, not an undefined conversion.
  timer.frameCarry = 0.25;
  ManualClock::Advance(10.0);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 0.0), 0);
  EXPECT_EQ(timer.frameCarry, 0.25);
  EXPECT_EQ(timer.GetFramesElapsed(0.0, 1.0), 0);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1e30), 0);
}

}  // namespace
