#include "core/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

// A file made from sources, one dated ahead of the clock (an archive from
// another time zone), is dated as that one, which keeps its time, and counts
// as no older than them. Touched again afterwards, at a later time or at the
// same one, the source has changed since.
TEST(RegularFile, AFileMadeFromASourceDatedAheadIsNoOlderThanIt) {
  for (const char* file : {"ahead", "behind", "tick"}) testing_support::WriteFile(file, "");
  const time_t tomorrow = time(nullptr) + 86400;
  const timespec ahead[2] = {{tomorrow, 7}, {tomorrow, 7}}, later[2] = {{tomorrow, 8}, {tomorrow, 8}};
  const timespec behind[2] = {{tomorrow - 2 * 86400, 0}, {tomorrow - 2 * 86400, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", ahead, 0) + utimensat(AT_FDCWD, "behind", behind, 0), 0);
  const auto make = [](std::vector<std::string> sources) {
    AtomicFile file("made");
    file.MadeFrom(std::move(sources));
    return file.Open() && file.Write("made") && file.Commit();
  };
  const auto after = [](const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
  };
  struct stat made = {}, source = {}, tick = {};
  ASSERT_TRUE(make({"behind", "missing", "ahead"}) && stat("made", &made) == 0 && stat("ahead", &source) == 0);
  EXPECT_TRUE(made.st_mtim.tv_sec == tomorrow && made.st_mtim.tv_nsec == 7 && source.st_mtim.tv_nsec == 7);
  EXPECT_FALSE(ChangedSince("made", "ahead") || ChangedSince("made", "behind"));
  // Once the file system's clock has passed the writing (waited for a
  // generous while).
  for (int wait = 0; wait < 60000 && !after(tick.st_ctim, made.st_ctim); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(utimensat(AT_FDCWD, "tick", nullptr, 0) + stat("tick", &tick), 0);
  }
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", ahead, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "ahead"));
  ASSERT_TRUE(make({"ahead"}));
  EXPECT_FALSE(ChangedSince("made", "ahead"));
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", later, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "ahead"));
}

// A process id that runs no more.
pid_t DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// Only temporary files of our own targets that no writer holds are removed,
// whatever process id they name: that of this process or of one that runs
// (here or in another pid namespace) says nothing of a writer.
TEST(RegularFile, AbandonedTemporaryFilesOfDeadWritersAreRemoved) {
  const std::string dead = std::to_string(DeadPid()), self = std::to_string(getpid());
  const std::pair<std::string, bool> files[] = {
      {"walk_graph.gra.tmp" + dead + "_0", true}, {"cvar.ini.tmp" + dead + "_12", true},
      {"walk.mpos.tmp" + dead + "_2", true},      {"walk.gra.tmp" + self + "_3", true},
      {"walk.gra.tmp1_4", true},                  {"notes.txt.tmp" + dead + "_0", false}};
  for (const auto& [file, removed] : files) testing_support::WriteFile(file, "x");
  ASSERT_EQ(symlink("victim", ("link.bin.tmp" + dead + "_6").c_str()), 0);
  testing_support::WriteFile("victim", "x");
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 5);
  for (const auto& [file, removed] : files) EXPECT_EQ(std::filesystem::exists(file), !removed) << file;
  EXPECT_TRUE(std::filesystem::exists("victim") && std::filesystem::is_symlink("link.bin.tmp" + dead + "_6"));
}

// A writer in another process whose temporary file names a process id that
// runs nowhere here (as one of another pid namespace, or of another host of
// a shared folder): its file stays while it writes, and goes once the writer
// has let go. So does the file of a writer in this process.
TEST(RegularFile, ATemporaryFileStaysWhileItsWriterHoldsIt) {
  const std::string held = "walk_graph.gra.tmp" + std::to_string(DeadPid()) + "_0";
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready) + pipe(go), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    // The writer's file, under the name it would have elsewhere.
    AtomicFile file("walk_graph.gra");
    if (!file.Open()) _exit(2);
    const std::string made = "walk_graph.gra.tmp" + std::to_string(getpid()) + "_";
    char renamed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      const bool ours = entry.path().filename().string().rfind(made, 0) == 0;
      renamed |= ours && std::rename(entry.path().c_str(), held.c_str()) == 0;
    }
    _exit(write(ready[1], &renamed, 1) == 1 && read(go[0], &renamed, 1) >= 0 ? 0 : 2);  // the lock goes
  }
  close(ready[1]);
  close(go[0]);
  char byte = 0;
  ASSERT_TRUE(read(ready[0], &byte, 1) == 1 && byte == 1) << "the writer could not make its file";
  AtomicFile mine("cvar.ini");
  ASSERT_TRUE(mine.Open());
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 0);
  EXPECT_TRUE(std::filesystem::exists(held));
  int status = -1;
  ASSERT_TRUE(write(go[1], &byte, 1) == 1 && waitpid(writer, &status, 0) == writer && status == 0);
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 1);
  EXPECT_FALSE(std::filesystem::exists(held));
  EXPECT_TRUE(mine.Write("x") && mine.Commit());
  for (int fd : {ready[0], go[1]}) close(fd);
}

}  // namespace
