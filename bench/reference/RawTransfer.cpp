// The reference of the transfer figures: one file up and down on plain
// synchronous WinHTTP, the upload written in pieces of a given size.
//   RawTransfer <port> <session> <tenant domain> upload <file> <piece KiB> <name>
//   RawTransfer <port> <session> <tenant domain> download <file id> <file>
// Prints "upload-<piece KiB>k <MB/s> MB/s" and "uploaded-id <id>", or
// "download <MB/s> MB/s".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RawHttp.h"

namespace {

HANDLE OpenFile(const char* path, bool write) {
    HANDLE file = CreateFileW(Widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                              write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("CreateFileW", GetLastError());
    return file;
}

ULONGLONG SizeOf(HANDLE file) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) Fail("GetFileSizeEx", GetLastError());
    return static_cast<ULONGLONG>(size.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const bool upload = argc == 8 && std::strcmp(argv[4], "upload") == 0;
    if (!upload && (argc != 7 || std::strcmp(argv[4], "download") != 0)) {
        std::printf("usage: RawTransfer <port> <session> <tenant domain> upload <file> <piece KiB> <name>\n"
                    "       RawTransfer <port> <session> <tenant domain> download <file id> <file>\n");
        return 2;
    }
    CRawHttp http(L"drive-api.localhost", static_cast<INTERNET_PORT>(std::atoi(argv[1])),
                  L"SESSION: " + Widen(argv[2]) + L"\r\nBrelio-Tenant-Domain: " + Widen(argv[3]));
    if (upload) {
        const int pieceKiB = std::atoi(argv[6]);
        HANDLE file = OpenFile(argv[5], false);
        const ULONGLONG size = SizeOf(file);
        const double start = BenchNow();
        const std::string answer =
            http.PostFile(L"/files?parentId=root",
                          L"Content-Type: application/octet-stream\r\nFilename: " + Widen(argv[7]),
                          file, static_cast<DWORD>(pieceKiB) * 1024);
        const double seconds = BenchNow() - start;
        CloseHandle(file);
        std::printf("upload-%dk %.1f MB/s\n", pieceKiB, size / 1e6 / seconds);
        // The new file's id, for the download that follows.
        const size_t at = answer.find("\"id\"");
        if (answer.find("\"isSuccessful\": true") == std::string::npos || at == std::string::npos) {
            std::printf("upload refused: %.200s\n", answer.c_str());
            return 1;
        }
        const size_t digits = answer.find_first_of("0123456789", at);
        std::printf("uploaded-id %s\n", answer.substr(digits, answer.find_first_not_of("0123456789", digits) - digits).c_str());
        return 0;
    }
    HANDLE file = OpenFile(argv[6], true);
    const double start = BenchNow();
    http.GetToFile(L"/files/" + Widen(argv[5]) + L"?media=raw", file, 1 << 20);
    const double seconds = BenchNow() - start;
    const ULONGLONG size = SizeOf(file);
    CloseHandle(file);
    std::printf("download %.1f MB/s\n", size / 1e6 / seconds);
    return 0;
}
