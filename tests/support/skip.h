#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

// Skips the current test with the reason given (anything that streams into a
// test message). When $CI is "true" the test fails with it instead: a test
// that cannot run on this machine (no display, no GL context, no real capture
// data) must not let a broken machine pass CI silently. Returns from the test
// body or SetUp.
#define TAVRIN_SKIP_TEST(reason)                                                                                    \
  do {                                                                                                              \
    if (const char* tavrin_ci = std::getenv("CI"); tavrin_ci != nullptr && std::string_view(tavrin_ci) == "true") { \
      GTEST_FAIL() << reason << " (CI=true: a test this machine cannot run fails)";                                 \
    } else {                                                                                                        \
      GTEST_SKIP() << reason;                                                                                       \
    }                                                                                                               \
  } while (0)
