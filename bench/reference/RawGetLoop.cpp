// The reference of the metadata figure: the same GET of one file's
// metadata, over and over, on plain synchronous WinHTTP.
//   RawGetLoop <port> <session> <tenant domain> <file id> <count>
#include <cstdio>
#include <cstdlib>

#include "RawHttp.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::printf("usage: RawGetLoop <port> <session> <tenant domain> <file id> <count>\n");
        return 2;
    }
    CRawHttp http(L"drive-api.localhost", static_cast<INTERNET_PORT>(std::atoi(argv[1])),
                  L"SESSION: " + Widen(argv[2]) + L"\r\nBrelio-Tenant-Domain: " + Widen(argv[3]));
    const std::wstring path = L"/files/" + Widen(argv[4]) + L"?media=meta";
    const int count = std::atoi(argv[5]);
    const double start = BenchNow();
    for (int i = 0; i < count; ++i) http.Get(path);
    std::printf("metadata %.0f requests/s\n", count / (BenchNow() - start));
    return 0;
}
