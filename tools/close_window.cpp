// close_window <title>
//
// Asks every top-level window titled <title> on the X display named by
// $DISPLAY to close, the way a window manager does when the user clicks the
// close box: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. The
// program then runs its own orderly shutdown. Meant for X servers without a
// window manager (Xvfb in the tests), where nothing else can ask politely.
//
// The title is matched exactly against _NET_WM_NAME (UTF-8) or WM_NAME; only
// windows that take WM_DELETE_WINDOW are asked. Prints the id of each window
// asked, in hex.
//
// Exit status: 0 when at least one window was asked, 1 when no such window
// exists, 2 on a wrong command line or without a display.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Windows may vanish while the tree is walked; their errors are not ours.
int close_IgnoreXError(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// The window's title: _NET_WM_NAME when set, else WM_NAME; "" for none.
std::string close_Title(Display* display, Window window) {
  std::string title;
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (type == utf8 && format == 8) title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (!title.empty()) return title;
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

bool close_TakesDelete(Display* display, Window window, Atom deleteWindow) {
  Atom* protocols = nullptr;
  int count = 0;
  bool takes = false;
  if (XGetWMProtocols(display, window, &protocols, &count) != 0) {
    for (int i = 0; i < count; ++i) takes = takes || protocols[i] == deleteWindow;
    XFree(protocols);
  }
  return takes;
}

// Depth-first over the whole tree below `window`.
void close_Collect(Display* display, Window window, std::vector<Window>* out) {
  out->push_back(window);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return;
  for (unsigned int i = 0; i < count; ++i) close_Collect(display, children[i], out);
  if (children != nullptr) XFree(children);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: close_window <window title>\n");
    return 2;
  }
  const std::string wanted = argv[1];
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "close_window: cannot open the X display\n");
    return 2;
  }
  XSetErrorHandler(close_IgnoreXError);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

  std::vector<Window> windows;
  close_Collect(display, DefaultRootWindow(display), &windows);
  int asked = 0;
  for (Window window : windows) {
    if (close_Title(display, window) != wanted) continue;
    if (!close_TakesDelete(display, window, deleteWindow)) continue;
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    if (XSendEvent(display, window, False, NoEventMask, &event) != 0) {
      std::printf("0x%lx\n", static_cast<unsigned long>(window));
      ++asked;
    }
  }
  XSync(display, False);
  XCloseDisplay(display);
  if (asked == 0) {
    std::fprintf(stderr, "close_window: no window titled \"%s\" takes WM_DELETE_WINDOW\n", wanted.c_str());
    return 1;
  }
  return 0;
}
