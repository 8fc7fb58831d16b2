// Resource and control ids shared by the resource script and the code.
#pragma once

#define IDI_APP_ICON 130
#define IDD_DESTINATION 131
#define IDD_PROGRESS 132
#define IDR_LOCATOR 133
#define IDD_OVERWRITE 134
