#include "console/gl_console.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "core/cvar_file.h"
#include "core/log.h"
#include "platform/gl_proc.h"
#include "render/gl_font.h"

GLConsole* g_console = nullptr;

namespace {

// The console that receives the log helpers' lines while it exists.
GLConsole* g_logConsole = nullptr;

void console_LogSink(const char* text, int flags) {
  if (g_logConsole != nullptr) g_logConsole->Print(text, flags);
}

// A pixel count from float arithmetic, truncated towards zero; NaN gives 0
// and huge values are held within +-2^30 so later sums cannot overflow.
int console_ToPixel(double value) {
  if (!(value == value)) return 0;
  const double limit = 1073741824.0;
  return static_cast<int>(std::max(-limit, std::min(limit, value)));
}

// The current raster position's window x, or false when it is invalid.
bool console_RasterX(float* x) {
  GLint valid = GL_FALSE;
  glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  if (valid == GL_FALSE) return false;
  GLfloat position[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  *x = position[0];
  return true;
}

}  // namespace

void DeleteConsole() {
  GLConsole* console = g_console;
  g_console = nullptr;
  delete console;
}

void DrawString(GLFont* font, int x, int y, const std::string& text) {
  if (font == nullptr) return;
  const size_t chunk = kConsoleDrawChunk;
  if (text.size() <= chunk) {
    font->PrintText(x, y, text);
    return;
  }
  // Longer text goes in pieces, each starting where the bitmaps of the
  // previous one left the raster position. An empty piece first shows where
  // the font puts the raster position for (x, y), so the window pixel of the
  // next piece is found whatever the font's pixel convention.
  font->PrintText(x, y, std::string());
  float startRaster = 0.0f;
  if (!console_RasterX(&startRaster)) return;
  const float offset = static_cast<float>(x) - startRaster;
  int penX = x;
  for (size_t start = 0; start < text.size(); start += chunk) {
    font->PrintText(penX, y, text.substr(start, chunk));
    float endRaster = 0.0f;
    if (!console_RasterX(&endRaster)) return;
    penX = console_ToPixel(std::floor(endRaster + offset + 0.5f));
  }
}

std::string FirstWord(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::string();
  const size_t end = text.find(' ', begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

GLConsole::GLConsole(int* width, int* height, int fontSize, float overlay)
    : overlay(),
      open(true),
      animating(true),
      width(width),
      height(height),
      fontSize(fontSize),
      textColor(1, 1, 1, 1),
      commandColor(1, 1, 1, 1),
      highlightColor(1, 1, 1, 1),
      errorColor(1, 1, 1, 1),
      scrollPixels(0),
      historyIndex(0) {
  if (this->width == nullptr || this->height == nullptr) {
    GLint viewport[4] = {0, 0, 0, 0};
    if (platform::HasCurrentGLContext()) glGetIntegerv(GL_VIEWPORT, viewport);
    ownedWidth_ = std::make_unique<int>(viewport[2]);
    ownedHeight_ = std::make_unique<int>(viewport[3]);
    this->width = ownedWidth_.get();
    this->height = ownedHeight_.get();
  }
  this->overlay.Register("console.overlay", overlay);
  slideTimer.Reset();
  blinkTimer.Reset();
  if (platform::HasCurrentGLContext()) font = std::make_unique<GLFont>("Courier New", fontSize);
  textColor = Color4(1.0f, 1.0f, 0.25f, 1.0f);
  commandColor = Color4(1.0f, 1.0f, 1.0f, 1.0f);
  highlightColor = Color4(0.25f, 1.0f, 0.25f, 1.0f);
  errorColor = Color4(1.0f, 0.5f, 0.25f, 1.0f);
  g_logConsole = this;
  SetLogConsoleSink(console_LogSink);
  Print("GLConsole: Restoring console variables", kConsoleLineOutput);
  LoadCVars();
  RegisterConsoleFunctions();
}

GLConsole::~GLConsole() {
  // Whoever deletes the console without DeleteConsole still leaves no
  // dangling global behind for the save's log lines.
  if (g_console == this) g_console = nullptr;
  SaveCVars();
  if (g_logConsole == this) {
    SetLogConsoleSink(nullptr);
    g_logConsole = nullptr;
  }
  font.reset();
}

void GLConsole::Print(const char* text, int flags) {
  Print(std::string(text != nullptr ? text : ""), flags);
}

void GLConsole::Print(const std::string& text, int flags) {
  while (lines.size() >= static_cast<size_t>(kConsoleMaxLines)) lines.pop_back();
  lines.emplace_front(text, flags);
}

void GLConsole::Toggle() {
  if (open) {
    Close();
  } else {
    Open();
  }
}

void GLConsole::Open() {
  open = true;
  animating = true;
  slideTimer.Reset();
}

void GLConsole::Close() {
  open = false;
  animating = true;
  slideTimer.Reset();
}

float GLConsole::GetConsoleHeight() {
  float h = static_cast<float>(*height);
  const double elapsed = slideTimer.GetTimeSinceReset();
  if (elapsed > kConsoleSlideSeconds) animating = false;
  if (animating) h = static_cast<float>(elapsed / kConsoleSlideSeconds * h);
  return overlay * h;
}

bool GLConsole::IsCursorOn() {
  const double t = blinkTimer.GetTimeSinceReset();
  if (t > 4.0 / 3.0) {
    blinkTimer.Reset();
    return true;
  }
  return t <= 2.0 / 3.0;
}

void GLConsole::ScrollUp(int pixels) {
  if (!open) return;
  const int64_t scrolled = static_cast<int64_t>(scrollPixels) + pixels;
  scrollPixels = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(INT_MAX, scrolled)));
}

void GLConsole::ScrollDown(int pixels) {
  if (!open) return;
  const int64_t scrolled = static_cast<int64_t>(scrollPixels) - pixels;
  scrollPixels = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(INT_MAX, scrolled)));
}

std::vector<ConsoleTextDraw> GLConsole::LayoutText(float consoleHeight, bool cursorOn) const {
  std::vector<ConsoleTextDraw> draws;
  const int64_t viewWidth = *width;
  const int64_t viewHeight = *height;
  // A font height below one pixel would divide by zero; such a console lays
  // out as if its rows were one pixel high.
  const int64_t rowDivisor = std::max(fontSize, 1);
  const int64_t pitch = static_cast<int64_t>(fontSize) + 5;
  const int64_t scroll = scrollPixels;
  const int64_t consolePixels = console_ToPixel(consoleHeight);
  // Pieces whose baseline lies this far outside the view cannot show;
  // leaving them out keeps a huge line in a narrow view cheap.
  const int64_t margin = rowDivisor;
  auto visible = [&](int64_t y) {
    const int64_t drawY = y - scroll;
    return drawY >= -margin && drawY <= viewHeight + margin;
  };
  auto add = [&](int64_t y, const Color4& color, std::string text) {
    draws.push_back(ConsoleTextDraw{kConsoleTextX, static_cast<int>(y - scroll), color, std::move(text)});
  };

  int64_t rows = consolePixels / rowDivisor + scroll / rowDivisor;
  int64_t y = viewHeight - 1 - consolePixels + kConsolePromptLift;
  if (visible(y)) add(y, commandColor, "] " + currentLine + (cursorOn ? '_' : ' '));
  y += pitch;

  // A view narrower than one character still wraps, one character per row.
  const int64_t perRow = std::max<int64_t>(
      1, console_ToPixel(static_cast<double>(viewWidth) * 1.65 / static_cast<double>(rowDivisor)));
  for (int64_t i = 1; i < rows; ++i) {
    if (static_cast<int64_t>(lines.size()) <= i - 1) break;
    const ConsoleLine& line = lines[static_cast<size_t>(i - 1)];
    if (line.flags & kConsoleLineHidden) {
      rows += 1;
      continue;
    }
    const Color4& color = (line.flags & kConsoleLineHighlight) ? highlightColor
                          : (line.flags & kConsoleLineError)   ? errorColor
                                                               : textColor;
    const int64_t length = static_cast<int64_t>(line.text.size());
    const int64_t pieces = length / perRow + 1;
    for (int64_t k = pieces - 1; k >= 0; --k) {
      if (k < pieces - 1) {
        rows -= 1;
        y += pitch;
      }
      if (!visible(y)) continue;
      add(y, color, line.text.substr(static_cast<size_t>(k * perRow), static_cast<size_t>(perRow)));
    }
    y += pitch;
  }
  return draws;
}

void GLConsole::Render() {
  if (!open) return;
  glPushAttrib(GL_SCISSOR_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT | GL_DEPTH_BUFFER_BIT |
               GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  *width = viewport[2];
  *height = viewport[3];
  // An empty view has nothing to draw on (and no valid projection).
  if (*width <= 0 || *height <= 0) {
    glPopAttrib();
    return;
  }
  const int w = *width;
  const int h = *height;

  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, w, 0.0, h, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, 0.0f);

  glScissor(1, console_ToPixel(static_cast<double>(h) - GetConsoleHeight()), w, h);
  glEnable(GL_SCISSOR_TEST);

  // Bound every frame so that a value set in the console shows at once.
  ConsoleVariable<float> blend("console.blend", 1.0f);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glColor4f(0.8f, 0.2f, 0.3f, blend);
  glNormal3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex2i(0, 0);
  glVertex2i(0, h - 1);
  glVertex2i(w - 1, h - 1);
  glVertex2i(w - 1, 0);
  glEnd();

  RenderText();

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();
}

void GLConsole::RenderText() {
  const float consoleHeight = GetConsoleHeight();
  const int consolePixels = console_ToPixel(consoleHeight);
  // A console lower than the prompt lift has no text area (a negative
  // scissor size would be refused by GL).
  glScissor(1, console_ToPixel(static_cast<double>(*height) - consoleHeight + 1.0), *width,
            std::max(0, consolePixels - kConsolePromptLift));
  glEnable(GL_SCISSOR_TEST);
  const bool cursorOn = IsCursorOn();
  for (const ConsoleTextDraw& draw : LayoutText(consoleHeight, cursorOn)) {
    // The font re-enables the depth test after each piece; the console is
    // drawn over the scene, whatever its depth.
    glDisable(GL_DEPTH_TEST);
    glColor3f(draw.color.r, draw.color.g, draw.color.b);
    DrawString(font.get(), draw.x, draw.y, draw.text);
  }
  glDisable(GL_SCISSOR_TEST);
}
