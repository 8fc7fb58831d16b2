#include "app/run_sequence.h"

#include <windows.h>

#include "app/auto_destination.h"
#include "app/exit_codes.h"
#include "app/follow_up.h"
#include "app/private_folder.h"
#include "archive/stub_reader.h"
#include "extract/extract_worker.h"
#include "extract/run_log.h"
#include "ui/dialogs.h"
#include "ui/module_instance.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"
#include "ui/ui_texts.h"
#include "ui/window_helpers_win.h"

int AutomaticMode;
StubSwitches g_switches;

namespace {

// The archive asks for the installer wrapper and the command line leaves it
// one: a private folder, the program and all it starts waited for, the folder
// removed.
bool InstallerWrapper;

constexpr DWORD kSystemMessageSize = 512;

// The switch list, after a line that says what is wrong when `fault`.  It
// is shown also under /P, which asks only for no questions during the run;
// /S shows nothing at all.
void ShowSwitchList(bool fault) {
  if (g_uiLevel == UiLevel::Silent) return;
  MessageBoxA(nullptr, kTextBadCommandLineAndSwitches + (fault ? 0 : kSwitchListStart),
              AlertCaption(), MB_OK | (fault ? MB_ICONWARNING : MB_ICONINFORMATION));
}

// Phase 2: the progress dialog runs the worker on a thread of its own.
// Silent, there is no dialog to serve the worker's requests, so it runs on
// this thread and its requests count as served at once.
bool RunExtraction() {
  if (g_uiLevel != UiLevel::Silent) return RunProgressDialog();
  ExtractWorker();
  return g_extractStatus.Result.load(std::memory_order_acquire) ==
         static_cast<int32_t>(ResultCode::Done);
}

uint32_t RunPhases() {
  uint32_t exitCode = kExitSuccess;
  if (!ChooseDestination(&exitCode)) return exitCode;
  FollowUpSkipped = g_switches.extractOnly;  // /X, or /D for a wrapper
  LogLine(kLogDestination, DestDir);
  if (!RunExtraction()) {
    exitCode = ExitCodeForRun(static_cast<ResultCode>(g_extractStatus.Result.load()),
                              g_extractStatus.AbortAnswered != 0, g_extractStatus.WriteError);
  } else if (!g_switches.extractOnly) {
    LaunchFollowUp(g_switches.followUpExtra, InstallerWrapper, &exitCode);
  }
  // The wrapper leaves nothing behind, whatever the outcome.
  if (InstallerWrapper) RemovePrivateFolder(DestDir);
  return exitCode;
}

// "exit code N: <what the system says N means>".
void LogExitCode(uint32_t exitCode) {
  char text[kSystemMessageSize + 16];
  const int length = wsprintfA(text, "%u: ", exitCode);
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                         FORMAT_MESSAGE_MAX_WIDTH_MASK,
                     nullptr, exitCode, 0, text + length, kSystemMessageSize, nullptr) == 0) {
    text[length - 2] = '\0';  // no text for this number: the number alone
  }
  LogLine(kLogExitCode, text);
}

}  // namespace

bool ChooseDestination(uint32_t* exitCode) {
  // Stored before the branch: the destination dialog shows it.
  bool wrapperAsked = false;
  RequiredSize = ReadArchiveSummary(&AutomaticMode, &wrapperAsked);
  const char* given = g_switches.destination;
  // The installer wrapper runs its program in a private folder and removes
  // it; /D or /X ask for the files themselves, so they make it a plain
  // automatic extraction that keeps them (and, with /X, starts nothing).
  InstallerWrapper = wrapperAsked && given[0] == '\0' && !g_switches.extractOnly;
  if (wrapperAsked && given[0] != '\0') g_switches.extractOnly = true;
  bool chosen;
  if (!AutomaticMode && g_uiLevel == UiLevel::Full) {
    lstrcpyA(DestDir, given);  // proposed in the dialog's field when given
    EnsureAppIcon();
    INT_PTR choice = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                     DestinationDialogProc, 0);
    chosen = choice == IDOK;
    *exitCode = choice == -1 ? kExitCannotRun : kExitUserStopped;
  } else if (AutomaticMode && (given[0] == '\0' || RequiredSize == 0)) {
    // The automatic choice; it reports a damaged header (required size 0)
    // also when /D names a folder.  The wrapper's private folder goes into
    // the temporary folder or straight into a drive's root, never into a
    // folder of a fixed name that anyone may have made beforehand.
    chosen = ChooseAutomaticDestination(RequiredSize, InstallerWrapper);
    *exitCode = RequiredSize == 0 ? kExitDamagedHeader : kExitNoDestination;
    if (chosen && InstallerWrapper) {
      chosen = CreatePrivateFolder(DestDir);
      *exitCode = kExitCannotCreate;
    }
  } else {
    // No dialog: the folder given, or the one the dialog would propose; an
    // existing file is replaced, since nobody is there to be asked.
    SkipOverwritePrompt = 1;
    chosen = given[0] != '\0' ? lstrcpyA(DestDir, given) != nullptr : ReadTemporaryFolder();
    *exitCode = kExitNoDestination;
  }
  if (chosen) *exitCode = kExitSuccess;
  return chosen;
}

uint32_t RunStub(const char* commandLine) {
  const CommandLineVerdict verdict = ParseStubCommandLine(commandLine, IsSystemLeadByte, &g_switches);
  g_uiLevel = g_switches.ui;
  switch (verdict) {
    case CommandLineVerdict::ShowHelp:
      ShowSwitchList(false);
      return kExitSuccess;
    case CommandLineVerdict::BadSwitch:
      ShowSwitchList(true);
      return kExitBadCommandLine;
    case CommandLineVerdict::PathTooLong:
      ShowSwitchList(true);
      return kExitPathTooLong;
    case CommandLineVerdict::Run:
      break;
  }
  // Nothing is extracted when the log asked for cannot be kept.
  if (g_switches.logPath[0] != '\0' && !OpenRunLog(g_switches.logPath)) return kExitLogFailure;
  LogLine(kLogStart, commandLine);
  const uint32_t exitCode = RunPhases();
  LogExitCode(exitCode);
  return exitCode;
}
