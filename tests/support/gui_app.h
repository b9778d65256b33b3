#pragma once

// The GUI library for test programs that build real windows on the X
// display (Xvfb in the test command).

// Starts the GUI library with an application object of its own, at the
// first call; an assertion of the library then fails the running test.
// False when there is no display to start on.
bool StartGuiLibrary();

// Runs the library's event loop for `ms` milliseconds: windows take their
// sizes, idle and paint events are handled.
void RunGuiEventLoop(int ms);
