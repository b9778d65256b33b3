#include "core/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

// What was made from a source may no longer match it when the source was
// modified after it, or replaced by a file that carries an older time (as
// "cp -p" leaves one): its status time tells.
TEST(RegularFile, ChangedSinceSeesNewerAndReplacedSources) {
  for (const char* file : {"made", "source"}) testing_support::WriteFile(file, "");
  const timespec made[2] = {{2000, 0}, {2000, 0}}, older[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "made", made, 0), 0);
  // Set back after "made": modified earlier, but changed (its times set) now.
  ASSERT_EQ(utimensat(AT_FDCWD, "source", older, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "source"));
  EXPECT_FALSE(ModifiedBefore("made", "source"));
  // Made now, after the source's last change; a missing file is no reason.
  testing_support::WriteFile("made", "");
  EXPECT_FALSE(ChangedSince("made", "source") || ChangedSince("made", "none") || ChangedSince("none", "source"));
  const timespec later[2] = {{UTIME_OMIT, 0}, {4000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "source", later, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "source"));
}

// Only temporary files of our own targets whose writer is gone are removed.
TEST(RegularFile, AbandonedTemporaryFilesOfDeadWritersAreRemoved) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), self = std::to_string(getpid());
  ASSERT_TRUE(std::filesystem::create_directory("sub"));
  const std::pair<std::string, bool> files[] = {
      {"sub/walk_graph.gra.tmp" + dead + "_0", true},  {"sub/cvar.ini.tmp" + dead + "_12", true},
      {"sub/walk.bin.tmp" + dead + "_1", true},        {"sub/walk.mpos.tmp" + dead + "_2", true},
      {"sub/walk_graph.gra.tmp" + self + "_3", false},  // this process may still write it
      {"sub/walk_graph.gra.tmp1_4", false},             // a process that runs
      {"sub/notes.txt.tmp" + dead + "_0", false},       // not ours
      {"sub/walk.gra.tmp" + dead + "_x", false},        {"sub/walk.gra.tmp" + dead, false},
      {"sub/.gra.tmp" + dead + "_0", false},
  };
  for (const auto& [file, removed] : files) testing_support::WriteFile(file, "x");
  ASSERT_EQ(mkdir(("sub/dir.gra.tmp" + dead + "_5").c_str(), 0777), 0);
  ASSERT_EQ(symlink("../victim", ("sub/link.bin.tmp" + dead + "_6").c_str()), 0);
  testing_support::WriteFile("victim", "x");
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("sub/"), 4);
  for (const auto& [file, removed] : files) EXPECT_EQ(std::filesystem::exists(file), !removed) << file;
  EXPECT_TRUE(std::filesystem::exists("sub/dir.gra.tmp" + dead + "_5") && std::filesystem::exists("victim") &&
              std::filesystem::is_symlink("sub/link.bin.tmp" + dead + "_6"));
}

}  // namespace
