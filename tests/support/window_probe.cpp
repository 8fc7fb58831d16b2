// window_probe: reads and drives another process's windows for end-to-end
// dialog tests (Win32 console program, run under Wine).
//
//   window_probe COMMAND ARGS [COMMAND ARGS]...
//
// Commands run in order on a selected top-level window; reads print one line
// each on stdout (UTF-8, a line-feed inside a text printed as "\n").  Every
// wait has a time limit in milliseconds.  Texts may be given as x:HEX (UTF-8
// bytes in hex) where a command line could garble them.
//
//   find CAPTION MS            select the visible window with this caption
//   find-control ID MS         select the visible dialog that has control ID
//                              (65535 finds a message box)
//   wait-gone MS               wait until the selected window has closed
//   caption                    print its caption
//   wait-caption TEXT MS       wait until its caption reads TEXT
//   wait-caption-end TEXT MS   wait until its caption ends with TEXT
//   text ID                    print the text of control ID
//   wait-text ID TEXT MS       wait until control ID reads TEXT
//   checked ID | enabled ID    print 0 or 1
//   wait-checked ID 0|1 MS     wait for that check state (a click is posted:
//                              this waits until the dialog has handled it)
//   wait-enabled ID 0|1 MS     wait for that enabled state
//   rect | rect-of ID          print "left top right bottom" on the screen
//   set-text ID TEXT           WM_SETTEXT to control ID (an edit sends EN_CHANGE)
//   click ID                   BM_CLICK to button ID
//   command ID                 WM_COMMAND (ID, notification 0) to the window
//   key-esc                    Esc to the control that has the focus
//   close                      the close box / Alt+F4 (WM_SYSCOMMAND SC_CLOSE)
//
// Exit code: 0 all commands succeeded, 1 a wait timed out or a window or
// control was missing, 2 bad command line.
#include <windows.h>

#include <string>

#include "tests/support/window_text.h"

namespace {

constexpr DWORD kPollMs = 20;
HWND g_window = nullptr;

void Print(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'\n') escaped += L"\\n";
    else if (c == L'\r') escaped += L"\\r";
    else escaped += c;
  }
  escaped += L'\n';
  int size = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), static_cast<int>(escaped.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), static_cast<int>(escaped.size()), &bytes[0], size,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

void Fail(const std::wstring& why) {
  std::wstring line = L"window_probe: " + why + L"\n";
  DWORD written = 0;
  std::string bytes(line.begin(), line.end());  // diagnostics are ASCII
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

struct Search {
  std::wstring caption;
  int controlId;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t className[64];
  if (search->controlId >= 0 &&
      (!GetClassNameW(window, className, 64) || std::wstring(className) != L"#32770"))
    return TRUE;  // controls are looked for in dialogs (and message boxes) only
  const bool match = search->controlId >= 0 ? GetDlgItem(window, search->controlId) != nullptr
                                            : TextOf(window) == search->caption;
  if (!match) return TRUE;
  search->found = window;
  return FALSE;
}

// Polls until `ready` holds or the time limit passes.
template <typename Ready>
bool WaitFor(DWORD limitMs, Ready ready) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (ready()) return true;
    if (GetTickCount() - start >= limitMs) return false;
    Sleep(kPollMs);
  }
}

HWND Control(int id) { return g_window != nullptr ? GetDlgItem(g_window, id) : nullptr; }

class Arguments {
 public:
  Arguments(int count, wchar_t** values) : count_(count), values_(values) {}
  bool More() const { return next_ < count_; }
  bool Take(std::wstring* out) {
    if (next_ >= count_) return false;
    *out = values_[next_++];
    return true;
  }
  bool TakeNumber(long* out) {
    std::wstring text;
    if (!Take(&text)) return false;
    wchar_t* end = nullptr;
    *out = wcstol(text.c_str(), &end, 0);
    return end != text.c_str() && *end == L'\0';
  }

 private:
  int count_;
  wchar_t** values_;
  int next_ = 1;
};

enum Outcome { kOk = 0, kFailed = 1, kUsage = 2 };

Outcome Run(const std::wstring& command, Arguments& args) {
  long id = 0, limit = 0, number = 0;
  std::wstring text;
  if (command == L"find" || command == L"find-control") {
    Search search{L"", -1, nullptr};
    if (command == L"find") {
      if (!args.Take(&text)) return kUsage;
      search.caption = DecodeTextArgument(text);
    } else {
      if (!args.TakeNumber(&id)) return kUsage;
      search.controlId = static_cast<int>(id);
    }
    if (!args.TakeNumber(&limit)) return kUsage;
    const bool found = WaitFor(static_cast<DWORD>(limit), [&] {
      search.found = nullptr;
      EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
      return search.found != nullptr;
    });
    if (!found) {
      Fail(L"no window for " + command);
      return kFailed;
    }
    g_window = search.found;
    return kOk;
  }
  if (g_window == nullptr) {
    Fail(L"no window selected before " + command);
    return kUsage;
  }
  if (command == L"wait-gone") {
    if (!args.TakeNumber(&limit)) return kUsage;
    return WaitFor(static_cast<DWORD>(limit), [] { return !IsWindow(g_window); }) ? kOk : kFailed;
  }
  if (command == L"caption") {
    Print(TextOf(g_window));
    return kOk;
  }
  if (command == L"wait-caption") {
    if (!args.Take(&text) || !args.TakeNumber(&limit)) return kUsage;
    const std::wstring wanted = DecodeTextArgument(text);
    if (WaitFor(static_cast<DWORD>(limit), [&] { return TextOf(g_window) == wanted; })) return kOk;
    Print(TextOf(g_window));
    return kFailed;
  }
  if (command == L"wait-caption-end") {
    if (!args.Take(&text) || !args.TakeNumber(&limit)) return kUsage;
    const std::wstring wanted = DecodeTextArgument(text);
    const auto endsWith = [&] {
      const std::wstring caption = TextOf(g_window);
      return caption.size() >= wanted.size() &&
             caption.compare(caption.size() - wanted.size(), wanted.size(), wanted) == 0;
    };
    if (WaitFor(static_cast<DWORD>(limit), endsWith)) return kOk;
    Print(TextOf(g_window));
    return kFailed;
  }
  if (command == L"rect") {
    RECT r;
    if (!GetWindowRect(g_window, &r)) return kFailed;
    Print(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) +
          L" " + std::to_wstring(r.bottom));
    return kOk;
  }
  if (command == L"close") {
    return PostMessageW(g_window, WM_SYSCOMMAND, SC_CLOSE, 0) ? kOk : kFailed;
  }
  if (command == L"key-esc") {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(g_window, nullptr);
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : g_window;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
    return kOk;
  }
  if (!args.TakeNumber(&id)) return kUsage;
  HWND control = Control(static_cast<int>(id));
  if (command == L"command") {
    return PostMessageW(g_window, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(control)) ? kOk
                                                                                                     : kFailed;
  }
  if (control == nullptr) {
    Fail(L"no control " + std::to_wstring(id) + L" in the selected window");
    return kFailed;
  }
  if (command == L"text") {
    Print(TextOf(control));
    return kOk;
  }
  if (command == L"checked") {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    Print(std::to_wstring(state));
    return kOk;
  }
  if (command == L"enabled") {
    Print(IsWindowEnabled(control) ? L"1" : L"0");
    return kOk;
  }
  if (command == L"rect-of") {
    RECT r;
    GetWindowRect(control, &r);
    Print(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) +
          L" " + std::to_wstring(r.bottom));
    return kOk;
  }
  if (command == L"wait-text") {
    if (!args.Take(&text) || !args.TakeNumber(&limit)) return kUsage;
    const std::wstring wanted = DecodeTextArgument(text);
    if (WaitFor(static_cast<DWORD>(limit), [&] { return TextOf(control) == wanted; })) return kOk;
    Print(TextOf(control));
    return kFailed;
  }
  if (command == L"wait-checked") {
    if (!args.TakeNumber(&number) || !args.TakeNumber(&limit)) return kUsage;
    return WaitFor(static_cast<DWORD>(limit), [&] {
             DWORD_PTR state = 0;
             SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
             return static_cast<long>(state) == number;
           })
               ? kOk
               : kFailed;
  }
  if (command == L"wait-enabled") {
    if (!args.TakeNumber(&number) || !args.TakeNumber(&limit)) return kUsage;
    const bool wanted = number != 0;
    return WaitFor(static_cast<DWORD>(limit), [&] { return (IsWindowEnabled(control) != FALSE) == wanted; })
               ? kOk
               : kFailed;
  }
  if (command == L"set-text") {
    if (!args.Take(&text)) return kUsage;
    const std::wstring value = DecodeTextArgument(text);
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()),
                               SMTO_ABORTIFHUNG, 2000, &ignored)
               ? kOk
               : kFailed;
  }
  if (command == L"click") {
    return PostMessageW(control, BM_CLICK, 0, 0) ? kOk : kFailed;
  }
  Fail(L"unknown command " + command);
  return kUsage;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** values = CommandLineToArgvW(GetCommandLineW(), &count);
  Arguments args(count, values);
  std::wstring command;
  while (args.Take(&command)) {
    const Outcome outcome = Run(command, args);
    if (outcome != kOk) {
      if (outcome == kUsage) Fail(L"bad arguments for " + command);
      return outcome;
    }
  }
  return kOk;
}
