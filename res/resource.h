#pragma once

// Resource ids of taplinar.rc, shared by the resource script and the code.
// Several control ids repeat across dialogs; each dialog has its own names.

// Dialog templates
#define IDD_ABOUTBOX            100
#define IDD_TAPLINAR_DIALOG     102
#define IDD_PORT_SETTING        129
#define IDD_LOG_SETTING         130

// Menu, strings, icon, bitmaps
#define IDR_MAINMENU            130
#define IDS_ABOUTBOX            101
#define IDR_MAINFRAME           128
#define IDB_SKIN_FRAME          131
#define IDB_SKIN_BUTTONS        132

// System menu item that opens the about box
#define IDM_ABOUTBOX            0x0010

// Main window
#define IDC_LOG1                1000
#define IDC_LOG2                1001
#define IDC_HEADER1             1007
#define IDC_HEADER2             1008

// About box
#define IDC_VERSION_TEXT        1009

// Port settings dialog
#define IDC_PORT1               1004
#define IDC_PORT2               1005
#define IDC_SPEED               1006
#define IDC_PARITY              1007
#define IDC_STOPBIT             1008
#define IDC_DATABIT             1009
#define IDC_FLOW                1013
#define IDC_REFRESH             1015

// Log settings dialog
#define IDC_DATA_WIDTH          1010
#define IDC_DATA_VIEW           1011
#define IDC_SIGNAL_MODE         1014

// Menu commands
#define ID_FILE_EXIT            32771
#define ID_VIEW_LOG_CLEAR       32772
#define ID_HELP_VERSION         32773
#define ID_FILE_PORT_SETTING    32774
#define ID_VIEW_MONITOR         32775
#define ID_VIEW_LOG_SETTING     32776
#define ID_FILE_EXPORT_LOG      32777
#define ID_FILE_RECORD_LOG      32778
