// sweep_runner: runs self-extracting files one after another under Wine, the
// way a user who only ever presses the obvious button would, and records what
// each run showed (Win32 console program).
//
//   sweep_runner MANIFEST RESULTS LIMIT_MS
//
// MANIFEST holds one case per line, fields separated by tabs (UTF-8):
//   ID  PROGRAM  TEMP_FOLDER  DIALOG_FOLDER  [OPTION...]
// The program is started with TMP and TEMP set to TEMP_FOLDER, so that
// automatic mode extracts there.  When the destination dialog appears, the
// runner types DIALOG_FOLDER and presses Extract ("-" instead presses Close).
// Every message box is read and closed with OK; an overwrite question is
// answered with Abort.  Options:
//   confirm        untick "do not confirm overwriting" before Extract
//   hold=PATH      keep PATH open without sharing while the case runs
//   cwd=FOLDER     the program's working folder
// A run that outlives LIMIT_MS is ended and counts as a hang.
//
// RESULTS gets one line per case: ID, exit code (hex), milliseconds and the
// events in order, tab-separated:
//   dialog          the destination dialog appeared (and was answered);
//                   dialog-caption:CAPTION when its caption was not the usual
//   box:TEXT        a message box with this text (a line feed written as \n)
//   question        the overwrite question appeared (answered Abort)
//   window:CAPTION  any other window of the program (closed)
//   hang            the time limit passed; the program was ended
//   hold-failed     the file to hold could not be opened
// Exit code: 0 when every case ran, 2 for a bad command line or manifest.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/window_text.h"

namespace {

constexpr DWORD kPollMs = 20;
// An answer that seems not to have arrived is sent again after this long.
constexpr DWORD kRepeatActionMs = 1500;
// A window of no known kind is closed only once it has stayed this long.
constexpr DWORD kStrangerGraceMs = 1000;
constexpr int kMessageTextId = 65535;
constexpr int kDestinationFolderId = 1002;
constexpr int kNoConfirmCheckId = 1003;
constexpr int kDestinationBrowseId = 1005;
constexpr int kProgressBarId = 1006;
constexpr int kOverwritePathId = 1011;
constexpr int kOverwriteAbortId = 1008;
// "ファイルの解凍 [": the destination dialog's caption up to the program name.
const std::wstring kDestinationCaptionStart = L"\u30d5\u30a1\u30a4\u30eb\u306e\u89e3\u51cd [";

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                      nullptr);
  return bytes;
}

// One line per event: line feeds and tabs inside a text are escaped.
std::string Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\n') out += L"\\n";
    else if (c == L'\r') out += L"\\r";
    else if (c == L'\t') out += L"\\t";
    else out += c;
  }
  return Narrow(out);
}

bool ReadWholeFile(const std::wstring& path, std::string* out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
  CloseHandle(file);
  return true;
}

struct Case {
  std::string id;
  std::wstring program;
  std::wstring tempFolder;
  std::wstring dialogFolder;  // empty: press Close
  bool confirm = false;
  std::wstring hold;
  std::wstring cwd;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseManifest(const std::string& text, std::vector<Case>* cases) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 4) return false;
    Case c;
    c.id = fields[0];
    c.program = Widen(fields[1]);
    c.tempFolder = Widen(fields[2]);
    if (fields[3] != "-") c.dialogFolder = Widen(fields[3]);
    for (size_t i = 4; i < fields.size(); ++i) {
      const std::string& option = fields[i];
      if (option == "confirm") c.confirm = true;
      else if (option.rfind("hold=", 0) == 0) c.hold = Widen(option.substr(5));
      else if (option.rfind("cwd=", 0) == 0) c.cwd = Widen(option.substr(4));
      else return false;
    }
    cases->push_back(c);
  }
  return true;
}

bool SameName(const std::wstring& entry, const wchar_t* name) {
  size_t n = wcslen(name);
  return entry.size() > n && entry[n] == L'=' && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE,
                                                                entry.c_str(), static_cast<int>(n), name,
                                                                static_cast<int>(n)) == CSTR_EQUAL;
}

// This process's environment with TMP and TEMP replaced.
std::wstring EnvironmentWithTemp(const std::wstring& folder) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) {
    std::wstring entry(p);
    if (SameName(entry, L"TMP") || SameName(entry, L"TEMP")) continue;
    block += entry;
    block += L'\0';
  }
  FreeEnvironmentStringsW(strings);
  block += L"TMP=" + folder + L'\0';
  block += L"TEMP=" + folder + L'\0';
  block += L'\0';
  return block;
}

struct WindowSearch {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->process && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

bool IsDialog(HWND window) {
  wchar_t className[64];
  return GetClassNameW(window, className, 64) && std::wstring(className) == L"#32770";
}

void Click(HWND window, int id) {
  HWND button = GetDlgItem(window, id);
  if (button != nullptr) PostMessageW(button, BM_CLICK, 0, 0);
}

// Answers one window of the running case and answers true, or answers false
// when the window is not ready to be answered yet (asked again at the next
// poll).  Windows are told apart by their controls, which exist as soon as a
// dialog is visible; their texts are read only to be recorded.  `first` is
// false when the same window is answered again because the earlier answer
// seems lost; its event is then not recorded twice.  `ageMs` is how long the
// window has been seen.
bool Answer(HWND window, const Case& c, bool first, DWORD ageMs, std::vector<std::string>* events) {
  const bool dialog = IsDialog(window);
  if (dialog && GetDlgItem(window, kDestinationFolderId) != nullptr &&
      GetDlgItem(window, kDestinationBrowseId) != nullptr) {
    if (first) {
      const std::wstring caption = TextOf(window);
      events->push_back(caption.rfind(kDestinationCaptionStart, 0) == 0 ? "dialog"
                                                                           : "dialog-caption:" + Escaped(caption));
    }
    if (c.dialogFolder.empty()) {
      Click(window, IDCANCEL);
      return true;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(window, kDestinationFolderId), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(c.dialogFolder.c_str()), SMTO_ABORTIFHUNG, 2000, &ignored);
    if (c.confirm)
      SendMessageTimeoutW(GetDlgItem(window, kNoConfirmCheckId), BM_SETCHECK, BST_UNCHECKED, 0,
                          SMTO_ABORTIFHUNG, 2000, &ignored);
    Click(window, IDOK);
    return true;
  }
  if (dialog && GetDlgItem(window, kOverwritePathId) != nullptr) {
    if (first) events->push_back("question");
    Click(window, kOverwriteAbortId);
    return true;
  }
  if (dialog && GetDlgItem(window, kProgressBarId) != nullptr) return false;  // closes by itself
  if (dialog && GetDlgItem(window, kMessageTextId) != nullptr && GetDlgItem(window, IDOK) != nullptr) {
    if (first) {
      const std::wstring text = TextOf(GetDlgItem(window, kMessageTextId));
      // A box that is busy answers no text: read it at the next poll, unless
      // it stays empty.
      if (text.empty() && ageMs < kStrangerGraceMs) return false;
      events->push_back("box:" + Escaped(text));
    }
    Click(window, IDOK);
    return true;
  }
  // Anything else is given a moment: it may be a dialog still being built.
  if (ageMs < kStrangerGraceMs) return false;
  if (first) events->push_back("window:" + Escaped(TextOf(window)));
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return true;
}

std::string Hex(DWORD value) {
  char text[16];
  wsprintfA(text, "%08lx", value);
  return text;
}

std::string RunCase(const Case& c, DWORD limitMs) {
  std::vector<std::string> events;
  HANDLE held = INVALID_HANDLE_VALUE;
  if (!c.hold.empty()) {
    held = CreateFileW(c.hold.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) events.push_back("hold-failed");
  }
  std::wstring environment = EnvironmentWithTemp(c.tempFolder);
  std::wstring commandLine = L"\"" + c.program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const DWORD start = GetTickCount();
  if (!CreateProcessW(c.program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, &environment[0], c.cwd.empty() ? nullptr : c.cwd.c_str(),
                      &startup, &process)) {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return c.id + "\tstart-failed:" + Hex(GetLastError()) + "\t0";
  }
  std::map<HWND, DWORD> firstSeen;   // window -> tick it was first seen
  std::map<HWND, DWORD> answeredAt;  // window -> tick of its last answer
  while (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
    const DWORD now = GetTickCount();
    if (now - start >= limitMs) {
      TerminateProcess(process.hProcess, 0xDEADu);
      WaitForSingleObject(process.hProcess, 10000);
      events.push_back("hang");
      break;
    }
    WindowSearch search{process.dwProcessId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
      firstSeen.emplace(window, now);
      auto seen = answeredAt.find(window);
      if (seen != answeredAt.end() && now - seen->second < kRepeatActionMs) continue;
      if (Answer(window, c, seen == answeredAt.end(), now - firstSeen[window], &events))
        answeredAt[window] = now;
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  const DWORD elapsed = GetTickCount() - start;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  std::string line = c.id + "\t" + Hex(exitCode) + "\t" + std::to_string(elapsed);
  for (const std::string& event : events) line += "\t" + event;
  return line;
}

void AppendLine(const std::wstring& path, const std::string& line) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (count != 4) return 2;
  std::string manifest;
  std::vector<Case> cases;
  if (!ReadWholeFile(args[1], &manifest) || !ParseManifest(manifest, &cases)) return 2;
  const DWORD limitMs = static_cast<DWORD>(wcstoul(args[3], nullptr, 10));
  // Each result is written as soon as its case ends, so that an interrupted
  // batch still tells what it ran.
  for (const Case& c : cases) AppendLine(args[2], RunCase(c, limitMs));
  return 0;
}
