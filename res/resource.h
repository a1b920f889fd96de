#pragma once

// Resource ids of the tool; numbers are fixed, other code and the tests rely on them.

// Icon, version block, manifest
#define IDI_MOVARA              102

// Main window, dialog template 101
#define IDD_MAIN                101
#define IDB_EXIT                2
#define IDL_PROFILES            1001
#define IDB_SELECT_USER         1002
#define IDE_PROFILES_DIR        1003
#define IDB_BROWSE              1004
#define IDB_SHOW_NET_PCS        1005
#define IDB_REMOTE_SELECT_USER  1006
#define IDE_MACHINE_NAME        1009
#define IDB_CONNECT_REG         1010
#define IDL_REMOTE_USERS        1011
#define IDC_GET_APPS            1012
// Beyond the specified controls: what the running job is doing.
#define IDC_PROGRESS            1013

// Network computer browser, dialog template 103
#define IDD_NET_BROWSER         103
#define IDT_NET_TREE            1006
#define IDL_NET_COMPUTERS       1007

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
