#pragma once
// Ids of the program's string table. Plain defines: the resource compiler
// reads this file too.

// The engine's own texts.
#include "BrelioSync/EngineStringIds.h"

#define IDS_TRAY_TIP 128
#define IDS_APP_TITLE 1000
#define IDS_CONFIRM_SIGN_OUT 2000
#define IDS_KEEP_SYNC_DATA 2001
#define IDS_WRONG_TENANT 8002
#define IDS_INIT_FAILED 8003
#define IDS_SIGN_IN_SETTINGS_WRONG 8005
#define IDS_DRIVE_SERVICE_DISABLED 8006
#define IDS_SYNC_DATA_NOT_REPLACED 8010

// The options window, its pages and the remote-folder picker
#define IDS_OPTIONS_TITLE 1001
#define IDS_NAV_SYNC_SETTINGS 1002
#define IDS_NAV_FOLDERS 1003
#define IDS_NAV_LOGIN 1005
#define IDS_BUTTON_OK 1007
#define IDS_BUTTON_CANCEL 1008
#define IDS_FOLDER_NOT_VALID 8000
#define IDS_CHOOSE_SYNC_FOLDERS 8001
#define IDS_SYNC_FOLDER_NOT_SET 8004
// Sign-in windows and the sync status panel
#define IDS_TENANT_TITLE 1012
#define IDS_TENANT_NEXT 1013
#define IDS_LOGIN_TITLE 1016
#define IDS_TENANT_DOMAIN_SUFFIX 1017
#define IDS_TIME_FORMAT 6001
#define IDS_SYNC_IN_PROGRESS 6003
