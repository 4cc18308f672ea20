// Resource, control and command ids of Tapwire. The numbers are shared by the
// dialog templates, the menu resource and the handlers; keep them as they are.
#pragma once

// Dialogs, menu, icon, bitmaps, strings
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_TAPWIRE_DIALOG      102
#define IDR_MAINFRAME           128
#define IDR_MAIN_MENU           135
#define IDB_LOGO                139
#define IDB_LAMP_GREY           140
#define IDB_LAMP_GREEN          141
#define IDB_LAMP_AMBER          142

// Main dialog controls
#define IDC_BAUD_RATE           1003
#define IDC_PARITY              1004
#define IDC_DATA_BITS           1005
#define IDC_STOP_BITS           1006
#define IDC_START_STOP          1017
#define IDC_PORT_LIST           1019
#define IDC_LANG_ENGLISH        1036
#define IDC_LANG_CHINESE        1037
#define IDC_GROUP_SERIAL        1038
#define IDC_LABEL_PORT          1039
#define IDC_LABEL_PARITY        1040
#define IDC_LABEL_BAUD_RATE     1041
#define IDC_LABEL_DATA_BITS     1042
#define IDC_LABEL_STOP_BITS     1043
#define IDC_STATUS_LINE         1048
#define IDC_STATUS_LAMP         1050
#define IDC_LOGO                1051

// About dialog controls (their own template, so the numbers may repeat)
#define IDC_ABOUT_VERSION       1038
#define IDC_ABOUT_COPYRIGHT     1039
#define IDC_ABOUT_COMPANY       1041

// System menu entry appended at start-up; system commands keep the low four bits free
#define IDM_ABOUTBOX            0x0010

// Menu bar commands
#define ID_HELP_ABOUT           32772
#define ID_HELP_MANUAL          32778
#define ID_ENCODING_ASCII       32781
#define ID_ENCODING_UNICODE     32782
#define ID_ENCODING_UNICODE_BE  32783
#define ID_ENCODING_UTF8        32784
#define ID_ENCODING_GBK         32785
#define ID_ENCODING_SHIFT_JIS   32786
#define ID_ENCODING_THAI        32787
#define ID_ENCODING_LATIN1      32788
#define ID_STARTUP_BOOTRUN      32791
#define ID_STARTUP_RUNMINI      32792
#define ID_STARTUP_RUNSTART     32794
#define ID_STARTUP_NONE         32795
#define ID_ENCODING_ARABIC      32796
// Settings › Typing
#define ID_TYPING_NO_PAUSE      32801
#define ID_TYPING_PAUSE_5       32802
#define ID_TYPING_PAUSE_20      32803
#define ID_TYPING_PAUSE_50      32804
#define ID_TYPING_UNICODE       32805
#define ID_TYPING_KEYS          32806
