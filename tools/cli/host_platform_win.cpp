#include <windows.h>
#include <io.h>

#include <cstdio>

#include "tools/cli/host_platform.h"

namespace {

constexpr UINT kShiftJisCodePage = 932;

std::wstring Widen(UINT codePage, DWORD flags, const std::string& text, bool* ok) {
  *ok = true;
  if (text.empty()) return std::wstring();
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) {
    *ok = false;
    return std::wstring();
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length);
  return wide;
}

std::string Narrow(UINT codePage, const std::wstring& wide, bool* ok) {
  *ok = true;
  if (wide.empty()) return std::string();
  int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  // UTF-8 takes no default-character argument.
  BOOL* usedDefaultPointer = codePage == CP_UTF8 ? nullptr : &usedDefault;
  // No best-fit mapping: a character without its own code is a failure, not a look-alike.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefaultPointer);
  if (length <= 0) {
    *ok = false;
    return std::string();
  }
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, &text[0], length, nullptr, usedDefaultPointer);
  if (usedDefault) *ok = false;
  return text;
}

FileTime FromWin(const FILETIME& t) { return FileTime{t.dwLowDateTime, t.dwHighDateTime}; }
FILETIME ToWin(FileTime t) { return FILETIME{t.low, t.high}; }

void Write(FILE* stream, DWORD handleId, const std::string& text) {
  HANDLE handle = GetStdHandle(handleId);
  DWORD mode = 0;
  bool ok = true;
  std::wstring wide = Widen(CP_UTF8, 0, text, &ok);
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    std::fflush(stream);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // Redirected output is written in the system's ANSI code page, as Windows
  // programs do; characters it lacks become '?'.
  std::string ansi;
  if (!wide.empty()) {
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    ansi.assign(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], length, nullptr, nullptr);
  }
  std::fwrite(ansi.data(), 1, ansi.size(), stream);
}

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
  bool ok = true;
  std::wstring wide = Widen(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, &ok);
  if (!ok) return false;
  *cp932 = Narrow(kShiftJisCodePage, wide, &ok);
  return ok;
}

bool Cp932ToUtf8(const std::string& cp932, std::string* utf8) {
  bool ok = true;
  std::wstring wide = Widen(kShiftJisCodePage, MB_ERR_INVALID_CHARS, cp932, &ok);
  if (!ok) return false;
  *utf8 = Narrow(CP_UTF8, wide, &ok);
  return ok;
}

bool ReadFileTimes(const std::filesystem::path& path, FileTime* creation, FileTime* lastWrite) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  *creation = FromWin(data.ftCreationTime);
  *lastWrite = FromWin(data.ftLastWriteTime);
  return true;
}

bool ApplyFileTimes(const std::filesystem::path& path, FileTime creation, FileTime lastWrite) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME created = ToWin(creation);
  FILETIME written = ToWin(lastWrite);
  BOOL ok = SetFileTime(file, &created, &written, &written);
  CloseHandle(file);
  return ok != FALSE;
}

namespace {

std::string LastErrorText() {
  DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring wide = text != nullptr ? text : L"";
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.')) wide.pop_back();
  bool ok = true;
  std::string utf8 = Narrow(CP_UTF8, wide, &ok);
  return utf8.empty() ? "error " + std::to_string(code) : utf8;
}

}  // namespace

HostFile CreateHostFile(const std::filesystem::path& path, std::string* error) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return kNoHostFile;
  }
  return reinterpret_cast<HostFile>(file);
}

bool WriteHostFile(HostFile file, const uint8_t* data, size_t size, std::string* error) {
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), data, chunk, &written, nullptr) || written == 0) {
      *error = LastErrorText();
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool WriteHostFileAt(HostFile file, uint64_t offset, const uint8_t* data, size_t size, std::string* error) {
  HANDLE handle = reinterpret_cast<HANDLE>(file);
  LARGE_INTEGER here{}, zero{}, at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handle, zero, &here, FILE_CURRENT) || !SetFilePointerEx(handle, at, nullptr, FILE_BEGIN)) {
    *error = LastErrorText();
    return false;
  }
  bool written = WriteHostFile(file, data, size, error);
  if (!SetFilePointerEx(handle, here, nullptr, FILE_BEGIN) && written) {
    *error = LastErrorText();
    return false;
  }
  return written;
}

bool CloseHostFile(HostFile file, std::string* error) {
  if (CloseHandle(reinterpret_cast<HANDLE>(file))) return true;
  *error = LastErrorText();
  return false;
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void WriteOut(const std::string& text) { Write(stdout, STD_OUTPUT_HANDLE, text); }
void WriteErr(const std::string& text) {
  std::fflush(stdout);
  Write(stderr, STD_ERROR_HANDLE, text);
}

std::vector<std::string> ArgumentsAsUtf8(int, char**) {
  // The ANSI argv cannot hold every name; the UTF-16 command line can.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    bool ok = true;
    args.push_back(Narrow(CP_UTF8, wide[i], &ok));
  }
  if (wide != nullptr) LocalFree(wide);
  return args;
}
