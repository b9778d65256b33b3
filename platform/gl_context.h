#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// An OpenGL context with an off-screen RGBA + depth surface on the X display
// named by $DISPLAY (a real one or Xvfb), through GLX. For tests and tools
// that draw without a window. Not copyable; releases everything on
// destruction.
class OffscreenGLContext {
 public:
  OffscreenGLContext() = default;
  ~OffscreenGLContext();
  OffscreenGLContext(const OffscreenGLContext&) = delete;
  OffscreenGLContext& operator=(const OffscreenGLContext&) = delete;

  // Opens the display and creates a width x height surface and a context,
  // and makes it current. False, with error() saying why, when there is no
  // display or GLX cannot provide one.
  bool Create(int width, int height);
  bool MakeCurrent();
  const std::string& error() const { return error_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The surface's pixels as RGB bytes, rows from the top; glFinish first.
  std::vector<uint8_t> ReadRgb() const;
  // Writes ReadRgb() as a binary PPM image.
  bool SavePpm(const std::string& path) const;

 private:
  void* display_ = nullptr;   // Display*
  unsigned long pbuffer_ = 0;  // GLXPbuffer
  void* context_ = nullptr;   // GLXContext
  int width_ = 0;
  int height_ = 0;
  std::string error_;
};

}  // namespace platform
