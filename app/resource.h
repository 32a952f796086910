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
