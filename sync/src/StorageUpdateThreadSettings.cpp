#include "BrelioServices/Settings.h"
#include "BrelioSync/EngineHost.h"
#include "BrelioSync/StorageUpdateThread.h"

StorageUpdateSettings StorageUpdateSettings::FromHost(IEngineHost& host) {
    const CSettings& stored = host.GetSettings();
    StorageUpdateSettings settings;
    settings.syncRoot = stored.GetRootDir();
    settings.databasePath = stored.GetLocalStoragePath();
    settings.storageMutex = &host.GetStorageMutex();
    settings.selectedFolders = &stored.GetSyncFolders();
    return settings;
}
