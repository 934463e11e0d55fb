// Resource ids of the main dialog, shared by the resource script and the
// code. The control numbers must equal the ButtonId and ControlId values of
// window.h (checked at compile time in window_win32.cpp); the resource
// compiler cannot read that header's enums, hence the copies.
#pragma once

#define IDI_APP_ICON 103

#define IDC_MOD_LIST 1001
#define IDC_ADD_MOD 1003
#define IDC_INSTALL 1004
#define IDC_REMOVE_MOD 1005
#define IDC_EXTRACT_TO 1007
#define IDC_BROWSE 1008
