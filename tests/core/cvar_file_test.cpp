#include "core/cvar_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;
using namespace std::string_literals;

const char* NoOp(std::vector<std::string>*) { return ""; }

std::string Saved() {
  std::ostringstream out;
  EXPECT_TRUE(SaveCVarsTo(out));
  return out.str();
}

int Load(const std::string& text) {
  std::istringstream in(text);
  return LoadCVarsFrom(in);
}

TEST(CVarFile, WriteReadWriteIsByteIdentical) {
  // Values written under "a." are read back under "b.", names no code has
  // registered, as a fresh run would.
  const float floats[] = {0.1f, 0.1234567f, -3.25f, 1e-7f, 16.000001f, 3e38f, -0.0f};
  std::vector<ConsoleVariable<float>> keep;
  for (float value : floats) keep.emplace_back("a.f" + std::to_string(keep.size()), value);
  ConsoleVariable<int> big("a.i.max", INT_MAX);
  ConsoleVariable<int> small("a.i.min", INT_MIN);

  const std::string first = Saved();
  std::string renamed = first;
  for (size_t at = renamed.find(" a."); at != std::string::npos; at = renamed.find(" a.", at)) {
    renamed[at + 1] = 'b';
  }
  EXPECT_EQ(Load(renamed), static_cast<int>(keep.size()) + 2);
  EXPECT_EQ(Saved(), first + renamed);
  // A float is saved rounded to six decimals and reads back as that value.
  EXPECT_EQ(CVarGet("b.f1")->cell.f, 0.123457f);
}

TEST(CVarFile, EachBadLineIsLoggedAndTheNextLineIsRead) {
  ScopedWorkDir dir;
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  ConsoleVariable<ConsoleFunction> help("help", NoOp);
  const std::string longWord(300, 'n');
  // Line n + 1 of the text is bad; the good line after it must still load.
  const std::vector<std::string> bad = {
      "# a comment", "stray", "1 no.value", "2 gl.farclip", "7 skip.seven 3",
      "1 " + longWord + " 4", "1 long.value " + std::string(300, '9'), "2 bad.float abc",
      "1 too.many 1 2", "-1 negative.tag 1", "1 help 1", "1 big.int 99999999999"};
  std::string text = "1 ok.int 5\r\n";
  for (size_t i = 0; i < bad.size(); ++i) text += bad[i] + "\n\n1 ok.after" + std::to_string(i) + " 7\n";
  text += "2 gl.farclip 80\r\n+1 ok.last 1.5";  // no final line end; "1.5" reads as 1
  EXPECT_EQ(Load(text), static_cast<int>(bad.size()) + 3);
  EXPECT_EQ(CVarGet("ok.int")->cell.i, 5);
  EXPECT_EQ(static_cast<float>(farclip), 80.0f);
  EXPECT_EQ(CVarGet("ok.last")->cell.i, 1);
  const std::string log = ReadFile(dir.File("log.txt"));
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(CVarGet("ok.after" + std::to_string(i))->cell.i, 7) << bad[i];
    EXPECT_NE(log.find("cvar.ini line " + std::to_string(2 + 3 * i) + " is ignored"), std::string::npos)
        << bad[i];
  }
  EXPECT_EQ(log.find("line 3 "), std::string::npos);  // blank lines are no fault
  for (const std::string& name : {"no.value"s, "skip.seven"s, longWord, "long.value"s, "bad.float"s,
                                  "too.many"s, "negative.tag"s, "big.int"s, "2"s}) {
    EXPECT_FALSE(CVarExists(name)) << name;
  }
}

TEST(CVarFile, LoadAndSaveTheFileInTheWorkingDirectory) {
  ScopedWorkDir dir;
  EXPECT_EQ(LoadCVars(), 0);  // no file: nothing, silently
  WriteFile(dir.File("cvar.ini"), "2 gl.farclip 80.000000\n1 gl.width 800\n");
  EXPECT_EQ(LoadCVars(), 2);
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  ConsoleVariable<int> height("gl.height", 480);
  // Left out: functions, and names that could not be read back as one word.
  ConsoleVariable<ConsoleFunction> help("help", NoOp);
  ConsoleVariable<int> spaced("two words", 1);
  ConsoleVariable<int> empty("", 2);
  // Trie order: the order of first insertion, not alphabetical.
  EXPECT_TRUE(SaveCVars());
  const std::string saved = "2 gl.farclip 80.000000\n1 gl.width 800\n1 gl.height 480\n";
  EXPECT_EQ(ReadFile(dir.File("cvar.ini")), saved);

  // Saved through a link into the file it names, keeping the link.
  std::filesystem::create_directory(dir.File("real"));
  std::filesystem::rename(dir.File("cvar.ini"), dir.File("real/settings"));
  std::filesystem::create_symlink("real/settings", dir.File("cvar.ini"));
  height = 9;
  EXPECT_TRUE(SaveCVars());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("cvar.ini")));
  const std::string nine = "2 gl.farclip 80.000000\n1 gl.width 800\n1 gl.height 9\n";
  EXPECT_EQ(ReadFile(dir.File("real/settings")), nine);

  // A file made read-only is left whole, silently.
  const size_t logged = ReadFile(dir.File("log.txt")).size();
  std::filesystem::permissions(dir.File("real/settings"), std::filesystem::perms::owner_read);
  height = 10;
  EXPECT_FALSE(SaveCVars());
  EXPECT_EQ(ReadFile(dir.File("real/settings")), nine);
  EXPECT_EQ(ReadFile(dir.File("log.txt")).size(), logged);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.File("real"))->path().filename(), "settings");
}

TEST(CVarFile, AFileThatCannotBeReadIsLoggedAndNeverOverwritten) {
  ScopedWorkDir dir;
  ConsoleVariable<int> width("gl.width", 640);
  for (const bool fifo : {false, true}) {
    std::filesystem::remove_all(dir.File("cvar.ini"));
    if (fifo) {
      ASSERT_EQ(mkfifo(dir.File("cvar.ini").c_str(), 0666), 0);  // would block an open
    } else {
      std::filesystem::create_directory(dir.File("cvar.ini"));
    }
    const size_t logged = ReadFile(dir.File("log.txt")).size();
    EXPECT_EQ(LoadCVars(), 0);
    EXPECT_FALSE(SaveCVars());
    EXPECT_EQ(std::filesystem::is_fifo(dir.File("cvar.ini")), fifo);
    const std::string log = ReadFile(dir.File("log.txt")).substr(logged);
    EXPECT_NE(log.find("LoadCVars: cannot read \"cvar.ini\""), std::string::npos) << log;
    EXPECT_NE(log.find("SaveCVars: "), std::string::npos) << log;
  }
}

}  // namespace
