// Runs one dialog on request for the end-to-end dialog tests, then prints
// what the dialog left behind (end value, DestDir, the overwrite setting,
// the worker's Result and answers) as "key=value" lines.
//
//   dialog_host destination [REQUIRED_SIZE]
//   dialog_host progress SCRIPT [no-thread]    (SCRIPT: see scripted_exchange.cpp)
//   dialog_host overwrite PATH
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "extract/extract_status.h"
#include "scripted_exchange.h"
#include "ui/module_instance.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"

int main(int argc, char** argv) {
  InitCommonControls();
  if (argc < 2) return 2;
  const char* mode = argv[1];
  if (std::strcmp(mode, "destination") == 0) {
    RequiredSize = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0)) : 0;
    EnsureAppIcon();
    const INT_PTR end = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                        DestinationDialogProc, 0);
    std::printf("end=%d\nDestDir=%s\nSkipOverwritePrompt=%d\n", static_cast<int>(end), DestDir,
                static_cast<int>(SkipOverwritePrompt));
    return 0;
  }
  if (std::strcmp(mode, "progress") == 0 && argc > 2) {
    SetWorkerScript(argv[2]);
    if (argc > 3 && std::strcmp(argv[3], "no-thread") == 0) FailWorkerThreadStart();
    const bool done = RunProgressDialog();
    std::printf("done=%d\nResult=%d\nanswers=%s\n", done ? 1 : 0,
                static_cast<int>(g_extractStatus.Result.load()), OverwriteAnswers().c_str());
    return 0;
  }
  if (std::strcmp(mode, "overwrite") == 0 && argc > 2) {
    lstrcpynA(g_extractStatus.OverwritePath, argv[2], sizeof(g_extractStatus.OverwritePath));
    std::printf("answer=%d\n", RunOverwriteDialog());
    return 0;
  }
  return 2;
}
