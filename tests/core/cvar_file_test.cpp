#include "core/cvar_file.h"

#include <gtest/gtest.h>

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

TEST(CVarFile, BadLinesArePassedOverAndSoundOnesLoad) {
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  const std::string longWord(300, 'n');
  const std::string text =
      "1 ok.int 5\r\n"
      "7 skip.seven 3\n"
      "2\nok.float\n\n  2.5\n"
      "1 " +
      longWord +
      " 4\n"
      "1 long.value " +
      std::string(300, '9') + "\n" + longWord +
      " long.tag 1\n"
      "2 bad.float abc\n"
      "1 gl.farclip 80\r\n"
      "\t-1 negative.tag 1\n"
      "+1 ok.after 7";  // no final line end
  EXPECT_EQ(Load(text), 4);
  EXPECT_EQ(CVarGet("ok.int")->cell.i, 5);
  EXPECT_EQ(CVarGet("ok.float")->cell.f, 2.5f);
  EXPECT_EQ(static_cast<float>(farclip), 80.0f);
  EXPECT_EQ(CVarGet("ok.after")->cell.i, 7);
  for (const std::string& name : {"skip.seven"s, longWord, "long.value"s, "long.tag"s,
                                  "negative.tag"s, longWord.substr(0, 255)}) {
    EXPECT_FALSE(CVarExists(name)) << name;
  }
  ASSERT_NE(CVarGet("bad.float"), nullptr);
  EXPECT_EQ(CVarGet("bad.float")->cell.type, kCVarFloat);
  EXPECT_EQ(CVarGet("bad.float")->cell.f, 0.0f);

  // Each text loads "<prefix>.one" and nothing after the pass that fails.
  for (const std::string& bad :
       {"1 c.one 1\nxyz c.two 2\n1 c.three 3\n"s, "1 d.one 1\n99999999999 d.two 2\n1 d.three 3\n"s,
        "1 e.one 1\n\0 e.two 2\n1 e.three 3\n"s, "1 f.one 1\n1 f.two"s}) {
    const std::string prefix = bad.substr(2, 1);
    EXPECT_EQ(Load(bad), 1) << bad;
    EXPECT_TRUE(CVarExists(prefix + ".one")) << bad;
    EXPECT_FALSE(CVarExists(prefix + ".two")) << bad;
    EXPECT_FALSE(CVarExists(prefix + ".three")) << bad;
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
  EXPECT_FALSE(std::filesystem::exists(dir.File("cvar.ini.tmp")));

  // A failed save keeps the previous file.
  height = 9;
  const size_t logged = ReadFile(dir.File("log.txt")).size();
  std::filesystem::create_directory(dir.File("cvar.ini.tmp"));
  EXPECT_FALSE(SaveCVars());
  EXPECT_EQ(ReadFile(dir.File("cvar.ini")), saved);
  EXPECT_NE(ReadFile(dir.File("log.txt")).find("SaveCVars: ", logged), std::string::npos);
}

}  // namespace
