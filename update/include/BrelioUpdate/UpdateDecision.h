#pragma once
#include "BrelioCore/JXVersion.h"

// The answer of an update check.
enum class UpdateCheck : int {
    kMajor = 0,  // install; the user is told
    kMinor = 1,  // the user is asked
    kNone = 2,   // nothing newer
    kError = 3,  // the manifest could not be had
};

// Compares the running version with the offered one. `force` installs as a
// major update whatever the versions say. Otherwise a difference in the
// first three parts decides (offered higher: major, lower: none), and when
// they are equal the fourth part makes at most a minor update.
UpdateCheck DecideUpdate(bool force, const CJXVersion& running, const CJXVersion& offered);
