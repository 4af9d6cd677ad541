#include "BrelioServices/Settings.h"
#include "BrelioSync/EngineHost.h"
#include "BrelioSync/StorageUpdateThread.h"

StorageUpdateSettings StorageUpdateSettings::FromApp() {
    const CSettings& host = engine_host::Settings();
    StorageUpdateSettings settings;
    settings.syncRoot = host.GetRootDir();
    settings.databasePath = host.GetLocalStoragePath();
    settings.storageMutex = &engine_host::StorageMutex();
    settings.selectedFolders = &host.GetSyncFolders();
    return settings;
}
