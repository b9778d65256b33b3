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

// Waits (a generous while) until the file system's clock has passed the
// status time of `path`, so that a change made next is later than it.
bool StatusTimePassed(const std::string& path) {
  struct stat file;
  struct stat probe;
  if (stat(path.c_str(), &file) != 0) return false;
  testing_support::WriteFile("clock.probe", "");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (utimensat(AT_FDCWD, "clock.probe", nullptr, 0) != 0 || stat("clock.probe", &probe) != 0) return false;
    const timespec &a = probe.st_ctim, &b = file.st_ctim;
    if (a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

timespec ModificationTime(const char* path) {
  struct stat info = {};
  stat(path, &info);
  return info.st_mtim;
}

// A file made from a source dated ahead of the clock (an archive from another
// time zone) is dated as that source, which keeps its time, and so counts as
// no older than it. A source touched again afterwards, at a later time or at
// the same one, has changed since.
TEST(RegularFile, AFileMadeFromASourceDatedAheadIsNoOlderThanIt) {
  for (const char* file : {"ahead", "behind"}) testing_support::WriteFile(file, "");
  const time_t tomorrow = time(nullptr) + 86400;
  const timespec ahead[2] = {{tomorrow, 7}, {tomorrow, 7}}, later[2] = {{tomorrow, 8}, {tomorrow, 8}};
  const timespec behind[2] = {{tomorrow - 2 * 86400, 0}, {tomorrow - 2 * 86400, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", ahead, 0) + utimensat(AT_FDCWD, "behind", behind, 0), 0);
  const auto make = [](const char* target, std::vector<std::string> sources) {
    AtomicFile file(target);
    file.MadeFrom(std::move(sources));
    return file.Open() && file.Write("made") && file.Commit();
  };
  ASSERT_TRUE(make("made", {"behind", "missing", "ahead"}) && make("plain", {"behind"}));
  EXPECT_EQ(ModificationTime("made").tv_sec * 10 + ModificationTime("made").tv_nsec, tomorrow * 10 + 7);
  EXPECT_EQ(ModificationTime("ahead").tv_sec * 10 + ModificationTime("ahead").tv_nsec, tomorrow * 10 + 7);
  EXPECT_GT(ModificationTime("plain").tv_sec, tomorrow - 2 * 86400);  // written now
  EXPECT_FALSE(ChangedSince("made", "ahead") || ChangedSince("made", "behind"));
  ASSERT_TRUE(StatusTimePassed("made"));
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", ahead, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "ahead"));
  ASSERT_TRUE(make("made", {"ahead"}));
  EXPECT_FALSE(ChangedSince("made", "ahead"));
  ASSERT_EQ(utimensat(AT_FDCWD, "ahead", later, 0), 0);
  EXPECT_TRUE(ChangedSince("made", "ahead"));
}

// What replaces a file that its owner could not read can be read; the other
// permissions are kept.
TEST(RegularFile, AReplacementCanBeReadByItsOwner) {
  for (const auto& [mode, made] : {std::pair{0000, 0400}, std::pair{0640, 0640}, std::pair{0200, 0600}}) {
    testing_support::WriteFile("target", "old");
    ASSERT_EQ(chmod("target", static_cast<mode_t>(mode)), 0);
    AtomicFile file("target");
    ASSERT_TRUE(file.Open() && file.Write("new") && file.Commit());
    struct stat info = {};
    ASSERT_EQ(stat("target", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, static_cast<mode_t>(made)) << std::oct << mode;
  }
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
// does not run here (as one in another pid namespace, or on another host of
// a shared folder): its file stays while it writes, and goes once it has let
// go. So does the file of a writer in this process.
TEST(RegularFile, ATemporaryFileStaysWhileItsWriterHoldsIt) {
  const std::string held = "walk_graph.gra.tmp" + std::to_string(DeadPid()) + "_0";
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready) + pipe(go), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    // The writer's file, renamed to the name it would have elsewhere.
    AtomicFile file("walk_graph.gra");
    const std::string made = "walk_graph.gra.tmp" + std::to_string(getpid()) + "_";
    bool renamed = false;
    if (file.Open() && file.Write("partial")) {
      for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(made, 0) == 0) renamed = std::rename(name.c_str(), held.c_str()) == 0;
      }
    }
    char byte = renamed ? 1 : 0;
    if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) < 0) _exit(2);
    _exit(0);  // the lock goes with the process
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1) << "the writer could not make its file";
  AtomicFile mine("cvar.ini");
  ASSERT_TRUE(mine.Open());
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 0);
  EXPECT_TRUE(std::filesystem::exists(held));
  ASSERT_EQ(write(go[1], &byte, 1), 1);
  int status = -1;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RemoveAbandonedTemporaryFiles("."), 1);
  EXPECT_FALSE(std::filesystem::exists(held));
  EXPECT_TRUE(mine.Write("x") && mine.Commit());
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

}  // namespace
