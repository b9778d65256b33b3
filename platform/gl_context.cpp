#include "platform/gl_context.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

Display* gl_display(void* d) { return static_cast<Display*>(d); }

// GLX reports errors through Xlib's asynchronous handler; note them instead of
// letting the default handler end the process.
bool g_xError = false;
int gl_XErrorHandler(Display*, XErrorEvent*) {
  g_xError = true;
  return 0;
}

// Keeps every loaded Mesa DRI driver loaded for the rest of the process.
// Closing the display unloads the driver, and leak reports about its own
// allocations would then name no module that a suppression could match. Run
// before every close, also after a Create that failed half-way (GLX may have
// loaded the driver before it refused).
int gl_PinDriver(dl_phdr_info* info, size_t, void*) {
  const char* name = info->dlpi_name;
  if (name == nullptr) return 0;
  for (const char* part : {"_dri.so", "libGLX_mesa", "libgallium", "libglapi", "libLLVM"}) {
    if (std::strstr(name, part) != nullptr) {
      dlopen(name, RTLD_NOW | RTLD_NODELETE);
      break;
    }
  }
  return 0;
}

}  // namespace

OffscreenGLContext::~OffscreenGLContext() {
  Display* dpy = gl_display(display_);
  if (dpy == nullptr) return;
  if (glXGetCurrentContext() == static_cast<GLXContext>(context_)) glXMakeContextCurrent(dpy, 0, 0, nullptr);
  if (context_ != nullptr) glXDestroyContext(dpy, static_cast<GLXContext>(context_));
  if (pbuffer_ != 0) glXDestroyPbuffer(dpy, pbuffer_);
  dl_iterate_phdr(gl_PinDriver, nullptr);
  XCloseDisplay(dpy);
}

bool OffscreenGLContext::Create(int width, int height) {
  width_ = width;
  height_ = height;
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    error_ = "no X display (set DISPLAY, or run under xvfb-run)";
    return false;
  }
  display_ = dpy;
  const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT,
                            GLX_RED_SIZE,      8,               GLX_GREEN_SIZE,  8,
                            GLX_BLUE_SIZE,     8,               GLX_DOUBLEBUFFER, False,
                            GLX_DEPTH_SIZE,    24,              None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(dpy, DefaultScreen(dpy), attributes, &count);
  if (configs == nullptr || count == 0) {
    if (configs != nullptr) XFree(configs);
    error_ = "GLX offers no off-screen RGBA configuration with depth";
    return false;
  }
  const GLXFBConfig config = configs[0];
  XFree(configs);

  auto* previous = XSetErrorHandler(gl_XErrorHandler);
  g_xError = false;
  const int pbufferAttributes[] = {GLX_PBUFFER_WIDTH, width, GLX_PBUFFER_HEIGHT, height, None};
  pbuffer_ = glXCreatePbuffer(dpy, config, pbufferAttributes);
  context_ = glXCreateNewContext(dpy, config, GLX_RGBA_TYPE, nullptr, True);
  XSync(dpy, False);
  XSetErrorHandler(previous);
  if (g_xError || pbuffer_ == 0 || context_ == nullptr) {
    error_ = "GLX could not create the off-screen surface or context";
    return false;
  }
  return MakeCurrent();
}

bool OffscreenGLContext::MakeCurrent() {
  if (display_ == nullptr || context_ == nullptr) return false;
  if (!glXMakeContextCurrent(gl_display(display_), pbuffer_, pbuffer_,
                             static_cast<GLXContext>(context_))) {
    error_ = "glXMakeContextCurrent failed";
    return false;
  }
  glViewport(0, 0, width_, height_);
  return true;
}

std::vector<uint8_t> OffscreenGLContext::ReadRgb() const {
  std::vector<uint8_t> rows(static_cast<size_t>(width_) * height_ * 3);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_FRONT);
  std::vector<uint8_t> flipped(rows.size());
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
  const size_t stride = static_cast<size_t>(width_) * 3;
  for (int y = 0; y < height_; ++y) {
    std::copy(flipped.begin() + static_cast<long>((height_ - 1 - y) * stride),
              flipped.begin() + static_cast<long>((height_ - y) * stride),
              rows.begin() + static_cast<long>(y * stride));
  }
  return rows;
}

bool OffscreenGLContext::SavePpm(const std::string& path) const {
  const std::vector<uint8_t> rgb = ReadRgb();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
  const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace platform
