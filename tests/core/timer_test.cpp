#include "core/timer.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

constexpr double kPeriod120 = 1000.0 / 120.0;

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(100.0); }
  void TearDown() override { platform::ManualClock::Uninstall(); }
};

TEST_F(TimerTest, FirstQueryBeforeAnyResetIsZeroThenCountsFromClockOrigin) {
  Timer timer;
  EXPECT_EQ(timer.GetTimeSinceReset(), 0.0);
  // The flag is spent: the next query measures from lastReset, still 0.0.
  EXPECT_EQ(timer.GetTimeSinceReset(), 100.0);
  // A reset now no longer sets the start time.
  timer.Reset();
  EXPECT_EQ(timer.start, 0.0);
  platform::ManualClock::Advance(2.0);
  EXPECT_EQ(timer.GetTimeSinceReset(), 2.0);
}

TEST_F(TimerTest, FirstResetFixesStartLaterResetsDoNot) {
  Timer timer;
  timer.Reset();
  platform::ManualClock::Advance(1.5);
  timer.Reset();
  platform::ManualClock::Advance(0.5);
  EXPECT_DOUBLE_EQ(timer.GetTimeSinceReset(), 0.5);
  EXPECT_DOUBLE_EQ(timer.GetTimeSinceStart(), 2.0);
}

TEST_F(TimerTest, FramesAtOneHundredTwentyCarryTheFraction) {
  Timer timer;
  timer.Reset();
  platform::ManualClock::Advance(0.020);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);
  EXPECT_NEAR(timer.frameCarry, 0.4, 1e-9);
  // The query does not reset: asking again counts the same 20 ms again.
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1.0), 2);

  Timer fresh;
  fresh.Reset();
  platform::ManualClock::Advance(0.025);
  EXPECT_EQ(fresh.GetFramesElapsed(kPeriod120, 1.0), 3);
}

TEST_F(TimerTest, WholeFramesSumToScaledElapsedTime) {
  // A player loop: query, then reset, at uneven intervals.
  for (double speed : {1.0, 0.5, 1.75}) {
    Timer timer;
    timer.Reset();
    long long frames = 0;
    double total = 0.0;
    for (int i = 0; i < 500; ++i) {
      const double dt = 0.001 * (1 + (i * 7) % 23);
      platform::ManualClock::Advance(dt);
      total += dt;
      frames += timer.GetFramesElapsed(kPeriod120, speed);
      timer.Reset();
      ASSERT_GE(timer.frameCarry, 0.0);
      ASSERT_LT(timer.frameCarry, 1.0);
    }
    EXPECT_NEAR(frames + timer.frameCarry, total * 120.0 * speed, 1e-6) << "speed " << speed;
  }
}

TEST_F(TimerTest, HalfSpeedAtHalfPeriodGivesAFrameEveryFourthCall) {
  // A period of 1/128 s keeps every step exact in binary, so the carry reaches
  // exactly 1 on every fourth call.
  const double period = 1000.0 / 128.0;
  Timer timer;
  timer.Reset();
  for (int call = 1; call <= 16; ++call) {
    platform::ManualClock::Advance(period / 2000.0);
    const int n = timer.GetFramesElapsed(period, 0.5);
    timer.Reset();
    EXPECT_EQ(n, call % 4 == 0 ? 1 : 0) << "call " << call;
  }
}

TEST_F(TimerTest, SpeedZeroKeepsTheCarryAndDegenerateInputsGiveNoFrames) {
  Timer timer;
  timer.Reset();
  timer.frameCarry = 0.25;
  platform::ManualClock::Advance(10.0);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 0.0), 0);
  EXPECT_EQ(timer.frameCarry, 0.25);
  // A zero period would divide by zero: no frames, not an undefined conversion.
  EXPECT_EQ(timer.GetFramesElapsed(0.0, 1.0), 0);
  EXPECT_EQ(timer.GetFramesElapsed(kPeriod120, 1e30), 0);
}

}  // namespace
