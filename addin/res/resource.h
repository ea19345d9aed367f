// Resource identifiers of VeloraAddIn.dll.
#pragma once

#define IDR_TYPELIB 1          // TYPELIB resource: the type library
#define IDR_ADDIN 102          // REGISTRY resource: the registration script
#define IDD_PROPPAGE 203       // the property page dialog
#define IDD_FTP_PROGRESS 204   // the FTP progress window
#define IDD_COPY_PROGRESS 205  // the progress window of copies to and from the handheld
#define IDI_MAP 210            // the map window's icon (large and small)
#define IDC_HAND_POINT 211     // map window cursors: over an object,
#define IDC_HAND_OPEN 212      // over an image that can be dragged,
#define IDC_HAND_CLOSED 213    // while dragging
#define IDC_PAGE_ABOUT 1001    // property page: name, version and contacts
#define IDC_PAGE_ZIP 1002      // property page: origin of the zip algorithms
#define IDC_FTP_STATUS 1003    // FTP progress window: status line
#define IDC_FTP_BAR 1004       // FTP progress window: progress bar
#define IDC_COPY_TEXT 204      // handheld copy window: size and paths
#define IDC_COPY_BAR 206       // handheld copy window: progress bar

#define IDS_PAGE_TITLE 103
#define IDS_ERRLOG_SOURCE 111
#define IDS_NO_STATUS_LINE 112
#define IDS_ERR_DESCRIPTION_EN 157   // "ErrDescription,..." alias of method 9
#define IDS_ERR_DESCRIPTION_RU 251   // "ОписаниеОшибки,..." alias of method 9
