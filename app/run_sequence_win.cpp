#include "app/run_sequence.h"

#include <windows.h>

#include "app/auto_destination.h"
#include "app/follow_up.h"
#include "archive/stub_reader.h"
#include "ui/dialogs.h"
#include "ui/module_instance.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"

int AutomaticMode;

bool ChooseDestination() {
  // Stored before the branch: the destination dialog shows it.
  RequiredSize = ReadArchiveSummary(&AutomaticMode);
  if (!AutomaticMode) {
    EnsureAppIcon();
    INT_PTR choice = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                     DestinationDialogProc, 0);
    return choice == IDOK;
  }
  return ChooseAutomaticDestination(RequiredSize);
}

void RunStub() {
  if (!ChooseDestination()) return;
  if (!RunProgressDialog()) return;
  LaunchFollowUp();
}
