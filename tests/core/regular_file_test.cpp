#include "core/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

// A cache written in the same second as its source but earlier counts as
// older: the nanoseconds decide. The times lie ahead of the files' status
// times (now), which would otherwise count as changes.
TEST(RegularFile, ChangedSinceComparesToTheNanosecond) {
  for (const char* file : {"early", "late"}) testing_support::WriteFile(file, "");
  const time_t ahead = time(nullptr) + 1000;
  const timespec early[2] = {{ahead, 500}, {ahead, 500}}, late[2] = {{ahead, 501}, {ahead, 501}};
  ASSERT_EQ(utimensat(AT_FDCWD, "early", early, 0) + utimensat(AT_FDCWD, "late", late, 0), 0);
  EXPECT_TRUE(ChangedSince("early", "late"));
  EXPECT_FALSE(ChangedSince("late", "early") || ChangedSince("early", "early") || ChangedSince("early", "none"));
}

// Only temporary files of our own targets whose writer is gone are removed.
TEST(RegularFile, AbandonedTemporaryFilesOfDeadWritersAreRemoved) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), self = std::to_string(getpid());
  const std::pair<std::string, bool> files[] = {
      {"walk_graph.gra.tmp" + dead + "_0", true}, {"cvar.ini.tmp" + dead + "_12", true},
      {"walk.mpos.tmp" + dead + "_2", true},      {"walk.gra.tmp" + self + "_3", false},  // writers that run
      {"walk.gra.tmp1_4", false},                 {"notes.txt.tmp" + dead + "_0", false}};
  for (const auto& [file, removed] : files) testing_support::WriteFile(file, "x");
  ASSERT_EQ(symlink("victim", ("link.bin.tmp" + dead + "_6").c_str()), 0);
  testing_support::WriteFile("victim", "x");
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 3);
  for (const auto& [file, removed] : files) EXPECT_EQ(std::filesystem::exists(file), !removed) << file;
  EXPECT_TRUE(std::filesystem::exists("victim") && std::filesystem::is_symlink("link.bin.tmp" + dead + "_6"));
}

}  // namespace
