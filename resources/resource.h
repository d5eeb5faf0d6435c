// Resource ids of Larkspur.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX            100
#define IDD_MAIN                102
#define IDD_FASTCHECK           129
#define IDD_LISTPAGE            130
#define IDD_HOSTS               131
#define IDD_OTHER               132
#define IDD_DUTY                163

// Strings
#define IDS_ABOUTBOX            101

// Icons and bitmaps
#define IDR_MAINFRAME           128
#define IDB_BANNER              152
#define IDB_ABOUT               153
#define IDB_UPDATE_FRAME1       157
#define IDB_UPDATE_FRAME2       159
#define IDB_UPDATE_FRAME3       160
#define IDB_UPDATE_FRAME4       161
#define IDB_UPDATE_FRAME5       162

// Menus
#define IDR_MENU_HIJACK         133
#define IDR_MENU_ADDON          134
#define IDR_MENU_LSP            135
#define IDR_MENU_FILETYPE       141
#define IDR_MENU_FIREWALL       151

// Data resources
#define IDR_HOST                140
#define IDR_SAFEBOOT_WIN2000    144
#define IDR_SAFEBOOT_WINXP      145
#define IDR_SAFEBOOT_WIN2003    146
#define IDR_SAFEBOOT_VISTA      147
#define IDR_SAFEBOOT_WIN7       148
#define IDR_PCGIF               156

// System menu command of the about entry
#define IDM_ABOUTBOX            0x0010
#define IDM_SAVEREPORT          0x0020

// Main window
#define IDC_TAB                 1000
#define IDC_PICTURE             1020
#define IDC_BANNER              1021

// About box
#define IDC_SUPPORT_MAIL        1019
#define IDC_SAMPLE_MAIL         1020
#define IDC_WEBSITE             1021

// Fast check page
#define IDC_CHECK_LIST          1001
#define IDC_REPAIR              1002
#define IDC_ABOUT               1003
#define IDC_DETECT              1004

// List pages
#define IDC_LIST                1005

// HOSTS page
#define IDC_HOSTS_EDIT          1006
#define IDC_HOSTS_BACKUP        1007
#define IDC_HOSTS_SAVE          1008
#define IDC_HOSTS_REFRESH       1009
#define IDC_HOSTS_DEFAULT       1010

// Other-repairs page
#define IDC_FIX_HIDDEN_FOLDERS  1008
#define IDC_FIX_TASKMGR         1009
#define IDC_FIX_MBR             1010
#define IDC_FIX_HIDDEN_OPTION   1011
#define IDC_FIX_IE_OPTIONS      1012
#define IDC_FIX_FILE_EXTENSIONS 1013
#define IDC_FIX_REGEDIT         1014
#define IDC_FIX_TRAY_MENU       1015
#define IDC_FIX_IE_LINKS        1016
#define IDC_FIX_SAFEBOOT        1017
#define IDC_SELECT_ALL          1018
#define IDC_FIX_REPAIR          1019

// Context menu commands
#define ID_HIJACK_REFRESH       32773
#define ID_HIJACK_DELETE_CHECKED 32777
#define ID_HIJACK_DELETE_ALL    32778
#define ID_ADDON_REFRESH        32784
#define ID_ADDON_DISABLE        32785
#define ID_ADDON_ENABLE         32786
#define ID_ADDON_DELETE         32787
#define ID_ADDON_LOCATE         32788
#define ID_LSP_REFRESH          32793
#define ID_LSP_BACKUP           32794
#define ID_LSP_REPAIR           32795
#define ID_LSP_LOCATE           32796
#define ID_LSP_VERIFY           32798
#define ID_FILETYPE_REFRESH     32801
#define ID_FILETYPE_REPAIR      32802
#define ID_FIREWALL_REFRESH     32806
#define ID_FIREWALL_LOCATE      32807
#define ID_FIREWALL_DELETE      32808

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
