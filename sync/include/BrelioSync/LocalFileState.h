#pragma once
#include <windows.h>

#include <cstdint>

// What a local file looked like at one moment: enough to tell whether it
// was written since.
struct LocalFileState {
    bool exists = false;
    uint64_t lastWriteTicks = 0;
    uint64_t size = 0;

    bool operator==(const LocalFileState&) const = default;
};

// Read without opening the file, so that an editor holding it open does not
// hide it.
LocalFileState ReadLocalFileState(const wchar_t* path);

// True when both files can be read and hold the same bytes.
bool HaveSameContent(const wchar_t* first, const wchar_t* second);
