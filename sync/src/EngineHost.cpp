#include "BrelioSync/EngineHost.h"

#include "BrelioApp/DriveApp.h"

namespace engine_host {

const CSettings& Settings() { return CDriveApp::GetInstance()->GetSettings(); }

CNamedMutex& StorageMutex() { return CDriveApp::GetInstance()->GetStorageMutex(); }

CJXEvent& StopEvent() { return CDriveApp::GetInstance()->GetStopEvent(); }

BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) {
    return CDriveApp::GetInstance()->PostToMainFrame(message, wParam, lParam);
}

}  // namespace engine_host
