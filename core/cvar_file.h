#pragma once

#include <iosfwd>

// Persistence of the console variables in "cvar.ini" (working directory).
//
// The file is a sequence of entries "<tag> <name> <value>", tag 1 for an int
// (value as "%d") and 2 for a float (value as "%f", six decimals), one per
// line, with no header or comments. Console functions are never written.
// Reading is by words separated by any white space (blank, tab, CR, LF, ...),
// so line breaks are not significant.

// The file's name, relative to the working directory.
constexpr const char kCVarFileName[] = "cvar.ini";
// Written first and renamed over kCVarFileName once complete.
constexpr const char kCVarTempFileName[] = "cvar.ini.tmp";
// Longest word the reader takes; an entry with a longer word is passed over.
constexpr int kCVarMaxWordLength = 255;

// Reads entries from `in` until it ends or a pass fails, applying each with
// CVarLoadEntry (core/console_variable.h): known names keep their type and
// take the value, new names are registered with the file's type and value.
// Each pass reads a tag word, a name word and a value word (end of input right
// after the value word still completes the pass):
//  - a tag word that is not a whole integer ends reading;
//  - a missing word ends reading;
//  - any word longer than kCVarMaxWordLength passes the three words over;
//  - tags other than 1 and 2 pass the three words over;
//  - a value that is not a number of its tag leaves the value unchanged (a
//    new name still gets its record, holding 0).
// Returns the number of values stored.
int LoadCVarsFrom(std::istream& in);

// LoadCVarsFrom on kCVarFileName. A missing file loads nothing, silently, and
// gives 0.
int LoadCVars();

// Writes one line "%d %s %s\n" (tag, name, value) for every int and float
// variable in the registry's trie order. Names that could not be read back as
// one word (empty, or holding white space) are left out with a log line.
// Returns false when the stream reports an error.
bool SaveCVarsTo(std::ostream& out);

// SaveCVarsTo into kCVarTempFileName, then renames it over kCVarFileName once
// the whole file was written, flushed and closed without error, so an
// interrupted save never loses the previous file. On failure logs one line
// "SaveCVars: ...", leaves the previous file as it was and returns false.
bool SaveCVars();
