#include "core/cvar_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/console_variable.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

const char* NoOp(std::vector<std::string>*) { return ""; }

int Load(const std::string& text) {
  std::istringstream in(text);
  return LoadCVarsFrom(in);
}

// Values of int variables, and of float ones times 10, by name.
std::vector<int> Values(const std::vector<std::string>& names) {
  std::vector<int> values;
  for (const std::string& name : names) {
    const CVarRecord* record = CVarGet(name);
    values.push_back(record == nullptr                   ? -1
                     : record->cell.type == kCVarFloat ? static_cast<int>(record->cell.f * 10.0f)
                                                         : record->cell.i);
  }
  return values;
}

TEST(CVarFile, EntriesAreWordsWhateverLinesTheyStandOn) {
  ConsoleVariable<ConsoleFunction> help("help", NoOp);
  // Three words on three lines (and a blank one); two entries on one line;
  // a value that is no number; entries ended by bare carriage returns; tags
  // 5 and 7 passed over; a last line without a line end.
  const std::string text =
      "1 foo.a\n42\n1 foo.c 7 2 foo.d 1.5\n1 foo.e abc\n2\nsplit.float\n\n  2.5\n"
      "1 cr.a 1\r2 cr.b 2.5\r5 help 1\r7 skip.seven 3\r1 cr.c 3\r1 last.line 7";
  EXPECT_EQ(Load(text), 8);
  EXPECT_EQ(Values({"foo.a", "foo.c", "foo.d", "foo.e", "split.float", "cr.a", "cr.b", "cr.c", "last.line",
                    "skip.seven"}),
            std::vector<int>({42, 7, 15, 0, 25, 1, 25, 3, 7, -1}));
  EXPECT_EQ(CVarGet("help")->cell.fn, &NoOp);
  const std::string log = ReadFile("log.txt");
  EXPECT_NE(log.find("cvar.ini line 4: the value \"abc\" of \"foo.e\" is no number; it is registered with 0"),
            std::string::npos) << log;
  EXPECT_NE(log.find("cvar.ini line 12: type 7 of \"skip.seven\""), std::string::npos) << log;
}

TEST(CVarFile, AValueThatIsNoNumberKeepsADeclaredValueAndTheLineOfAnUndeclaredName) {
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  Load("2 gl.farclip abc\n2 only.in.file x\n2 declared.later abc\n1 declared.later.int 2.5x\n");
  // Declared after the load, it takes its own default, not the file's 0.
  ConsoleVariable<float> later("declared.later", 0.35f);
  ConsoleVariable<int> laterInt("declared.later.int", 9);
  EXPECT_EQ(std::make_tuple(static_cast<float>(farclip), static_cast<float>(later), static_cast<int>(laterInt)),
            std::make_tuple(50.0f, 0.35f, 2));
  std::ostringstream saved;
  ASSERT_TRUE(SaveCVarsTo(saved));
  EXPECT_NE(saved.str().find("\n2 only.in.file 0.000000\n"), std::string::npos) << saved.str();
}

TEST(CVarFile, EachBadEntryIsLoggedAndTheNextLineIsRead) {
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  ConsoleVariable<ConsoleFunction> help("help", NoOp);
  // Words of 255 characters load, of 256 do not.
  const std::string w255(255, 'w'), w256(256, 'n'), value255 = std::string(254, '0') + "9", value256 = "0" + value255;
  // Each is line 2 + 3 i of the text; the good line after it must still load.
  const std::vector<std::string> bad = {
      "# a comment",       "stray",         "7 skip.seven 3",    "1 " + w256 + " 4", "1 w256 " + value256,
      "1x tag.x 1 2 tag.y 3", "-1 negative.tag 1", "1 help 1",  "2 bad.float abc"};
  std::string text = "1 ok.int 5\r\n";
  for (size_t i = 0; i < bad.size(); ++i) text += bad[i] + "\n\n1 ok.after" + std::to_string(i) + " 7\n";
  text += "1 " + w255 + " 8\n1 w255 " + value255 + "\n2 gl.farclip 80\r\n+1 ok.last 1.5\n1 no.value";
  EXPECT_EQ(Load(text), static_cast<int>(bad.size()) + 5);
  EXPECT_EQ(Values({"ok.int", w255, "w255", "gl.farclip", "ok.last"}), std::vector<int>({5, 8, 9, 800, 1}));
  const std::string log = ReadFile("log.txt");
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(Values({"ok.after" + std::to_string(i)}), std::vector<int>({7})) << bad[i];
    EXPECT_NE(log.find("cvar.ini line " + std::to_string(2 + 3 * i) + ": "), std::string::npos) << bad[i];
  }
  EXPECT_EQ(log.find("line 3:"), std::string::npos);  // blank lines are no fault
  EXPECT_NE(log.find("line 23: \"help\" names a console command"), std::string::npos) << log;
  EXPECT_NE(log.find("line 33: the file ends within an entry"), std::string::npos) << log;
  for (const std::string& name : std::vector<std::string>{"skip.seven", w256, "w256", "tag.x", "tag.y", "negative.tag",
                                                          "no.value", "2"}) {
    EXPECT_FALSE(CVarExists(name)) << name;
  }
  EXPECT_TRUE(CVarExists("bad.float"));
}

TEST(CVarFile, LoadAndSaveTheFileInTheWorkingDirectory) {
  EXPECT_EQ(LoadCVars(), 0);  // no file: nothing, silently
  testing_support::WriteFile("cvar.ini", "2 gl.farclip 80.000000\n1 gl.width 800\n");
  EXPECT_EQ(LoadCVars(), 2);
  ConsoleVariable<float> farclip("gl.farclip", 50.0f);
  ConsoleVariable<int> height("gl.height", 480);
  // Left out: functions, and names that could not be read back as one word.
  ConsoleVariable<ConsoleFunction> help("help", NoOp);
  ConsoleVariable<int> spaced("two words", 1), empty("", 2);
  EXPECT_TRUE(SaveCVars());  // in the order of first insertion, not alphabetical
  EXPECT_EQ(ReadFile("cvar.ini"), "2 gl.farclip 80.000000\n1 gl.width 800\n1 gl.height 480\n");
  // Saved through a link into the file it names, keeping the link; a file
  // made read-only is left whole, silently, with nothing beside it.
  fs::create_directory("real");
  fs::rename("cvar.ini", "real/settings");
  fs::create_symlink("real/settings", "cvar.ini");
  height = 9;
  EXPECT_TRUE(SaveCVars() && fs::is_symlink("cvar.ini"));
  const std::string saved = ReadFile("real/settings"), logged = ReadFile("log.txt");
  EXPECT_EQ(saved, "2 gl.farclip 80.000000\n1 gl.width 800\n1 gl.height 9\n");
  fs::permissions("real/settings", fs::perms::owner_read);
  height = 10;
  EXPECT_FALSE(SaveCVars());
  EXPECT_EQ(ReadFile("real/settings") + ReadFile("log.txt"), saved + logged);
  EXPECT_EQ(fs::directory_iterator("real")->path().filename(), "settings");
}

TEST(CVarFile, AFileThatCannotBeReadIsLoggedAndNeverOverwritten) {
  ConsoleVariable<int> width("gl.width", 640);
  // A folder, a FIFO (which would block an open) and a link to itself.
  const fs::file_type kinds[] = {fs::file_type::directory, fs::file_type::fifo, fs::file_type::symlink};
  for (int kind = 0; kind < 3; ++kind) {
    fs::remove_all("cvar.ini");
    ASSERT_EQ(kind == 0 ? mkdir("cvar.ini", 0777) : kind == 1 ? mkfifo("cvar.ini", 0666) : symlink("cvar.ini", "cvar.ini"), 0);
    const size_t logged = ReadFile("log.txt").size();
    EXPECT_EQ(LoadCVars(), 0);
    EXPECT_FALSE(SaveCVars());
    EXPECT_EQ(fs::symlink_status("cvar.ini").type(), kinds[kind]);
    const std::string log = ReadFile("log.txt").substr(logged);
    EXPECT_NE(log.find("LoadCVars: cannot read \"cvar.ini\""), std::string::npos) << log;
    EXPECT_NE(log.find("SaveCVars: "), std::string::npos) << log;
  }
}

}  // namespace
