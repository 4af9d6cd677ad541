#pragma once
// Ids of the program's string table. Plain defines: the resource compiler
// reads this file too.

#define IDS_TRAY_TIP 128
#define IDS_APP_TITLE 1000
#define IDS_SYNC_STARTED 1014
#define IDS_SYNC_COMPLETED 1015
#define IDS_CONFIRM_SIGN_OUT 2000
#define IDS_KEEP_SYNC_DATA 2001
#define IDS_CONFLICT_COPY_NAME 6002
#define IDS_SYNC_FOLDER_GONE 6100
#define IDS_WRONG_TENANT 8002
#define IDS_INIT_FAILED 8003
#define IDS_SIGN_IN_SETTINGS_WRONG 8005
#define IDS_DRIVE_SERVICE_DISABLED 8006
#define IDS_SYNC_DATA_NOT_REPLACED 8010
