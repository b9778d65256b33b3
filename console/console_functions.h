#pragma once

#include <string>
#include <vector>

// The console's built-in commands. RegisterConsoleFunctions (declared in
// console/gl_console.h, called by the GLConsole constructor) registers each
// handler under its name:
//
//   "help"                   ConsoleHelp
//   "exit", "quit"           ConsoleExit
//   "camera.track"           ConsoleCameraTrack
//   "character.create"       ConsoleCharacterCreate
//   "character.eval_pose"    ConsoleCharacterEvalPose
//   "character.transitions"  ConsoleCharacterTransitions
//
// A handler takes the argument words of the entered line (the command's name
// not included) and returns "" on success or an error text, which the console
// prints as "Function '<name>' Error: <text>". A handler that fails changes
// nothing. GUI thread only.

// Prints the eleven help lines (console only). Takes no arguments.
const char* ConsoleHelp(std::vector<std::string>* args);

// Runs the shutdown set with SetConsoleShutdown (the application's orderly
// shutdown, which saves "cvar.ini"), then ends the process with exit code 0.
// Takes no arguments; with any it only returns its error text.
const char* ConsoleExit(std::vector<std::string>* args);

// "0": the camera roams freely. "1 <entity>": the camera tracks that entity
// of EntityMap (exact name). The camera cannot track itself.
const char* ConsoleCameraTrack(std::vector<std::string>* args);

// "<motion> [x y z]": a new character "consoleplayer" (made unique: then
// "consoleplayer1", ...) drawn in the world at (x, y, z), default the origin,
// playing a new graph-less controller of that motion of MotionMap.
const char* ConsoleCharacterCreate(std::vector<std::string>* args);

// "<character> <a> <b>": prints the similarity of frames b and a of the
// character's primary controller. Frames must lie in 1 .. frame count - 1.
const char* ConsoleCharacterEvalPose(std::vector<std::string>* args);

// "<character>": prints (console and "log.txt") the target frames of the
// transitions from the current frame of the character's primary controller.
const char* ConsoleCharacterTransitions(std::vector<std::string>* args);

// The shutdown that "exit" and "quit" run before the process ends. The
// application sets its own (GlobalShutdown); without one they delete the
// console, which saves "cvar.ini".
using ConsoleShutdownFunction = void (*)();
void SetConsoleShutdown(ConsoleShutdownFunction shutdown);
