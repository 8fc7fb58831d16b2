// Resource and control ids shared by the resource script and the code.
#pragma once

#define IDI_APP_ICON 130
#define IDD_DESTINATION 131
#define IDD_PROGRESS 132
#define IDR_LOCATOR 133
#define IDD_OVERWRITE 134

// Destination dialog (131).
#define IDC_DEST_FOLDER 1002
#define IDC_DEST_NO_CONFIRM 1003
#define IDC_DEST_MESSAGE 1004
#define IDC_DEST_BROWSE 1005

// Progress dialog (132); its Abort button is IDCANCEL.
#define IDC_PROGRESS_BAR 1006
#define IDC_PROGRESS_TEXT 1007

// Overwrite question (134); the button ids are the OverwriteAnswer values.
#define IDC_OVERWRITE_ONE 1
#define IDC_OVERWRITE_ABORT 1008
#define IDC_OVERWRITE_ICON 1009
#define IDC_OVERWRITE_ALL 1010
#define IDC_OVERWRITE_PATH 1011
