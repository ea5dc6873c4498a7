// Resource identifiers of setup: dialog templates, controls, strings, icon and bitmap.
#pragma once

// Dialog templates.
#define IDD_SETUP_DIALOG 102
#define IDD_LICENCE_PAGE 131
#define IDD_PORT_SETTINGS_PAGE 134
#define IDD_FINISH_PAGE 135
#define IDD_MODEL_PAGE 136
#define IDD_EXISTING_DRIVER_PAGE 138
#define IDD_PRINTER_NAME_PAGE 139
#define IDD_TEST_PAGE_PAGE 140
#define IDD_PORT_SETTINGS_DLG 142
#define IDD_PLEASE_WAIT 154

#define IDR_MAINFRAME 128
#define IDB_SIDE_PANEL 129
// The picture the test page prints.
#define IDB_TEST_PAGE 147

// Buttons every wizard page has.
#define IDC_NEXT 1003
#define IDC_PAGE_CANCEL 1004
#define IDC_BACK 1032
#define IDC_PAGE_HEADER 1031

// The frame's side panel.
#define IDC_SEPARATOR 1005
#define IDC_WEB_LINK 1003
#define IDC_EMAIL_LINK 1006
#define IDC_CREDIT_LINK 1040
#define IDC_MAKER_LABEL 1041
#define IDC_COPYRIGHT_LABEL 1042

// Licence page.
#define IDC_LICENCE_TEXT 1001
#define IDC_ACCEPT 1002
#define IDC_DECLINE 1005
#define IDC_INSTRUCTION 1033

// Port settings page and dialog.
#define IDC_COM_PORT 1007
#define IDC_BAUD_RATE 1008
#define IDC_DATA_BITS 1009
#define IDC_PARITY 1010
#define IDC_STOP_BITS 1011
#define IDC_RESTORE_DEFAULTS 1012
#define IDC_NO_CONFIRM 1034
#define IDC_NO_COM_PORT 1043

// Model page.
#define IDC_MODEL_LIST 1018

// The last four pages. The first and second choice of a page's question are 1021 and 1022
// on each of them; the finish page shows its values where the name page has its fields.
#define IDC_DRIVER_MODEL 1020
#define IDC_KEEP_DRIVER 1021
#define IDC_REPLACE_DRIVER 1022
#define IDC_DEFAULT_YES 1021
#define IDC_DEFAULT_NO 1022
#define IDC_TEST_PAGE_YES 1021
#define IDC_TEST_PAGE_NO 1022
#define IDC_PRINTER_NAME 1023
#define IDC_NOT_SHARED 1024
#define IDC_SHARED 1025
#define IDC_SHARE_NAME 1026
#define IDC_SUMMARY_NAME 1023
#define IDC_SUMMARY_SHARE 1026
#define IDC_SUMMARY_PORT 1027
#define IDC_SUMMARY_MODEL 1028
#define IDC_SUMMARY_DEFAULT 1029
#define IDC_SUMMARY_TEST_PAGE 1030

// Please-wait window.
#define IDC_PLEASE_WAIT_TEXT 1036

// The installation engine: messages, names and the folders of the setup medium.
#define IDS_NO_SYSTEM_DIRECTORY 3
#define IDS_REPLACE_PRINTER 7
#define IDS_MONITOR_NAME 8
#define IDS_WIN2000_MONITOR_FOLDER 9
#define IDS_MONITOR_DLL 10
#define IDS_MONITOR_UI_DLL 11
#define IDS_WIN98_FOLDER 30
#define IDS_WIN2000_FOLDER 31
#define IDS_UNIDRV_FOLDER 35
#define IDS_CHARGER_PRESENT 36
#define IDS_WIN98_MONITOR_FOLDER 37
#define IDS_NT4_MONITOR_FOLDER 38
#define IDS_NT4_FOLDER 39
#define IDS_UNABLE_TO_COMMUNICATE 28
#define IDS_WIN2000_PROCESSOR_DLL 29
#define IDS_WIN98_PROCESSOR_FOLDER 32
#define IDS_WIN2000_PROCESSOR_FOLDER 33
#define IDS_WIN98_PROCESSOR_DLL 34
#define IDS_NT4_PROCESSOR_FOLDER 43
#define IDS_NT4_PROCESSOR_DLL 44
#define IDS_TEST_PAGE_ERROR 48

// The model catalogue's parallel lists and shared fields.
#define IDS_MODEL_NAMES 12
#define IDS_HARDWARE_IDS 13
#define IDS_WIN2000_DATA_FILES 14
#define IDS_WIN98_DATA_FILES 15
#define IDS_MFG_NAME 16
#define IDS_PROVIDER 17
#define IDS_DEFAULT_DATATYPE 18
#define IDS_WIN2000_DRIVER 19
#define IDS_WIN2000_CONFIG 20
#define IDS_WIN2000_HELP 21
#define IDS_WIN2000_DEPENDENT 22
#define IDS_WIN98_DRIVER 23
#define IDS_WIN98_CONFIG 24
#define IDS_WIN98_HELP 25
#define IDS_WIN98_DEPENDENT 26
#define IDS_SELECT_MODEL 27
#define IDS_NT4_DRIVER 40
#define IDS_NT4_CONFIG 41
#define IDS_NT4_HELP 42
#define IDS_NT4_DATA_FILES 45
#define IDS_NT4_DEPENDENT 46

// Licence page.
#define IDS_LICENCE_FILE 49
#define IDS_LICENCE_INSTRUCTION 50
