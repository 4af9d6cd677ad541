#include "ItemTracking.h"

#include <cstdlib>
#include <new>

namespace brelio::test {

namespace {

constexpr size_t kMaxTracked = 1024;
const void* g_blocks[kMaxTracked];
bool g_freed[kMaxTracked];
size_t g_count = 0;

void NoteFreed(const void* block) {
    for (size_t i = 0; i < g_count; ++i) {
        if (g_blocks[i] == block && !g_freed[i]) {
            g_freed[i] = true;
            return;
        }
    }
}

}  // namespace

void TrackBlock(const void* block) {
    if (g_count < kMaxTracked) {
        g_blocks[g_count] = block;
        g_freed[g_count] = false;
        ++g_count;
    }
}

size_t TrackedAlive() {
    size_t alive = 0;
    for (size_t i = 0; i < g_count; ++i) alive += g_freed[i] ? 0 : 1;
    return alive;
}

void ResetTracking() { g_count = 0; }

}  // namespace brelio::test

// Every delete in this test program passes here first.
void* operator new(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept {
    if (block == nullptr) return;
    brelio::test::NoteFreed(block);
    std::free(block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }
