#include "BrelioSync/LocalFileState.h"

#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/FileTimes.h"

LocalFileState ReadLocalFileState(const wchar_t* path) {
    LocalFileState state;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return state;
    state.exists = true;
    state.lastWriteTicks = FileTimeToTicks(data.ftLastWriteTime);
    state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return state;
}

bool HaveSameContent(const wchar_t* first, const wchar_t* second) {
    const LocalFileState a = ReadLocalFileState(first);
    const LocalFileState b = ReadLocalFileState(second);
    if (!a.exists || !b.exists || a.size != b.size) return false;
    brelio::UniqueKernelHandle one(::CreateFileW(first, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    brelio::UniqueKernelHandle two(::CreateFileW(second, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!one || !two) return false;
    std::vector<char> left(64 * 1024);
    std::vector<char> right(left.size());
    for (;;) {
        DWORD readLeft = 0;
        DWORD readRight = 0;
        if (!::ReadFile(one.Get(), left.data(), static_cast<DWORD>(left.size()), &readLeft, nullptr) ||
            !::ReadFile(two.Get(), right.data(), static_cast<DWORD>(right.size()), &readRight, nullptr))
            return false;
        if (readLeft != readRight) return false;
        if (readLeft == 0) return true;
        if (memcmp(left.data(), right.data(), readLeft) != 0) return false;
    }
}
