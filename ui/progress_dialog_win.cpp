// The progress dialog (template 132): the main loop while extraction runs.
// A 50 ms timer drives it; its first tick, posted at the start, starts the
// worker.  Every tick then serves the worker's requests as they are raised,
// sleeping on the exchange's event between them, for a slice a little
// shorter than the timer period; the rest of the period belongs to the
// dialog's own messages (Abort, repaints).  The dialog closes once the
// worker has published its Result.
//
// A caption or percent request is cleared as soon as its value has been
// copied, before the window shows it: the worker goes on with the entry's
// file while the window repaints, and since this thread serves one request
// after the other, every value still reaches the window, in order, before
// the next request, an alert or the Result is looked at.  An alert stays
// raised until its message or question has been answered.
#include <windows.h>
#include <commctrl.h>

#include "extract/extract_status.h"
#include "extract/worker_thread.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"
#include "ui/ui_texts.h"
#include "ui/window_helpers_win.h"

namespace {

constexpr UINT_PTR kTickTimerId = 0x45585044;  // bytes from the high end: E X P D
constexpr UINT kTickPeriodMs = 50;
// The serving slice of one tick.  It sleeps in a plain wait, not in a wait
// for messages: a message wait repaints the window on every request served,
// which made each request several times dearer under Wine.  Messages are
// handled between slices instead: the next tick's WM_TIMER is the last
// message the queue hands out, so whatever arrived during a slice is handled
// first.  The 4 ms below the period cover the one request that may be in
// hand when the slice ends, so messages wait at most about 50 ms; the worker
// stands still between slices, so a shorter slice costs speed.
constexpr DWORD kServeSliceMs = 46;
constexpr LPARAM kPercentRange = 0x00640000;  // minimum 0 (low word), maximum 100 (high word)
constexpr int kCaptionSize = kNameBufferSize + sizeof(kTextExtractingSuffix) - 1;

bool WorkerStarted = false;
// Set while a tick runs: message boxes and the overwrite question run their
// own message loops on this thread, and the timer keeps firing inside them.
bool InTick = false;

int32_t Load(const std::atomic<int32_t>& flag) { return flag.load(std::memory_order_acquire); }

// The bar and its percent text, looked up once: under Wine every lookup of
// a control is a request to the server.
HWND ProgressBar;
HWND PercentText;

void ShowPercent(int percent) {
  SendMessageA(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  char text[16];
  wsprintfA(text, "%d%%", percent);
  SetWindowTextA(PercentText, text);
}

// Within a serving slice the bar and its percent text take every value as
// it is served but do not repaint (under Wine a repaint of the bar costs
// about as much as extracting a small file): the first percent of a slice
// holds their painting, and they are repainted with their latest values
// when the slice ends, and before an alert or the Result is acted on, so
// that the window shows where the run stands whenever it waits, asks or
// reports.  A slice that serves no percent repaints nothing.
bool ProgressHeld;

void SetPainting(HWND control, BOOL on) {
  SendMessageA(control, WM_SETREDRAW, on, 0);
  if (on) RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void HoldProgressPainting() {
  if (ProgressHeld) return;
  ProgressHeld = true;
  SetPainting(ProgressBar, FALSE);
  SetPainting(PercentText, FALSE);
}

void RepaintProgress() {
  if (!ProgressHeld) return;
  ProgressHeld = false;
  SetPainting(ProgressBar, TRUE);
  SetPainting(PercentText, TRUE);
}

// Copies the requested percent and clears the request, then shows the copy.
void ServePercent() {
  const int percent = g_extractStatus.Percent;
  AcknowledgeRequest(g_extractStatus.PercentChanged);
  HoldProgressPainting();
  ShowPercent(percent);
}

// Copies the entry name into the caption and clears the request, then shows
// the caption; the worker may meanwhile put the next name into EntryName.
void ServeCaption(HWND dialog) {
  char caption[kCaptionSize];
  lstrcpynA(caption, g_extractStatus.EntryName, kNameBufferSize);
  AcknowledgeRequest(g_extractStatus.CaptionRequested);
  lstrcatA(caption, kTextExtractingSuffix);
  SetWindowTextA(dialog, caption);
}

// Shows what the alert asks for; the caller clears Alert only afterwards.
void ServeAlert(HWND dialog, int32_t alert) {
  if (alert == static_cast<int32_t>(AlertCode::AskOverwrite)) {
    g_extractStatus.Answer = RunOverwriteDialog();
  } else if (alert >= 1 && alert <= kAlertTextCount) {
    ShowMessageBox(dialog, kAlertTexts[alert - 1], MB_ICONWARNING);
  }
}

void EndTicking(HWND dialog, INT_PTR endValue) {
  KillTimer(dialog, kTickTimerId);
  InTick = false;
  EndDialog(dialog, endValue);
}

// First tick: reset the exchange and start the worker.  Without the
// exchange's events the worker could never be woken: that is told like a
// thread that cannot start, both being a shortage of system resources.
void StartRun(HWND dialog) {
  WorkerStarted = BeginExchange() && StartExtractWorker();
  if (!WorkerStarted) {
    ShowMessageBox(dialog, kTextCannotStartWorker, MB_ICONERROR);
    EndTicking(dialog, -1);
    return;
  }
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
}

// A published Result ends the dialog: with 1 for Done (after the completion
// message unless a follow-up program will run), with 2 for anything else.
// An unattended run shows no message: the dialog just closes.
bool FinishIfPublished(HWND dialog) {
  const int32_t result = Load(g_extractStatus.Result);
  if (result == 0) return false;
  RepaintProgress();
  const bool done = result == static_cast<int32_t>(ResultCode::Done);
  KillTimer(dialog, kTickTimerId);
  if (done && (g_extractStatus.FollowUpName[0] == '\0' || FollowUpSkipped))
    ShowMessageBox(dialog, kTextCompleted, MB_ICONINFORMATION);
  EndTicking(dialog, done ? 1 : 2);
  return true;
}

// Whatever of percent, caption and alert is pending is served, in that order.
void ServePending(HWND dialog) {
  if (Load(g_extractStatus.PercentChanged) != 0) ServePercent();
  if (Load(g_extractStatus.CaptionRequested) != 0) ServeCaption(dialog);
  const int32_t alert = Load(g_extractStatus.Alert);
  if (alert != 0) {
    RepaintProgress();
    ServeAlert(dialog, alert);
    AcknowledgeRequest(g_extractStatus.Alert);
  }
}

// Serves Result and whatever is pending, then sleeps until the worker raises
// its next request or the slice is over, and starts again.  True when the
// dialog has ended.
bool ServeSlice(HWND dialog) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (FinishIfPublished(dialog)) return true;
    ServePending(dialog);
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kServeSliceMs ||
        WaitForSingleObject(RequestRaisedEvent(), kServeSliceMs - elapsed) != WAIT_OBJECT_0) {
      RepaintProgress();
      return false;
    }
  }
}

INT_PTR OnTick(HWND dialog) {
  if (InTick) return FALSE;
  InTick = true;
  if (!WorkerStarted) {
    StartRun(dialog);
    if (!WorkerStarted) return TRUE;  // the dialog has ended
  }
  if (ServeSlice(dialog)) return TRUE;
  InTick = false;
  return FALSE;
}

void OnInit(HWND dialog) {
  WorkerStarted = false;
  ProgressHeld = false;
  ProgressBar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
  PercentText = GetDlgItem(dialog, IDC_PROGRESS_TEXT);
  SendMessageA(ProgressBar, PBM_SETRANGE, 0, kPercentRange);
  ShowPercent(0);  // the bar at 0 and the text "0%"
  SetTimer(dialog, kTickTimerId, kTickPeriodMs, nullptr);
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon));
  ProgressWindow = dialog;
  CentreWindow(dialog, nullptr);
  UpdateWindow(dialog);
  // The first tick, which starts the worker, comes as soon as the dialog is
  // up rather than a whole period later; the timer's ticks follow as set.
  PostMessageA(dialog, WM_TIMER, kTickTimerId, 0);
}

}  // namespace

bool RunProgressDialog() {
  EnsureAppIcon();
  return DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialogProc,
                         0) == 1;
}

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(window);
      return TRUE;  // focus on the first tab stop, Abort
    case WM_COMMAND:
      // Abort, Esc, the close box and Alt+F4 all arrive as IDCANCEL: they only
      // ask the worker to stop; the dialog closes when it reports.
      if (HIWORD(wParam) == 0 && LOWORD(wParam) == IDCANCEL)
        g_extractStatus.CancelRequested.store(1, std::memory_order_relaxed);
      return TRUE;
    case WM_TIMER:
      return OnTick(window);
    default:
      return FALSE;
  }
}
