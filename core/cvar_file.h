#pragma once

#include <iosfwd>

// Persistence of the console variables in "cvar.ini" (working directory).
//
// The file holds one entry "<tag> <name> <value>" per line, tag 1 for an int
// (value as "%d") and 2 for a float (value as "%f", six decimals), with no
// header or comments. Console functions are never written. The three words
// of a line are separated by any white space but a line end.

// The file's name, relative to the working directory.
constexpr const char kCVarFileName[] = "cvar.ini";
// Longest word the reader takes; a line with a longer word is ignored.
constexpr int kCVarMaxWordLength = 255;

// Reads every line of `in`, applying each entry with CVarLoadEntry
// (core/console_variable.h): known names keep their type and take the value,
// new names are registered with the file's type and value. Blank lines are
// passed over. Any other line that is not one entry is ignored, with one log
// line "LoadCVars: cvar.ini line <n> is ignored: <reason>", and reading goes
// on with the next line: a line of other than three words (a comment, a
// stray word, a missing value), a tag that is not 1 or 2, a word longer than
// kCVarMaxWordLength, a value that begins with no number of its tag (the
// start of "800.0" or "600px" is a number), a console command's name.
// Returns the number of values stored.
int LoadCVarsFrom(std::istream& in);

// LoadCVarsFrom on kCVarFileName. A missing file loads nothing, silently.
// A file that cannot be read (a folder, a FIFO, a read error) loads nothing
// either and is logged; SaveCVars then leaves it as it is.
int LoadCVars();

// Writes one line "%d %s %s\n" (tag, name, value) for every int and float
// variable in the registry's trie order. Names that could not be read back as
// one word (empty, or holding white space) are left out with a log line.
// Returns false when the stream reports an error.
bool SaveCVarsTo(std::ostream& out);

// SaveCVarsTo into kCVarFileName, or into the file it links to when it is a
// symbolic link, by AtomicFile (core/regular_file.h): the file is either the
// old one or the whole new one. Returns false, the file unchanged, when:
//  - the file cannot be written (read-only): silently;
//  - the last LoadCVars could not read it, or it is not a regular file;
//  - the new file could not be written whole: logged as "SaveCVars: ...".
bool SaveCVars();
