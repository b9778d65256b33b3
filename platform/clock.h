#pragma once

// The high-resolution clock that timers read: seconds since an arbitrary
// origin, from a steady (monotonic) clock. Tests replace it with a manual
// clock so that everything driven by time is deterministic.

namespace platform {

// Seconds since an arbitrary origin. Never goes backwards with the real clock.
double ClockSeconds();

// A clock that only moves when told to. While installed, ClockSeconds()
// returns its reading instead of the steady clock.
class ManualClock {
 public:
  // Installs the manual clock at `seconds`; until Uninstall the steady clock
  // is not read.
  static void Install(double seconds = 0.0);
  static void Uninstall();
  static void Set(double seconds);
  static void Advance(double seconds);
};

}  // namespace platform
