// Measures the REST client against the local stand-in, one figure per run,
// so that bench/rest_bench.sh can interleave it with its references.
//   RestBench <session header> metadata <file id> <count>
//       metadata requests per second (GetFileMeta: answers read into
//       memory as they arrive)
//   RestBench <session header> small-to-memory|small-to-file <file id> <count>
//       the same small answer per second through the bare request, read
//       into memory as it arrives, or in whole pieces into a file (the NUL
//       device) as downloads read: side by side they show what reading as
//       the answer arrives costs a small GET
//   RestBench <session header> upload <local file> <name for the request alone>
//       MB/s of UploadFile (the file read in place, its stamp checked
//       around the read) and of the request alone, streamed from the open
//       file
//   RestBench <session header> download <file id> <download path>
//       MB/s of DownloadFile
// Prints "name value unit" lines.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"

namespace {

int Failed(const char* what, HRESULT hr) {
    std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Metadata(uint64_t fileId, int count) {
    RequestStatus status;
    ChangeInfo change;
    const double start = BenchNow();
    for (int i = 0; i < count; ++i) {
        if (HRESULT hr = GetFileMeta(status, fileId, change); hr != 0) return Failed("metadata request", hr);
    }
    std::printf("metadata %.0f requests/s\n", count / (BenchNow() - start));
    return 0;
}

// The bare request of the metadata GET, its answer into memory or into
// the NUL device.
int SmallAnswers(uint64_t fileId, int count, bool toFile) {
    const brelio::UniqueKernelHandle sink(
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!sink) return Failed("opening NUL", HRESULT_FROM_WIN32(::GetLastError()));
    CJXUri uri(DriveApiBase());
    uri.AppendFormat(L"/files/%llu?media=meta", static_cast<unsigned long long>(fileId));
    const std::wstring session = GetAuthHeader();
    const double start = BenchNow();
    for (int i = 0; i < count; ++i) {
        CJXHttpRequest request;
        request.AddHeaders(session.c_str());
        HRESULT hr = request.Open(0);
        CJXMemoryStream body;
        if (SUCCEEDED(hr))
            hr = toFile ? request.Download(uri, sink.Get(), 0x80000200, nullptr, 0)
                        : request.GetResponse(uri, CJXHttpRequest::kRead, nullptr, 0, &body, 0x80000200);
        if (FAILED(hr) || request.GetStatusCode() != 200) return Failed("small request", hr);
    }
    std::printf("%s %.0f requests/s\n", toFile ? "small-to-file" : "small-to-memory", count / (BenchNow() - start));
    return 0;
}

int Upload(const wchar_t* path, const wchar_t* requestName) {
    FileInfo uploaded;
    uint64_t size = 0;
    FILETIME time = {};
    double start = BenchNow();
    if (HRESULT hr = UploadFile(0, path, 0, uploaded, size, time); hr != 0) return Failed("upload", hr);
    std::printf("upload %.1f MB/s\n", size / 1e6 / (BenchNow() - start));

    const brelio::UniqueKernelHandle file(
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return Failed("opening the file", HRESULT_FROM_WIN32(::GetLastError()));
    RequestStatus status;
    start = BenchNow();
    if (HRESULT hr = UploadWholeFile(status, 0, requestName, 0, nullptr, file.Get(), uploaded); hr != 0)
        return Failed("upload request", hr);
    std::printf("upload-request %.1f MB/s\n", size / 1e6 / (BenchNow() - start));
    std::printf("uploaded-id %llu\n", static_cast<unsigned long long>(uploaded.id));
    return 0;
}

int Download(uint64_t fileId, const wchar_t* path) {
    uint64_t size = 0;
    FILETIME time = {};
    const double start = BenchNow();
    if (HRESULT hr = DownloadFile(fileId, path, size, time); hr != 0) return Failed("download", hr);
    std::printf("download %.1f MB/s\n", size / 1e6 / (BenchNow() - start));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 2 ? argv[2] : L"";
    const bool known = (argc == 5 && (mode == L"metadata" || mode == L"small-to-memory" || mode == L"small-to-file" ||
                                      mode == L"download")) ||
                       (argc == 5 && mode == L"upload");
    if (!known) {
        std::printf("usage: RestBench <session header> metadata|small-to-memory|small-to-file <file id> <count>\n"
                    "       RestBench <session header> upload <file> <name>\n"
                    "       RestBench <session header> download <file id> <path>\n");
        return 2;
    }
    SetAuthHeader(argv[1]);
    SetUserAgent(L"BrelioDrive/bench (Windows NT 10.0)");
    if (mode == L"upload") return Upload(argv[3], argv[4]);
    const uint64_t fileId = _wcstoui64(argv[3], nullptr, 10);
    if (mode == L"download") return Download(fileId, argv[4]);
    const int count = _wtoi(argv[4]);
    if (mode == L"metadata") return Metadata(fileId, count);
    return SmallAnswers(fileId, count, mode == L"small-to-file");
}
