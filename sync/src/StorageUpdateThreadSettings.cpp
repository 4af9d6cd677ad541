#include "BrelioApp/DriveApp.h"
#include "BrelioSync/StorageUpdateThread.h"

StorageUpdateSettings StorageUpdateSettings::FromApp() {
    CDriveApp* app = CDriveApp::GetInstance();
    StorageUpdateSettings settings;
    settings.syncRoot = app->GetSettings().GetRootDir();
    settings.databasePath = app->GetSettings().GetLocalStoragePath();
    settings.storageMutex = &app->GetStorageMutex();
    settings.selectedFolders = &app->GetSettings().GetSyncFolders();
    return settings;
}
