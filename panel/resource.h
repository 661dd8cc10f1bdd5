// The control panel's resource ids: string table, dialogs, controls, images. Both builds share
// them; the two-port build only uses fewer of them.
#pragma once

// String table.
#define IDS_ABOUTBOX 101       // "&About SWITCH..."
#define IDS_COMPANY 102        // "Generic": the configuration key's company word
#define IDS_PRODUCT 103        // "Selvane"
#define IDS_VERSION 104        // "2.00"
#define IDS_TRAY_PROGRAM 112   // "TASKBAR.exe"
#define IDS_MASS_STORAGE 113   // "Mass Storage Device"
#define IDS_SCANNER 114        // "Scanner"
#define IDS_TWO_PORT_MODEL 115 // "Selvane 2-1"
#define IDS_TRANSFER_MODEL 116 // "Selvane 2-2 / 4-2"

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_SWITCH_DIALOG 102
#define IDD_SETTING_DIALOG 129

// Images.
#define IDR_MAINFRAME 128        // the program's icon
#define IDB_PICTURE 135          // the picture at the top left of every dialog
#define IDB_PICTURE_TWO_PORT 134 // the same picture, as the two-port build names it

// The system menu's about item.
#define IDM_ABOUTBOX 0x0010

// Main dialog.
#define IDC_MODE_ONE_PC 1000
#define IDC_MODE_MANY_PCS 1001
#define IDC_MODE_FILE_TRANSFER 1002
#define IDC_LPT 1003
#define IDC_PORT_A 1004
#define IDC_PORT_B 1005
#define IDC_PORT_C 1006
#define IDC_PORT_D 1007
#define IDC_SETTINGS 1008
#define IDC_CURRENT_SPOOLER 1029

// Settings dialog.
#define IDC_NAME_A 1009
#define IDC_NAME_B 1010
#define IDC_NAME_C 1011
#define IDC_NAME_D 1012
#define IDC_HEADING_PORT 1017
#define IDC_HEADING_NAME 1018
#define IDC_HEADING_DEVICE 1019
#define IDC_SPOOLER_A 1020
#define IDC_SPOOLER_B 1021
#define IDC_SPOOLER_C 1022
#define IDC_SPOOLER_D 1023
#define IDC_DEVICE_A 1032
#define IDC_DEVICE_B 1033
#define IDC_DEVICE_C 1034
#define IDC_DEVICE_D 1035
