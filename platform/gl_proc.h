#pragma once

namespace platform {

// An OpenGL entry point as the driver hands it out; cast it to the function's
// real type before calling it.
using GLProc = void (*)();

// The entry point called `name` in the OpenGL implementation, looked up through
// GLX. Null for a null or empty name and for names of the Windows binding
// (those starting with "wgl"), which GLX does not have. GLX answers every other
// name with a non-null address, supported or not: check the extension string
// or version before calling one.
GLProc GetGLProcAddress(const char* name);

// True when this thread has a current GLX context.
bool HasCurrentGLContext();

}  // namespace platform
