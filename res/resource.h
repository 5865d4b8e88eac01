// Resource and control ids of Tandrel. Every dialog has its own block,
// named after the dialog; the numbers are fixed by the dialog templates.
#pragma once

// Dialog templates
#define IDD_PATHS           103
#define IDD_ITEM            110
#define IDD_PROPS           111
#define IDD_LIST            112
#define IDD_PROGRESS        113
#define IDD_LOAD_ERROR      114
#define IDD_WELCOME         115
#define IDD_FINISHED        118
#define IDD_REGISTERING     119
#define IDD_RESET           123
#define IDD_PROBE_HOST      127
#define IDD_EXCEPTION       128
#define IDD_ABOUT           129
#define IDD_HANG            140
#define IDD_REPORT          141

// Pictures
#define IDB_SIDE            131
#define IDB_LOGO            132

// Shared by every dialog: "OK", "&Next >", "&Yes", "&Finish"
#ifndef IDOK
#define IDOK                1
#endif

// 103, search paths
#define IDC_PATHS_LIST              1002
#define IDC_PATHS_ADD               1003
#define IDC_PATHS_REMOVE            1004
#define IDC_PATHS_DEFAULTS          60
#define IDC_PATHS_RESET             62
#define IDC_PATHS_CANCEL            63
#define IDC_PATHS_RESCAN_FAILED     1021
#define IDC_PATHS_SUBDIVIDE         1022
#define IDC_PATHS_NO_PREFIX         1023
#define IDC_PATHS_RESCAN_EXISTING   1026

// 110, plug-in options
#define IDC_ITEM_WIDTH              1001
#define IDC_ITEM_HEIGHT             1002
#define IDC_ITEM_NAME               1003
#define IDC_ITEM_DETAILS            1004
#define IDC_ITEM_PRESET_PATH        1006
#define IDC_ITEM_ENABLE             1007
#define IDC_ITEM_PRESET_BROWSE      1008
#define IDC_ITEM_SYNTH              1009
#define IDC_ITEM_STEREO             1010
#define IDC_ITEM_NRPN               1011

// 111, plug-in properties
#define IDC_PROPS_CLSID             1004
#define IDC_PROPS_NAME              1005
#define IDC_PROPS_UNIQUE_ID         1014
#define IDC_PROPS_VST_VERSION       1015
#define IDC_PROPS_REPLACING         1016
#define IDC_PROPS_EVENTS            1017
#define IDC_PROPS_SYNTH             1018
#define IDC_PROPS_CLSID_PROPS       1019
#define IDC_PROPS_PATH              1020

// 112, plug-in list
#define IDC_LIST_PLUGINS            1002
#define IDC_LIST_PROPERTIES         1012
#define IDC_LIST_REPORT             1013

// 141, what became of every DLL
#define IDC_REPORT_NOTE             1001
#define IDC_REPORT_LIST             1002
#define IDC_REPORT_COPY             1003

// 113, progress
#define IDC_PROGRESS_STATUS         1022
#define IDC_PROGRESS_LIST           1027

// 114, load error
#define IDC_LOAD_ERROR_NAME         1001
#define IDC_LOAD_ERROR_STEP         1002

// 115, welcome
#define IDC_WELCOME_ABOUT           61
#define IDC_WELCOME_CANCEL          1023

// 118, finished
#define IDC_FINISHED_TEXT           1029

// 119, registering notice
#define IDC_REGISTERING_TEXT        1028

// 123, reset confirmation
#define IDC_RESET_NO                1026

// 128, exception
#define IDC_EXCEPTION_OPERATION     1001
#define IDC_EXCEPTION_POINT         1002

// 129, About box
#define IDC_ABOUT_COMMENTS          1031
#define IDC_ABOUT_PRODUCT           1032

// 140, plug-in not responding
#define IDC_HANG_NAME               1001
#define IDC_HANG_STEP               1002
#define IDC_HANG_WAITED             1003
#define IDC_HANG_ADVICE             1004
#define IDC_HANG_WAIT               1010
#define IDC_HANG_SKIP               1011
