#include "core/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace {

// A cache written in the same second as its source but earlier counts as
// older: the nanoseconds decide.
TEST(RegularFile, ModifiedBeforeComparesToTheNanosecond) {
  for (const char* file : {"early", "late"}) testing_support::WriteFile(file, "");
  const timespec early[2] = {{100, 500}, {100, 500}}, late[2] = {{100, 501}, {100, 501}};
  ASSERT_EQ(utimensat(AT_FDCWD, "early", early, 0) + utimensat(AT_FDCWD, "late", late, 0), 0);
  EXPECT_TRUE(ModifiedBefore("early", "late"));
  EXPECT_FALSE(ModifiedBefore("late", "early") || ModifiedBefore("early", "early") || ModifiedBefore("early", "none"));
}

}  // namespace
