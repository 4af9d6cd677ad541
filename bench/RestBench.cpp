// Measures the REST client against the local stand-in: small metadata
// requests per second, and MB/s for an upload and a download of one file.
// Prints one "name value unit" line per figure.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"

namespace {

double Seconds(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

}  // namespace

// RestBench <session header> <file id to read> <count> <local file to upload> <download path>
int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::printf("usage: RestBench <session header> <file id> <count> <upload file> <download path>\n");
        return 2;
    }
    SetAuthHeader(argv[1]);
    SetUserAgent(L"BrelioDrive/bench (Windows NT 10.0)");
    const uint64_t fileId = _wcstoui64(argv[2], nullptr, 10);
    const int count = _wtoi(argv[3]);

    RequestStatus status;
    ChangeInfo change;
    LARGE_INTEGER start = Now();
    for (int i = 0; i < count; ++i) {
        if (HRESULT hr = GetFileMeta(status, fileId, change); hr != 0) {
            std::printf("metadata request failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return 1;
        }
    }
    std::printf("metadata %.0f requests/s\n", count / Seconds(start));

    FileInfo uploaded;
    uint64_t size = 0;
    FILETIME time = {};
    start = Now();
    if (HRESULT hr = UploadFile(0, argv[4], 0, uploaded, size, time); hr != 0) {
        std::printf("upload failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("upload %.1f MB/s\n", size / 1e6 / Seconds(start));

    start = Now();
    if (HRESULT hr = DownloadFile(uploaded.id, argv[5], size, time); hr != 0) {
        std::printf("download failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("download %.1f MB/s\n", size / 1e6 / Seconds(start));
    return 0;
}
