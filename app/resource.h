// Resource identifiers shared by the code and the resource scripts.
#pragma once

#define IDS_DISPLAY_NAME 5101     // "Quabix archiver"
#define IDS_HELP_LINK 5102        // "Quabix help"
#define IDS_MANUAL_LINK 5103      // "Console QBX manual"
#define IDS_UNINSTALL_CAPTION 5104
#define IDS_UNINSTALL_DONE 5105
#define IDS_DELETE_MANUALLY 5106  // takes a path
#define IDS_CONFIRM_UNINSTALL 5107
#define IDS_CANNOT_OPEN_LIST 5108 // takes a file name
#define IDS_TYPE_ARCHIVE 5109
#define IDS_TYPE_ZIP 5110
#define IDS_TYPE_RECOVERY 5111
#define IDS_HOME_PAGE 5112
#define IDS_LINK_DESCRIPTION 5113
#define IDS_REBOOT_NEEDED 5114

// Setup dialog "SETUPDLG": the 14 archive types are 5101 + their index.
#define IDC_FIRST_TYPE 5101
#define IDC_LAST_TYPE 5114
#define IDC_DESKTOP 5115
#define IDC_START_MENU 5116
#define IDC_PROGRAMS 5117
#define IDC_SHELL_EXT 5118
#define IDC_CASCADED_MENU 5119
#define IDC_MENU_ICONS 5120
#define IDC_SELECT_ALL 5121
#define IDC_EXPLANATION 5122
#define IDC_CONTEXT_ITEMS 5123
#define IDC_HELP_BUTTON 9

// Done dialog "DONEDLG".
#define IDC_INSTALL_FOLDER 5101
#define IDC_RUN_ARCHIVER 5102
#define IDC_READ_HELP 5103
#define IDC_VIEW_LICENSE 5104
#define IDC_ORDER 5105
#define IDC_HOME_PAGE 5106
#define IDC_THANK_YOU 5107
#define IDC_INFO_TRIAL 5108
#define IDC_INFO_HOME 5109

// Context menu items dialog "CONTEXTITEMS": items 101 to 111.
#define IDC_FIRST_MENU_ITEM 101
#define IDC_LAST_MENU_ITEM 111
