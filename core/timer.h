#pragma once

// A stopwatch on the high-resolution clock, in seconds. It also turns elapsed
// time into whole frames, carrying the fraction of a frame to the next call.
class Timer {
 public:
  Timer();

  // Starts a new interval now. The first reset also fixes the start time.
  void Reset();

  // Seconds since the last Reset. The very first query of a timer that was
  // never reset returns 0.0 without reading the clock; later queries count
  // from 0.0 (the clock's origin) until a Reset.
  double GetTimeSinceReset();

  // Seconds since the first Reset; same first-query rule as above.
  double GetTimeSinceStart();

  // Whole frames in the time since the last Reset:
  //   f = elapsed / (periodMs / 1000) * speed + carry; returns f truncated
  //   toward zero and keeps f minus that as the new carry.
  // Does not reset the timer: the caller resets after using the result.
  int GetFramesElapsed(double periodMs, double speed);

  int firstCall;
  double lastReset;
  double start;
  double frameCarry;
};
