#pragma once
#include <cstddef>

namespace brelio::test {

// Watches heap blocks handed to the program (sync items) and notes when
// each is freed, whoever frees it. The test binary's operator delete
// reports to it; nothing is allocated while watching.
void TrackBlock(const void* block);
// Blocks tracked since the last reset that are not freed yet.
size_t TrackedAlive();
void ResetTracking();

}  // namespace brelio::test
