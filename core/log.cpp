#include "core/log.h"

#include <cstdarg>
#include <cstdio>

namespace {

LogConsoleSink g_consoleSink = nullptr;

// The one log stream, opened (and emptied) on first use so that it exists
// before any static initialiser of another file logs. Both are constant
// initialised, so they hold before any dynamic initialiser runs.
std::FILE* g_logStream = nullptr;
bool g_logOpened = false;

std::FILE* log_stream() {
  if (!g_logOpened) {
    g_logOpened = true;
    g_logStream = std::fopen("log.txt", "w");
  }
  return g_logStream;
}

enum Target { kToConsole = 1, kToFile = 2 };

void log_vwrite(int targets, const char* format, va_list args) {
  if (format == nullptr) return;
  char buffer[kLogBufferSize];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) buffer[0] = '\0';
  if ((targets & kToConsole) && g_consoleSink != nullptr) {
    g_consoleSink(buffer, kConsoleLineOutput);
  }
  if (targets & kToFile) {
    std::FILE* stream = log_stream();
    if (stream != nullptr) {
      std::fputs(buffer, stream);
      std::fputc('\n', stream);
      std::fflush(stream);
    }
  }
}

}  // namespace

void OpenLogFile() { log_stream(); }

void CloseLogFile() {
  if (g_logStream != nullptr) std::fclose(g_logStream);
  g_logStream = nullptr;
  g_logOpened = false;
}

void SetLogConsoleSink(LogConsoleSink sink) { g_consoleSink = sink; }

void LogPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  log_vwrite(kToConsole | kToFile, format, args);
  va_end(args);
}

void LogToFile(const char* format, ...) {
  va_list args;
  va_start(args, format);
  log_vwrite(kToFile, format, args);
  va_end(args);
}

void ConsolePrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  log_vwrite(kToConsole, format, args);
  va_end(args);
}
