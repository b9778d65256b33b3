#pragma once

#include <string>

#include "tests/support/skip.h"

namespace testing_support {

// Whole contents of a file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// The folder of real capture data beside the project ("../shared/mocap"
// seen from the project's root), or an empty string when it is absent.
std::string MocapDir();

}  // namespace testing_support

// Skips the current test, with a message, when the real capture data is absent.
#define TAVRIN_REQUIRE_MOCAP()                                                        \
  do {                                                                                \
    if (testing_support::MocapDir().empty())                                          \
      TAVRIN_SKIP_TEST("real capture data (../shared/mocap) is absent; test skipped"); \
  } while (0)
