#include "BrelioServices/FileStamp.h"

bool ReadFileStamp(HANDLE file, FileStamp& stamp) {
    FILE_BASIC_INFO times = {};
    FILE_STANDARD_INFO standard = {};
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof(times)) ||
        !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)))
        return false;
    stamp.creation = static_cast<uint64_t>(times.CreationTime.QuadPart);
    stamp.change = static_cast<uint64_t>(times.ChangeTime.QuadPart);
    stamp.lastWrite = static_cast<uint64_t>(times.LastWriteTime.QuadPart);
    stamp.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    return true;
}
