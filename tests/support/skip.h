#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace testing_support {

// True when $CI is "true": a test that cannot run on this machine (no
// display, no GL context, no real capture data) then fails instead of
// skipping, so a broken machine cannot pass CI silently.
inline bool SkipsFail() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

}  // namespace testing_support

// Skips the current test with the reason given (anything that streams into a
// test message); under CI=true the test fails with it instead. Returns from
// the test body or SetUp.
#define TAVRIN_SKIP_TEST(reason)                                                     \
  do {                                                                               \
    if (testing_support::SkipsFail()) {                                              \
      GTEST_FAIL() << reason << " (CI=true: a test this machine cannot run fails)"; \
    } else {                                                                         \
      GTEST_SKIP() << reason;                                                        \
    }                                                                                \
  } while (0)
