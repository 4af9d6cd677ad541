#pragma once
#include <windows.h>

#include <string>

class CJXEvent;
class CNamedMutex;
class CSettings;

// What the engine takes from the program it runs in: the settings it syncs
// by, the storage mutex, the workers' stop event, the main frame that hears
// of a session error, and the texts of its status items and of the
// conflict-copy name (by the ids of BrelioSync/EngineStringIds.h). The
// desktop program is one host; the headless tools are others. The host
// outlives the sync manager it is given to.
class IEngineHost {
public:
    // Read by the workers while they run; written only on the host's thread
    // while none runs.
    virtual const CSettings& GetSettings() const = 0;
    virtual CNamedMutex& GetStorageMutex() = 0;
    virtual CJXEvent& GetStopEvent() = 0;
    // FALSE, with nothing posted, while the host has no main frame.
    virtual BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The text of a string id, empty when the id is missing.
    virtual std::wstring LoadText(UINT stringId) const = 0;

protected:
    ~IEngineHost() = default;
};
