#pragma once

// A stop asked for from outside the program (a terminating signal) while it
// cannot yet close its window: the scene reader looks at it between the
// scene's sections, and graph generation, import and export between their
// blocks; each ends early, so the program can close in order and save its
// settings.

// Marks the stop. Safe to call from a signal handler on any thread.
void RequestStop();

// True once RequestStop has been called, on any thread.
bool StopRequested();
