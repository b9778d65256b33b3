#pragma once

// Log output shared by the whole system. Every helper formats printf-style
// into a 1024-byte buffer (at most 1023 characters are kept), then:
//   LogPrintf     -> console (when one is attached) and "log.txt"
//   LogToFile     -> "log.txt" only
//   ConsolePrintf -> console only
// The file helpers add their own line end after the text and flush, so a
// message that already ends in "\n" leaves an empty line in "log.txt".
//
// "log.txt" is opened in the working directory, and emptied, by OpenLogFile
// or else by the first write of the run; when it cannot be opened the file
// writes do nothing.

#define TAVRIN_PRINTF_FORMAT(fmt_index, first_arg) \
  __attribute__((format(printf, fmt_index, first_arg)))

// Size of the formatting buffer, terminator included.
constexpr int kLogBufferSize = 1024;

// Flag of a console output line.
constexpr int kConsoleLineOutput = 1;

// The console attaches itself here while it exists; null detaches it. The
// sink receives the formatted text and the line flags.
using LogConsoleSink = void (*)(const char* text, int flags);
void SetLogConsoleSink(LogConsoleSink sink);

// Opens (and empties) "log.txt" unless it is open already. The program calls
// it as it starts, so a run that logs nothing leaves no earlier run's lines.
void OpenLogFile();
// Closes "log.txt"; the next OpenLogFile or write opens (and empties) it
// again, in the working directory of that moment.
void CloseLogFile();

void LogPrintf(const char* format, ...) TAVRIN_PRINTF_FORMAT(1, 2);
void LogToFile(const char* format, ...) TAVRIN_PRINTF_FORMAT(1, 2);
void ConsolePrintf(const char* format, ...) TAVRIN_PRINTF_FORMAT(1, 2);
