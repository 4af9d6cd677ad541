#pragma once
#include <windows.h>

class CJXEvent;
class CNamedMutex;
class CSettings;

// What the engine takes from the program it runs in: the settings it syncs
// by, the storage mutex, the workers' stop event, and the main frame that
// hears of a session error. This is the engine's only way to the
// application object; nothing else in the engine knows it.
namespace engine_host {
const CSettings& Settings();
CNamedMutex& StorageMutex();
CJXEvent& StopEvent();
// FALSE, with nothing posted, while the program has no main frame.
BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace engine_host
