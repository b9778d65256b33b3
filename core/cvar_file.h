#pragma once

#include <iosfwd>

// Persistence of the console variables in "cvar.ini" (working directory).
//
// The file holds one entry "<tag> <name> <value>" per line, tag 1 for an int
// (value as "%d") and 2 for a float (value as "%f", six decimals), with no
// header or comments. Console functions are never written. The reader takes
// the three words of an entry separated by any white space, line ends
// included.

// The file's name, relative to the working directory.
constexpr const char kCVarFileName[] = "cvar.ini";
// Longest word the reader takes; an entry with a longer word is ignored.
constexpr int kCVarMaxWordLength = 255;

// Reads the entries of `in` as words, applying each with CVarLoadEntry
// (core/console_variable.h): known names keep their type and take the value,
// new names are registered with the file's type and value. An entry's three
// words may stand on one line or on several, separated by blanks, tabs, line
// feeds or carriage returns (a line may end in any of LF, CR and CRLF), and a
// last line without a line end is read too. Faults are logged, one line each
// "LoadCVars: cvar.ini line <n>: <what>", and the reading goes on:
//  - where a type tag belongs, a word that is not a whole integer (a comment,
//    a stray word), and an entry with a word longer than kCVarMaxWordLength:
//    the rest of that line is ignored, the next line read;
//  - a tag other than 1 and 2, and a console command's name: the entry's
//    three words are passed over;
//  - a value that begins with no number of its tag (the start of "800.0" or
//    "600px" is a number): a known name keeps its value, a new one is
//    registered holding 0 (see CVarLoadEntry);
//  - the end of the text within an entry: the entry is ignored.
// Returns the number of values stored.
int LoadCVarsFrom(std::istream& in);

// LoadCVarsFrom on kCVarFileName. A missing file loads nothing, silently.
// A file that cannot be read (a folder, a FIFO, a read error) loads nothing
// either and is logged; SaveCVars then leaves it as it is.
int LoadCVars();

// True once LoadCVars has run. Before it, a save would replace the user's
// file with the defaults: the saves outside the console's own (a lost
// display, SIGQUIT) look here first.
bool CVarFileLoaded();

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
