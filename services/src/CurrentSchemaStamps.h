#pragma once
#include "BrelioServices/DatabaseStamp.h"

// The states of database files whose schema this process has found to be
// its own, so that a file is checked once and not at every open. A state
// (DatabaseStamp.h) holds the file's creation and change times, which a
// file put in its place or made anew does not share, and its size, last
// write and header change counter, which any write moves on: a replaced
// file, or one written by anyone since, is another state and is checked
// again.
[[nodiscard]] bool IsKnownCurrent(const DatabaseStamp& stamp);
// Remembers the state, in place of any earlier one of the same file.
void RememberCurrent(const DatabaseStamp& stamp);
