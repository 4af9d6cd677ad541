#pragma once
// Ids of the program's resources other than strings. Plain defines: the
// resource compiler reads this file too.

// Icons
#define IDI_PROGRAM 128
#define IDI_STATE_DONE 223
#define IDI_STATE_FAILED 224
#define IDI_STATE_IN_PROGRESS 242

// Dialogs and menus
#define IDD_ABOUT 100
#define IDD_FOLDER_OPTIONS 201
#define IDD_LOGIN_OPTIONS 206
#define IDD_REMOTE_FOLDERS 215
#define IDR_TRAY_MENU 211

// The embedded UI font (RT_RCDATA)
#define IDR_EMBEDDED_FONT 4

// Bitmap of the folder page
#define IDB_FOLDER_PAGE 210

// PNG images: the panel's buttons, the logo, file-type icons
#define IDP_BUTTON_OPTIONS 203
#define IDP_BUTTON_FOLDER 204
#define IDP_BUTTON_WEB 205
#define IDP_LOGO 217
#define IDP_FILE_FOLDER 220
#define IDP_FILE_PDF 221
#define IDP_FILE_TEXT 222
#define IDP_FILE_AI 224
#define IDP_FILE_APK 225
#define IDP_FILE_CODE 226
#define IDP_FILE_UNUSED 227
#define IDP_FILE_SHEET 228
#define IDP_FILE_HWP 229
#define IDP_FILE_KEY 230
#define IDP_FILE_AUDIO 231
#define IDP_FILE_NUMBERS 232
#define IDP_FILE_PAGES 233
#define IDP_FILE_IMAGE 234
#define IDP_FILE_SLIDES 235
#define IDP_FILE_PSD 236
#define IDP_FILE_SKETCH 237
#define IDP_FILE_VIDEO 238
#define IDP_FILE_DOCUMENT 239
#define IDP_FILE_ARCHIVE 241

// Controls of the dialogs
#define IDC_ABOUT_VERSION 1019
#define IDC_ALL_FOLDERS 1001
#define IDC_SELECTED_FOLDERS 1002
#define IDC_CHOOSE_FOLDERS 1003
#define IDC_ROOT_FOLDER 1004
#define IDC_CHANGE_FOLDER 1005
#define IDC_LOG_OUT 1000
#define IDC_ACCOUNT 1006
#define IDC_KEEP_LOGIN 1007
#define IDC_AUTO_START 1010
#define IDC_FOLDER_TREE 1018

// Commands of the tray menu
#define ID_TRAY_OPEN 0x8011
#define ID_TRAY_FULL_SYNC 0x8014
#define ID_TRAY_PARTIAL_SYNC 0x8015
#define ID_TRAY_AUTO_TEST 0x8016
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141

// Pages of the options window, as commands of its navigation pane
#define ID_PAGE_FOLDER 105
#define ID_PAGE_LOGIN 106
