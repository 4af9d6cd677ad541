#include "CurrentSchemaStamps.h"

#include <iterator>

namespace {

// A process works with one database, a test program with a few: the
// oldest state gives way when all places are taken.
constexpr size_t kPlaces = 8;

// Plain statics: the overlay library keeps them too, and has nothing to
// build at load or tear down at unload.
SRWLOCK g_lock = SRWLOCK_INIT;
DatabaseStamp g_stamps[kPlaces];
bool g_taken[kPlaces] = {};
size_t g_next = 0;

// The same file as it was made: one written since takes the place of its
// earlier state.
bool IsSameFile(const DatabaseStamp& a, const DatabaseStamp& b) { return a.file.creation == b.file.creation; }

}  // namespace

bool IsKnownCurrent(const DatabaseStamp& stamp) {
    ::AcquireSRWLockShared(&g_lock);
    bool known = false;
    for (size_t i = 0; i < kPlaces && !known; ++i) known = g_taken[i] && g_stamps[i] == stamp;
    ::ReleaseSRWLockShared(&g_lock);
    return known;
}

void RememberCurrent(const DatabaseStamp& stamp) {
    ::AcquireSRWLockExclusive(&g_lock);
    size_t place = kPlaces;
    for (size_t i = 0; i < kPlaces && place == kPlaces; ++i)
        if (g_taken[i] && IsSameFile(g_stamps[i], stamp)) place = i;
    if (place == kPlaces) {
        place = g_next;
        g_next = (g_next + 1) % std::size(g_stamps);
    }
    g_stamps[place] = stamp;
    g_taken[place] = true;
    ::ReleaseSRWLockExclusive(&g_lock);
}
