// Feeds arbitrary bytes to the console as key presses: '\r' runs the line,
// '\t' completes, '\b' deletes, and two otherwise unused bytes browse the
// history. The console is built once, without a GL context (so without a
// font), over a few variables and functions, and reset before every input so
// that each input runs from the same state. After the keys, the layout of
// the text is computed for a normal, a very narrow and an empty view.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/log.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr uint8_t kFuzzHistoryUp = 0x01;
constexpr uint8_t kFuzzHistoryDown = 0x02;
constexpr uint8_t kFuzzScrollUp = 0x03;

const char* FuzzHelp(std::vector<std::string>* args) {
  return args->empty() ? "" : "this takes no parameters";
}

// Logs its words literally, like the built-in commands do.
const char* FuzzEcho(std::vector<std::string>* args) {
  for (const std::string& word : *args) ConsolePrintf("%s", word.c_str());
  return args->size() > 3 ? "100% %s %n too many" : "";
}

ConsoleVariable<float> g_farclip("gl.farclip", 50.0f);
ConsoleVariable<float> g_nearclip("gl.nearclip", 0.1f);
ConsoleVariable<int> g_fps("stats.fps", 1);
ConsoleVariable<float> g_step("player.StepSize", 2.5f);
ConsoleVariable<ConsoleFunction> g_help("help", FuzzHelp);
ConsoleVariable<ConsoleFunction> g_echo("character.echo", FuzzEcho);
ConsoleVariable<ConsoleFunction> g_none("character.none", nullptr);
// Registered before the console registers its commands, so these win: the
// real "exit" and "quit" would end the fuzzer. The other commands run as
// they are, in an empty world.
ConsoleVariable<ConsoleFunction> g_exit("exit", FuzzHelp);
ConsoleVariable<ConsoleFunction> g_quit("quit", FuzzHelp);

using fuzz_support::Require;

GLConsole& fuzz_Console() {
  static int width = 640;
  static int height = 480;
  // Never deleted: deleting would write "cvar.ini" on every run.
  static GLConsole* console = new GLConsole(&width, &height, 12, 0.75f);
  return *console;
}

void fuzz_Reset(GLConsole& console) {
  console.lines.clear();
  console.currentLine.clear();
  console.savedLine.clear();
  console.historyIndex = 0;
  console.scrollPixels = 0;
  console.open = true;
  g_farclip = 50.0f;
  g_nearclip = 0.1f;
  g_fps = 1;
  g_step = 2.5f;
  console.overlay = 0.75f;
}

void fuzz_CheckLayout(GLConsole& console, int width, int height, float consoleHeight) {
  int* savedWidth = console.width;
  int* savedHeight = console.height;
  console.width = &width;
  console.height = &height;
  const std::vector<ConsoleTextDraw> draws = console.LayoutText(consoleHeight, true);
  console.width = savedWidth;
  console.height = savedHeight;
  for (const ConsoleTextDraw& draw : draws) {
    // Only pieces within a font height of the view are listed.
    Require(draw.y >= -12 && draw.y <= height + 12, "piece far outside the view");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GLConsole& console = fuzz_Console();
  fuzz_Reset(console);
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    // Only Tab needs the whole previous line; the other keys its length.
    const std::string before = c == '\t' ? console.currentLine : std::string();
    const size_t beforeSize = console.currentLine.size();
    switch (data[i]) {
      case kFuzzHistoryUp:
        console.HistoryUp();
        continue;
      case kFuzzHistoryDown:
        console.HistoryDown();
        continue;
      case kFuzzScrollUp:
        console.ScrollUp(40);
        continue;
      default:
        console.KeyPress(c);
        break;
    }
    Require(console.lines.size() <= static_cast<size_t>(kConsoleMaxLines), "store overflow");
    const std::string& line = console.currentLine;
    if (c == '\r') {
      Require(line.empty() && console.historyIndex == 0 && console.scrollPixels == 0,
              "an entered line was not cleared");
    } else if (c == '\t') {
      Require(line.compare(0, before.size(), before) == 0, "completion did not extend the line");
    } else if (c == '\b') {
      Require(line.size() + (beforeSize == 0 ? 0 : 1) == beforeSize, "backspace");
    } else {
      const char typed = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      Require(line.size() == beforeSize + 1 && line.back() == typed, "typed key");
      Require(console.historyIndex == 0 && console.scrollPixels == 0, "typing kept browsing");
    }
  }
  // Down as often as Up was pressed brings the typed line back.
  if (console.historyIndex > 0 && console.historyIndex < 100000) {
    while (console.historyIndex > 0) console.HistoryDown();
    Require(console.currentLine == console.savedLine, "history did not return to the saved line");
  }

  fuzz_CheckLayout(console, 640, 480, 360.0f);
  fuzz_CheckLayout(console, 1, 480, 360.0f);  // narrower than one character
  fuzz_CheckLayout(console, 640, 0, 0.0f);    // an empty view
  fuzz_CheckLayout(console, 4000, 300, 225.0f);
  return 0;
}
