#include "BrelioServices/DatabaseStamp.h"

#include <cstring>

#include "BrelioCore/UniqueHandle.h"

namespace {

// The start of every SQLite database file, and where its header keeps the
// change counter (four bytes, most significant first).
constexpr char kSqliteMagic[] = "SQLite format 3";
constexpr DWORD kHeaderBytes = 100;
constexpr size_t kChangeCounterOffset = 24;

}  // namespace

bool ReadDatabaseStamp(const wchar_t* path, DatabaseStamp& stamp) {
    // A file held without sharing is answered for at once, instead of after
    // the retries with which SQLite would open it.
    const brelio::UniqueKernelHandle file(::CreateFileW(path, GENERIC_READ,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    return ReadDatabaseStamp(file.Get(), stamp);
}

bool ReadDatabaseStamp(HANDLE file, DatabaseStamp& stamp) {
    if (!ReadFileStamp(file, stamp.file)) return false;
    unsigned char header[kHeaderBytes] = {};
    DWORD read = 0;
    OVERLAPPED atStart = {};
    if (!::ReadFile(file, header, kHeaderBytes, &read, &atStart) || read != kHeaderBytes) return false;
    if (std::memcmp(header, kSqliteMagic, sizeof(kSqliteMagic)) != 0) return false;
    const unsigned char* counter = header + kChangeCounterOffset;
    stamp.changeCounter = (static_cast<uint32_t>(counter[0]) << 24) | (static_cast<uint32_t>(counter[1]) << 16) |
                          (static_cast<uint32_t>(counter[2]) << 8) | counter[3];
    return true;
}
