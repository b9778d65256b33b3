#include "platform/gl_proc.h"

#include <GL/glx.h>

#include <cstring>

namespace platform {

GLProc GetGLProcAddress(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  // GLX would return a dispatch stub for these too; they can never work here.
  if (std::strncmp(name, "wgl", 3) == 0) return nullptr;
  return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

bool HasCurrentGLContext() { return glXGetCurrentContext() != nullptr; }

}  // namespace platform
