// Resource and control identifiers of the control panel.
#pragma once

#define IDD_MAIN            102
#define IDI_VELORA          103
#define IDR_SERVICE_EXE     104   // type "EXECUTE": the VeloraService executable, byte for byte
#define IDD_FOLDER          129

// Main window
#define IDC_TITLE           1036
#define IDC_VERSION         1037
#define IDC_STATUS          1028
#define IDC_MORE            1016
#define IDC_MORE_FRAME      1017
#define IDC_FOLDER_LABEL    1018
#define IDC_FOLDER_EDIT     1014
#define IDC_FOLDER_MENU     1015
#define IDC_APPLY           1013
#define IDC_START           1026
#define IDC_STOP            1027
#define IDC_RESTART         1032
#define IDC_PAUSE           1033
#define IDC_CONTINUE        1034
#define IDC_REMOVE          1035

// Folder menu
#define IDM_CHOOSE_FOLDER   1020
#define IDM_OPEN_EXPLORER   1021
#define IDM_VIEW_CONFIG     1022
#define IDM_VIEW_LOG        1023
#define IDM_DEVICES         1024  // the devices window, the menu's last item

// Folder dialog
#define IDC_SETUP_LABEL     1029
#define IDC_SETUP_EDIT      1030
#define IDC_SETUP_BROWSE    1031
