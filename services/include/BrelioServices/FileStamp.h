#pragma once
#include <windows.h>

#include <cstdint>

// One state of an open file as the file system tells it, without reading
// the file: when it was made, when it last changed in any way, its last
// write and its size. A write through any handle moves the change time and
// the last write (to the file system's clock tick), also when it keeps the
// size, and a write time set back by hand still moves the change time: two
// equal stamps taken around a read say that nothing wrote to the file in
// between.
struct FileStamp {
    uint64_t creation = 0;
    uint64_t change = 0;
    uint64_t lastWrite = 0;
    uint64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// False when the handle cannot be asked.
[[nodiscard]] bool ReadFileStamp(HANDLE file, FileStamp& stamp);
