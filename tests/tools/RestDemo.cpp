// Shows the REST client at work against the local stand-in: signs in with
// a session made for the demo, lists the drive, uploads a file, reads the
// change feed and downloads the file again. Not shipped.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"

namespace {

int Fail(const char* what, HRESULT code) {
    std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(code));
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: RestDemo <session header> <local file>\n");
        return 2;
    }
    SetUserAgent(L"BrelioDrive/demo (Windows NT 10.0)");
    if (HRESULT hr = CheckDrives(argv[1]); hr != 0) return Fail("session check", hr);
    SetAuthHeader(argv[1]);

    RequestStatus status;
    DriveInfoList drives;
    if (HRESULT hr = GetDrives(status, drives); hr != 0) return Fail("drive list", hr);
    for (const DriveInfo& drive : drives)
        std::printf("drive %llu (%s), latest revision %llu\n", static_cast<unsigned long long>(drive.id),
                    drive.type.c_str(), static_cast<unsigned long long>(drive.latestRevision));

    FileInfoList files;
    if (HRESULT hr = GetFiles(status, 0, files, false); hr != 0) return Fail("listing", hr);
    for (const FileInfo& file : files)
        std::printf("  %-6s %s\n", file.type.c_str(), brelio::WideToUtf8(file.path).c_str());

    FileInfo uploaded;
    uint64_t size = 0;
    FILETIME time = {};
    if (HRESULT hr = UploadFile(0, argv[2], 0, uploaded, size, time); hr != 0) return Fail("upload", hr);
    std::printf("uploaded %s: %llu bytes, id %llu, revision %llu\n", brelio::WideToUtf8(uploaded.path).c_str(),
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(uploaded.id),
                static_cast<unsigned long long>(uploaded.revision));

    ChangeInfoList changes;
    if (HRESULT hr = GetAllChanges(0, changes); hr != 0) return Fail("change feed", hr);
    std::printf("%zu changes in the feed\n", changes.size());

    const std::wstring copy = std::wstring(argv[2]) + L".downloaded";
    if (HRESULT hr = DownloadFile(uploaded.id, copy.c_str(), size, time); hr != 0) return Fail("download", hr);
    std::printf("downloaded %llu bytes to %s\n", static_cast<unsigned long long>(size),
                brelio::WideToUtf8(copy).c_str());
    return 0;
}
