#include "ui/ui_state.h"

#include "ui/module_instance.h"
#include "ui/resource_ids.h"

HICON AppIcon = nullptr;
uint32_t RequiredSize = 0;
HWND ProgressWindow = nullptr;
HWND DestinationWindow = nullptr;
bool FollowUpSkipped = false;

void EnsureAppIcon() {
  if (AppIcon == nullptr) AppIcon = LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDI_APP_ICON));
}
