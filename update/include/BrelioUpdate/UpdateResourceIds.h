#pragma once
// Ids of the update library's resources. Plain defines: the resource
// compiler reads this file too.

#define IDS_UPDATE_TITLE 101
#define IDS_UPDATE_DOWNLOADING 1000
#define IDS_UPDATE_MAJOR 4000
#define IDS_UPDATE_MINOR 4001
#define IDS_UPDATE_FILE 4002
#define IDS_UPDATE_FAILED 8000
#define IDS_UPDATE_FOLDER_IN_USE 8001

#define IDD_UPDATE_PROGRESS 103
#define IDC_UPDATE_PROGRESS 1001
#define IDC_UPDATE_STATUS 1002
