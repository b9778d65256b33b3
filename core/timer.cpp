#include "core/timer.h"

#include "platform/clock.h"

Timer::Timer() : firstCall(1), lastReset(0.0), start(0.0), frameCarry(0.0) {}

void Timer::Reset() {
  lastReset = platform::ClockSeconds();
  if (firstCall == 1) {
    start = lastReset;
    firstCall = 0;
  }
}

double Timer::GetTimeSinceReset() {
  if (firstCall == 1) {
    firstCall = 0;
    return 0.0;
  }
  return platform::ClockSeconds() - lastReset;
}

double Timer::GetTimeSinceStart() {
  if (firstCall == 1) {
    firstCall = 0;
    return 0.0;
  }
  return platform::ClockSeconds() - start;
}

int Timer::GetFramesElapsed(double periodMs, double speed) {
  const double elapsed = GetTimeSinceReset();
  const double frames = elapsed / (periodMs / 1000.0) * speed + frameCarry;
  // A zero period or an absurd clock reading gives no frames rather than an
  // undefined conversion.
  if (!(frames > -2147483648.0 && frames < 2147483648.0)) {
    frameCarry = 0.0;
    return 0;
  }
  const int whole = static_cast<int>(frames);
  frameCarry = frames - whole;
  return whole;
}
