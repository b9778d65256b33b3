#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/console_variable.h"
#include "core/timer.h"

class GLFont;
class GLConsole;

// Flag bits of a stored console line. Bit value 1 (output) is
// kConsoleLineOutput of core/log.h.
constexpr int kConsoleLineHistory = 2;     // an entered line; GetHistory walks these
constexpr int kConsoleLineHidden = 4;      // not drawn, takes no row
constexpr int kConsoleLineHighlight = 8;   // drawn in highlightColor (wins over 16)
constexpr int kConsoleLineError = 16;      // drawn in errorColor

// Most lines the store keeps; the oldest is dropped first.
constexpr int kConsoleMaxLines = 100;
// Seconds the open slide takes.
constexpr double kConsoleSlideSeconds = 0.75;
// Pixels between the console's lower edge and the prompt's baseline.
constexpr int kConsolePromptLift = 8;
// Window x of every text line, in pixels.
constexpr int kConsoleTextX = 5;
// Longest piece that DrawString hands to the font at once; longer text is
// drawn in consecutive pieces of at most this many characters.
constexpr int kConsoleDrawChunk = 255;

// An RGBA colour, components 0..1. The console applies r, g and b only.
struct Color4 {
  Color4(float r, float g, float b, float a) : r(r), g(g), b(b), a(a) {}
  float r;
  float g;
  float b;
  float a;
};

// One stored line: its literal text and its flag bits (kConsoleLine...).
struct ConsoleLine {
  ConsoleLine(std::string text, int flags) : text(std::move(text)), flags(flags) {}
  std::string text;
  int flags;
};

// One piece of text that RenderText draws: the window pixel (x, y) of its
// baseline's start (y up from the bottom of the view, scrolling already
// applied), its colour and its literal characters.
struct ConsoleTextDraw {
  int x;
  int y;
  Color4 color;
  std::string text;
};

// The one console object of the application: null until the application
// creates it (g_console = new GLConsole(...)) and null again once
// DeleteConsole() has run. Other code only reads it.
extern GLConsole* g_console;

// Sets g_console to null first and then deletes the console it held (so
// nothing that runs during the destruction, such as a log line of the
// "cvar.ini" save, can reach the dying object through g_console). Does
// nothing when g_console is already null.
void DeleteConsole();

// Registers the built-in console commands ("help", "exit", ...) in the
// console variable registry (console/console_functions.h). The GLConsole
// constructor calls it last.
void RegisterConsoleFunctions();

// Draws `text` literally (no character is read as a format directive) at
// window pixel (x, y) with the font, in the current colour. Text longer than
// the font takes in one call is drawn in consecutive pieces, each starting
// where the previous one ended, so nothing is cut. Characters outside 32..127
// draw nothing. A null font draws nothing. Needs a current GL context when
// the font is not null.
void DrawString(GLFont* font, int x, int y, const std::string& text);

// The text before the first blank of `text` after its leading blanks are
// removed; "" for an empty or all-blank text. Only ' ' counts as a blank.
std::string FirstWord(const std::string& text);

// The drop-down text console drawn with OpenGL over the top of the 3-D view.
// It keeps the last kConsoleMaxLines lines of output and entered commands,
// newest first; opens and closes with a slide of kConsoleSlideSeconds; each
// frame draws a translucent panel with the prompt line, as many stored lines
// as fit and a blinking cursor. Line editing, history, Tab completion and the
// command parser live in console/console_parser.cpp.
//
// While a console exists the log helpers of core/log.h print into it with
// flag 1 (the constructor attaches it as the log sink, the destructor detaches
// it). GUI thread only.
//
// Everything except Render, RenderText, DrawString and the font works without
// an OpenGL context, so the console can be built and driven in tests.
class GLConsole {
 public:
  // `width` and `height` point at cells holding the view size in pixels;
  // when either is null the console allocates two cells of its own, filled
  // from the current GL viewport (0 x 0 without a current context). The
  // cells are overwritten with the viewport size by every Render. `fontSize`
  // is the font height in pixels (line pitch fontSize + 5); `overlay` the
  // default of "console.overlay", the fraction of the view height the open
  // console covers (a value already registered or restored from "cvar.ini"
  // wins). The font ("Courier New" at fontSize) is created only when a GL
  // context is current; otherwise there is none and nothing is drawn.
  // Prints "GLConsole: Restoring console variables", reads "cvar.ini"
  // (LoadCVars) and registers the console functions. The console is created
  // open, its slide starting now.
  GLConsole(int* width, int* height, int fontSize, float overlay);
  // Writes "cvar.ini" (SaveCVars) first, then detaches from the log and
  // frees the font and the cells it allocated. Deleting the font needs the
  // font's GL context current (without one its display lists are left to the
  // context's own destruction).
  ~GLConsole();
  GLConsole(const GLConsole&) = delete;
  GLConsole& operator=(const GLConsole&) = delete;

  // Drops the oldest line while kConsoleMaxLines or more are stored, then
  // stores (text, flags) as the newest. The text is kept literally; a null
  // text stores an empty line.
  void Print(const char* text, int flags);
  // As above for a text that may hold any byte, NUL included.
  void Print(const std::string& text, int flags);

  // Close() when open, else Open().
  void Toggle();
  // Opens and restarts the slide.
  void Open();
  // Closes (drawing stops at once) and restarts the slide.
  void Close();
  bool IsOpen() const { return open; }
  // The console's font, owned by the console; null without one.
  GLFont* GetFont() const { return font.get(); }

  // Pixels of the view height the console covers now: overlay x height,
  // grown linearly from 0 over the first kConsoleSlideSeconds after the last
  // Open/Close (the slide ends once more than that has elapsed).
  float GetConsoleHeight();
  // Cursor blink: on for the first 2/3 s of every 4/3 s period (the period
  // restarts on the first query after it has ended).
  bool IsCursorOn();

  // While open, scrolls the text up by `pixels` (older lines come into view);
  // scrollPixels stays within 0..INT_MAX. Nothing while closed.
  void ScrollUp(int pixels);
  // While open, scrolls back down by `pixels`, never below 0. Nothing while
  // closed.
  void ScrollDown(int pixels);

  // Draws the console over the current frame: reads the viewport into the
  // width and height cells, then draws the panel and RenderText. Nothing while
  // closed, and nothing but the cell update for an empty viewport. Without a
  // font the panel is drawn but no text. Needs a current GL context; the GL
  // state it changes is restored.
  void Render();
  // Draws the prompt and the stored lines (LayoutText) clipped to the
  // console area. Called by Render, with its projection set up.
  void RenderText();

  // The pieces RenderText draws when the console covers `consoleHeight`
  // pixels (truncated towards zero) of the view in the width and height
  // cells, with the cursor shown or not: first the prompt "] " + currentLine
  // + cursor in commandColor, then the stored lines newest first, each
  // wrapped into rows of (int)(width x 1.65 / fontSize) characters (at least
  // 1) and drawn with its last row lowest, one pitch (fontSize + 5) apart.
  // Hidden lines take no row. Pieces whose baseline lies more than one
  // fontSize above or below the view are left out (they cannot show). Needs
  // no GL context.
  std::vector<ConsoleTextDraw> LayoutText(float consoleHeight, bool cursorOn) const;

  // Line editing and commands (console/console_parser.cpp).

  // One key: '\r' runs the line (ProcessCommandLine) and clears it; '\t'
  // completes (TabComplete); '\b' removes the last character; 'A'..'Z' append
  // their lower-case letter; any other byte is appended as it is. Typing and
  // running also leave history browsing and reset the scroll. Works while
  // closed too.
  void KeyPress(char c);
  // Up arrow: the next older entered line (the typed line is saved when
  // browsing starts). Past the oldest entry the line stays while the index
  // keeps counting.
  void HistoryUp();
  // Down arrow: the next newer entered line, finally the saved typed line.
  void HistoryDown();
  // The n-th newest entered line (n >= 1); currentLine for n <= 0 or when
  // fewer than n entered lines are stored.
  std::string GetHistory(int n) const;
  // Tab: a unique completion replaces the line; several print the matching
  // variables (flag 1) and functions (flag 8) and extend the line to their
  // common prefix. Nothing for a complete name or a text no name begins with.
  void TabComplete();
  // Runs currentLine: a name alone reads a variable or calls a function;
  // "name = value" assigns the first word after "="; "function args..." calls
  // a function with the blank-separated words. Errors are lines with flag 16.
  // The line is stored first as a hidden history entry (flags 6). A console
  // function may end the process but must not delete the console and return.
  void ProcessCommandLine();
  // Calls the console function of `fn` with the words after the first blank
  // of currentLine (split at every blank; two blanks in a row give an empty
  // word, a trailing blank none) and prints "Function '<name>' Error: <text>"
  // with flag 16 when it returns a non-empty text. A record that is not a
  // function, or holds no handler, is reported the same way.
  void ExecuteFunction(CVarRecord* fn);

  ConsoleVariable<float> overlay;  // "console.overlay"
  bool open;
  bool animating;
  Timer slideTimer;
  Timer blinkTimer;
  int* width;   // view width cell, pixels
  int* height;  // view height cell, pixels
  int fontSize;
  std::unique_ptr<GLFont> font;
  Color4 textColor;
  Color4 commandColor;
  Color4 highlightColor;
  Color4 errorColor;
  int scrollPixels;  // >= 0
  std::string savedLine;
  int historyIndex;  // 0 = not browsing
  std::string currentLine;
  std::deque<ConsoleLine> lines;  // newest at the front

 private:
  // The cells allocated when the constructor got a null width or height.
  std::unique_ptr<int> ownedWidth_;
  std::unique_ptr<int> ownedHeight_;
};
