// Resource ids of the setup program, shared by the resource script and code.
#pragma once

// Dialogs.
#define IDD_DESTINATION 102
#define IDD_DIRECTX_ERROR 103
#define IDD_WELCOME 106
#define IDD_READY 107
#define IDD_PROGRESS 108
#define IDD_RESTART 109
#define IDD_DIRECTX_OFFER 110
#define IDD_CANCEL_QUESTION 111
#define IDD_LAUNCHER 113

// The program's icon.
#define IDI_SETUP 106

// Launcher (113).
#define IDC_PLAY 1022
#define IDC_INSTALL 1023

// Destination page (102).
#define IDC_DEST_BROWSE 1003
#define IDC_GROUP_CHANGE 1004
#define IDC_DEST_EDIT 1005
#define IDC_GROUP_NONE 1017
#define IDC_GROUP_START_MENU 1018
#define IDC_SPACE_AVAILABLE 1019
#define IDC_SPACE_REQUIRED 1020

// Progress page (108).
#define IDC_STATUS_LINE 1012
#define IDC_TOTAL_BAR 1013
#define IDC_TOTAL_LABEL 1014
#define IDC_FILE_BAR 1015

// Dialog 103 and the cancel question (111).
#define IDC_INSTALL_WITHOUT_DIRECTX 1020
#define IDC_EXIT_SETUP 1021
