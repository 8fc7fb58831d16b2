#include "extract/run_log.h"

#include <windows.h>

namespace {

// Zero (not the invalid handle value) until a log is opened: a variable
// that starts at zero costs the stub no data section.
HANDLE LogFile;

void Write(const char* text) {
  DWORD written = 0;
  WriteFile(LogFile, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
}

}  // namespace

bool OpenRunLog(const char* path) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LogFile = file;
  return true;
}

// The pieces are written one after another: a text such as a command line
// may be 32 KiB long, and no buffer has to hold the whole line.
void LogLine(const char* label, const char* text) {
  if (LogFile == nullptr) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
            now.wMinute, now.wSecond);
  Write(stamp);
  Write(label);
  Write(text);
  Write("\r\n");
}
