// Preloaded into the program (LD_PRELOAD) by the end-to-end tests, to make a
// fault strike during start-up at a fixed point: the first time an OpenGL
// context is made current, which is the 3-D view's, made before the engine
// starts and reads "cvar.ini". TAVRIN_START_UP_FAULT says which fault:
//   display  the connection to the X server breaks, as when the server ends;
//   quit     the process receives SIGQUIT.
// Otherwise the calls pass through unchanged.
#include <GL/glx.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>

namespace {

bool g_struck = false;

void fault_Strike(Display* display) {
  if (g_struck) return;
  g_struck = true;
  const char* fault = std::getenv("TAVRIN_START_UP_FAULT");
  if (fault == nullptr) return;
  if (std::strcmp(fault, "display") == 0) {
    shutdown(ConnectionNumber(display), SHUT_RDWR);
    // The next exchange with the server meets the broken connection.
    XSync(display, False);
  } else if (std::strcmp(fault, "quit") == 0) {
    raise(SIGQUIT);
  }
}

template <typename Function>
Function fault_Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" Bool glXMakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
  using Function = Bool (*)(Display*, GLXDrawable, GLXContext);
  static const Function next = fault_Next<Function>("glXMakeCurrent");
  fault_Strike(display);
  return next(display, drawable, context);
}

extern "C" Bool glXMakeContextCurrent(Display* display, GLXDrawable draw, GLXDrawable read, GLXContext context) {
  using Function = Bool (*)(Display*, GLXDrawable, GLXDrawable, GLXContext);
  static const Function next = fault_Next<Function>("glXMakeContextCurrent");
  fault_Strike(display);
  return next(display, draw, read, context);
}
