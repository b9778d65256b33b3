// gl_visual <window id>
//
// Prints the OpenGL buffers of an X window's visual, as GLX describes them:
// one line "depth <bits> double <0|1> rgba <0|1>". The window is named by its
// id in decimal or hex ("0x..."), as xwininfo and xdotool give it; a GL
// canvas's window has the visual of the pixel format that its program chose.
//
// Exit status: 0 when printed, 1 when the window or its visual has no GL
// description, 2 on a wrong command line or without a display.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

namespace {

int visual_IgnoreXError(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gl_visual <window id>\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long id = std::strtoul(argv[1], &end, 0);
  if (end == argv[1] || *end != '\0') {
    std::fprintf(stderr, "gl_visual: '%s' is no window id\n", argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "gl_visual: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(visual_IgnoreXError);
  int status = 1;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, static_cast<Window>(id), &attributes) != 0) {
    XVisualInfo wanted;
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    int gl = 0, depth = 0, doubled = 0, rgba = 0;
    if (info != nullptr && count > 0 && glXGetConfig(display, info, GLX_USE_GL, &gl) == 0 && gl != 0 &&
        glXGetConfig(display, info, GLX_DEPTH_SIZE, &depth) == 0 &&
        glXGetConfig(display, info, GLX_DOUBLEBUFFER, &doubled) == 0 &&
        glXGetConfig(display, info, GLX_RGBA, &rgba) == 0) {
      std::printf("depth %d double %d rgba %d\n", depth, doubled, rgba);
      status = 0;
    }
    if (info != nullptr) XFree(info);
  }
  if (status != 0) std::fprintf(stderr, "gl_visual: window %s has no GL visual\n", argv[1]);
  XCloseDisplay(display);
  return status;
}
