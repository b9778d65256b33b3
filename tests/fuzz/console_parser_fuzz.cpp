// Feeds arbitrary bytes to the console as key presses: '\r' runs the line,
// '\t' completes, '\b' deletes, and three otherwise unused bytes browse the
// history and scroll. The console is built once, without a GL context (so
// without a font), over a few variables and functions, and reset before every
// input so that each input runs from the same state. After the keys, the
// layout of the text is computed for a normal, a very narrow and an empty view.
#include <cstdint>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/log.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::Require;

const char* FuzzHelp(std::vector<std::string>* args) { return args->empty() ? "" : "this takes no parameters"; }

// Logs its words literally, like the built-in commands do.
const char* FuzzEcho(std::vector<std::string>* args) {
  for (const std::string& word : *args) ConsolePrintf("%s", word.c_str());
  return args->size() > 3 ? "100% %s %n too many" : "";
}

ConsoleVariable<float> g_farclip("gl.farclip", 50.0f), g_nearclip("gl.nearclip", 0.1f), g_step("player.StepSize", 2.5f);
ConsoleVariable<int> g_fps("stats.fps", 1);
// Registered before the console registers its commands, so "exit" and "quit"
// do not end the fuzzer. The other commands run as they are, in an empty world.
ConsoleVariable<ConsoleFunction> g_help("help", FuzzHelp), g_echo("character.echo", FuzzEcho),
    g_none("character.none", nullptr), g_exit("exit", FuzzHelp), g_quit("quit", FuzzHelp);

// Only pieces within a font height of a view of width x height are listed.
void fuzz_CheckLayout(GLConsole& console, int width, int height) {
  int* const saved[2] = {console.width, console.height};
  console.width = &width;
  console.height = &height;
  for (const ConsoleTextDraw& draw : console.LayoutText(height * 0.75f, true)) {
    Require(draw.y >= -12 && draw.y <= height + 12, "piece far outside the view");
  }
  console.width = saved[0];
  console.height = saved[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int width = 640, height = 480;
  // Never deleted: deleting would write "cvar.ini" on every run.
  static GLConsole& console = *new GLConsole(&width, &height, 12, 0.75f);
  console.lines.clear();
  console.currentLine.clear();
  console.savedLine.clear();
  console.historyIndex = console.scrollPixels = 0;
  console.open = true;
  console.overlay = 0.75f;
  g_farclip = 50.0f;
  g_nearclip = 0.1f;
  g_step = 2.5f;
  g_fps = 1;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    const std::string before = console.currentLine;
    if (data[i] == 1 || data[i] == 2 || data[i] == 3) {
      data[i] == 1 ? console.HistoryUp() : data[i] == 2 ? console.HistoryDown() : console.ScrollUp(40);
      continue;
    }
    console.KeyPress(c);
    Require(console.lines.size() <= static_cast<size_t>(kConsoleMaxLines), "store overflow");
    const std::string& line = console.currentLine;
    if (c == '\r') {
      Require(line.empty() && console.historyIndex == 0 && console.scrollPixels == 0, "an entered line was not cleared");
    } else if (c == '\t') {
      Require(line.compare(0, before.size(), before) == 0, "completion did not extend the line");
    } else if (c == '\b') {
      Require(line == before.substr(0, before.empty() ? 0 : before.size() - 1), "backspace");
    } else {
      Require(line == before + static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c), "typed key");
      Require(console.historyIndex == 0 && console.scrollPixels == 0, "typing kept browsing");
    }
  }
  // Down as often as Up was pressed brings the typed line back.
  if (console.historyIndex > 0 && console.historyIndex < 100000) {
    while (console.historyIndex > 0) console.HistoryDown();
    Require(console.currentLine == console.savedLine, "history did not return to the saved line");
  }
  fuzz_CheckLayout(console, 640, 480);
  fuzz_CheckLayout(console, 1, 480);  // narrower than one character
  fuzz_CheckLayout(console, 640, 0);  // an empty view
  fuzz_CheckLayout(console, 4000, 300);  // rows longer than the font draws at once
  return 0;
}
