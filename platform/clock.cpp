#include "platform/clock.h"

#include <chrono>

namespace platform {
namespace {

bool g_manual = false;
double g_manualSeconds = 0.0;

}  // namespace

double ClockSeconds() {
  if (g_manual) return g_manualSeconds;
  using Clock = std::chrono::steady_clock;
  const auto ticks = Clock::now().time_since_epoch();
  return std::chrono::duration<double>(ticks).count();
}

void ManualClock::Install(double seconds) {
  g_manual = true;
  g_manualSeconds = seconds;
}

void ManualClock::Uninstall() { g_manual = false; }

void ManualClock::Set(double seconds) { g_manualSeconds = seconds; }

void ManualClock::Advance(double seconds) { g_manualSeconds += seconds; }

}  // namespace platform
