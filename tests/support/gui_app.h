#pragma once

#include <functional>

// The GUI library for test programs that build real windows on the X
// display (Xvfb in the test command).

// Starts the GUI library with an application object of its own, at the
// first call; an assertion of the library then fails the running test.
// False when there is no display to start on.
bool StartGuiLibrary();

// Runs the library's event loop for `ms` milliseconds: windows take their
// sizes, idle and paint events are handled.
void RunGuiEventLoop(int ms);

// Runs the library's event loop until `done` holds (asked between events,
// every few milliseconds) or `ms` milliseconds have passed; whether it held.
// What a window awaits from the X server and GTK's layout comes when it
// comes: a loaded machine takes longer, and a deadline far beyond the usual
// wait keeps the test independent of it.
bool RunGuiEventLoopUntil(const std::function<bool()>& done, int ms);
