// The real progress dialog, in this process, against the scripted worker at
// full speed: every caption and every percent reaches the dialog's windows,
// in order, and an Abort that arrives from another thread in the middle of
// a fast run is handled while the run goes on and stops it at the worker's
// next check point; the bar and the percent text, which repaint once per
// serving slice, stand painted at the run's last values under every message.
// A hook on this thread records what the dialog sends to its caption, its
// bar and its percent text.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "extract/extract_status.h"
#include "scripted_exchange.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"
#include "ui/ui_texts.h"

namespace {

constexpr int kEntries = 1000;
const std::string kAbortMark = "abort";

std::vector<std::string> g_seen;
// Set by the hook when the dialog serves the caption of this entry.
std::string g_abortAtCaption;
HANDLE g_abortWanted = nullptr;

std::string CaptionOf(int entry) { return "caption file" + std::to_string(entry) + ".txt" + kTextExtractingSuffix; }

LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  // The dialog's own window is known once its start has recorded it; the
  // bar and the percent text are told by their ids from the start.
  if (code == HC_ACTION) {
    if (sent->hwnd == ProgressWindow && sent->message == WM_SETTEXT) {
      g_seen.push_back("caption " + std::string(reinterpret_cast<const char*>(sent->lParam)));
      if (g_seen.back() == g_abortAtCaption) SetEvent(g_abortWanted);
    } else if (sent->hwnd == ProgressWindow && sent->message == WM_COMMAND && LOWORD(sent->wParam) == IDCANCEL) {
      g_seen.push_back(kAbortMark);
    } else if (sent->message == PBM_SETPOS && GetDlgCtrlID(sent->hwnd) == IDC_PROGRESS_BAR) {
      g_seen.push_back("bar " + std::to_string(sent->wParam));
    } else if (sent->message == WM_SETTEXT && GetDlgCtrlID(sent->hwnd) == IDC_PROGRESS_TEXT) {
      g_seen.push_back("text " + std::string(reinterpret_cast<const char*>(sent->lParam)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Presses Abort from another thread, as a user's click arrives: the dialog
// thread handles it only when it gets back to its messages.
DWORD WINAPI PressAbortWhenWanted(void*) {
  if (WaitForSingleObject(g_abortWanted, 60000) != WAIT_OBJECT_0) return 1;
  HWND abortButton = GetDlgItem(ProgressWindow, IDCANCEL);
  SendMessageA(abortButton, BM_CLICK, 0, 0);
  return 0;
}

// What the dialog shows for the whole run: the start, then per entry its
// caption, then its percent on the bar and as text.
std::vector<std::string> ExpectedRun() {
  std::vector<std::string> expected = {"bar 0", "text 0%"};
  for (int entry = 1; entry <= kEntries; ++entry) {
    const int percent = MulDiv(entry, 100, kEntries);
    expected.push_back(CaptionOf(entry));
    expected.push_back("bar " + std::to_string(percent));
    expected.push_back("text " + std::to_string(percent) + "%");
  }
  return expected;
}

class ProgressServing : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    g_seen.clear();
    g_abortAtCaption.clear();
    g_extractStatus.CancelRequested.store(0);
    g_extractStatus.CaptionRequested.store(0);
    ProgressWindow = nullptr;
    // A named follow-up program: the run ends without the completion message.
    SetWorkerScript(("f:next.exe;n:" + std::to_string(kEntries)).c_str());
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, RecordSent, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
  }
  void TearDown() override { UnhookWindowsHookEx(hook_); }

  HHOOK hook_ = nullptr;
};

TEST_F(ProgressServing, EveryCaptionAndPercentOfAThousandEntriesIsShownInOrder) {
  EXPECT_TRUE(RunProgressDialog());
  EXPECT_EQ(g_extractStatus.Result.load(), static_cast<int32_t>(ResultCode::Done));
  const std::vector<std::string> expected = ExpectedRun();
  ASSERT_EQ(g_seen.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(g_seen[i], expected[i]) << "at " << i;
}

TEST_F(ProgressServing, AbortDuringAFastRunStopsAtTheNextCheckPoint) {
  g_abortAtCaption = CaptionOf(kEntries / 4);
  g_abortWanted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE presser = CreateThread(nullptr, 0, PressAbortWhenWanted, nullptr, 0, nullptr);
  ASSERT_NE(presser, nullptr);

  EXPECT_FALSE(RunProgressDialog());
  EXPECT_EQ(WaitForSingleObject(presser, 60000), WAIT_OBJECT_0);
  DWORD pressed = 1;
  GetExitCodeThread(presser, &pressed);
  CloseHandle(presser);
  CloseHandle(g_abortWanted);
  EXPECT_EQ(pressed, 0u) << "the abort was never wanted";
  EXPECT_EQ(g_extractStatus.Result.load(), static_cast<int32_t>(ResultCode::Cancelled));

  // What was shown is the run's own beginning, with Abort somewhere in it.
  std::vector<std::string> shown;
  size_t abortAt = g_seen.size();
  for (size_t i = 0; i < g_seen.size(); ++i) {
    if (g_seen[i] == kAbortMark) abortAt = shown.size();
    else shown.push_back(g_seen[i]);
  }
  ASSERT_LT(abortAt, shown.size() + 1) << "Abort never reached the dialog";
  const std::vector<std::string> expected = ExpectedRun();
  ASSERT_LT(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) ASSERT_EQ(shown[i], expected[i]) << "at " << i;

  // The worker looks for Abort before every caption and every percent, so
  // at most the one request already on its way is shown after it.
  size_t requestsAfterAbort = 0;
  for (size_t i = abortAt; i < shown.size(); ++i)
    if (shown[i].rfind("caption ", 0) == 0 || shown[i].rfind("bar ", 0) == 0) ++requestsAfterAbort;
  EXPECT_LE(requestsAfterAbort, 1u);
}

// What the bar and the percent text stand at while a message box of the
// dialog is up; each box is closed as it is recorded.
struct BoxMoment {
  bool barVisible;
  bool textVisible;
  LRESULT barPosition;
  std::string text;
};
std::vector<BoxMoment> g_boxes;

LRESULT CALLBACK RecordBoxes(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  // A box owned by the dialog, while the dialog is up.
  if (code == HCBT_ACTIVATE && ProgressWindow != nullptr && GetWindow(window, GW_OWNER) == ProgressWindow &&
      IsWindowVisible(ProgressWindow)) {
    HWND bar = GetDlgItem(ProgressWindow, IDC_PROGRESS_BAR);
    HWND text = GetDlgItem(ProgressWindow, IDC_PROGRESS_TEXT);
    char shown[16] = "";
    GetWindowTextA(text, shown, sizeof shown);
    g_boxes.push_back({IsWindowVisible(bar) != FALSE, IsWindowVisible(text) != FALSE,
                       SendMessageA(bar, PBM_GETPOS, 0, 0), shown});
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A fast run paints its bar and text once per serving slice; whenever the
// dialog then shows a message, they stand painted at the run's last values.
TEST_F(ProgressServing, BarAndTextStandAtTheRunsLastValuesUnderEveryMessage) {
  SetWorkerScript("n:300;a:4;r:1");  // an alert after the last entry, then Done
  g_extractStatus.FollowUpName[0] = '\0';  // so that Done shows the completion message
  g_boxes.clear();
  HHOOK boxHook = SetWindowsHookExA(WH_CBT, RecordBoxes, nullptr, GetCurrentThreadId());
  ASSERT_NE(boxHook, nullptr);
  EXPECT_TRUE(RunProgressDialog());
  UnhookWindowsHookEx(boxHook);
  ASSERT_EQ(g_boxes.size(), 2u) << "the alert and the completion message";
  for (size_t i = 0; i < g_boxes.size(); ++i) {
    const BoxMoment& box = g_boxes[i];
    EXPECT_TRUE(box.barVisible) << "box " << i;
    EXPECT_TRUE(box.textVisible) << "box " << i;
    EXPECT_EQ(box.barPosition, 100);
    EXPECT_EQ(box.text, "100%");
  }
}

}  // namespace
