// The reference of the first-sync figures: a tree moved the way a first
// full sync moves it (each folder listed, each file sent or fetched in one
// request), on plain synchronous WinHTTP over one kept-alive connection.
//   RawTreeClient <port> <session> <tenant domain> down <empty folder>
//   RawTreeClient <port> <session> <tenant domain> up <folder>
// Prints "files N", "folders N", "seconds S" and "files/s R".
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "RawHttp.h"

namespace {

Json::Value Result(const std::string& body) {
    Json::CharReaderBuilder builder;
    Json::Value envelope;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(body.data(), body.data() + body.size(), &envelope, &errors) ||
        !envelope["header"]["isSuccessful"].asBool()) {
        std::printf("refused: %.200s\n", body.c_str());
        std::fflush(stdout);
        ExitProcess(1);
    }
    return envelope["result"];
}

std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length - 1 : 0, '\0');
    if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring Escaped(const std::wstring& name) {
    static const char kHex[] = "0123456789abcdef";
    std::wstring out;
    for (const unsigned char c : Narrow(name)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 15]);
        }
    }
    return out;
}

struct Counts {
    int files = 0;
    int folders = 0;
};

void Down(CRawHttp& http, Counts& counts, const std::wstring& folder) {
    std::vector<std::pair<std::string, std::wstring>> pending = {{"root", folder}};
    while (!pending.empty()) {
        const auto [parent, local] = pending.back();
        pending.pop_back();
        const Json::Value contents = Result(http.Get(L"/files?parentId=" + Widen(parent.c_str())))["contents"];
        for (const Json::Value& item : contents) {
            const std::wstring target = local + L"\\" + Widen(item["name"].asCString());
            if (item["type"].asString() == "folder") {
                if (!CreateDirectoryW(target.c_str(), nullptr)) Fail("CreateDirectoryW", GetLastError());
                ++counts.folders;
                pending.emplace_back(item["id"].asString(), target);
                continue;
            }
            HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) Fail("CreateFileW", GetLastError());
            http.GetToFile(L"/files/" + Widen(item["id"].asString().c_str()) + L"?media=raw", file, 1 << 20);
            CloseHandle(file);
            ++counts.files;
        }
    }
}

void Up(CRawHttp& http, Counts& counts, const std::wstring& folder) {
    std::vector<std::pair<std::string, std::wstring>> pending = {{"root", folder}};
    std::vector<char> content;
    while (!pending.empty()) {
        const auto [parent, local] = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((local + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = local + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                const std::string body = "{\"name\": \"" + Narrow(name) + "\"}";
                const Json::Value created = Result(http.Post(L"/files/" + Widen(parent.c_str()) + L"/create-folder",
                                                             L"Content-Type: application/json", body.data(),
                                                             static_cast<DWORD>(body.size())));
                ++counts.folders;
                pending.emplace_back(created["content"]["id"].asString(), path);
                continue;
            }
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) Fail("CreateFileW", GetLastError());
            content.resize(data.nFileSizeLow);
            DWORD read = 0;
            if (!ReadFile(file, content.data(), data.nFileSizeLow, &read, nullptr)) Fail("ReadFile", GetLastError());
            CloseHandle(file);
            Result(http.Post(L"/files?parentId=" + Widen(parent.c_str()),
                             L"Content-Type: application/octet-stream\r\nFilename: " + Escaped(name), content.data(), read));
            ++counts.files;
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || (std::strcmp(argv[4], "down") != 0 && std::strcmp(argv[4], "up") != 0)) {
        std::printf("usage: RawTreeClient <port> <session> <tenant domain> down|up <folder>\n");
        return 2;
    }
    CRawHttp http(L"drive-api.localhost", static_cast<INTERNET_PORT>(std::atoi(argv[1])),
                  L"SESSION: " + Widen(argv[2]) + L"\r\nBrelio-Tenant-Domain: " + Widen(argv[3]));
    Counts counts;
    const double start = BenchNow();
    if (std::strcmp(argv[4], "down") == 0)
        Down(http, counts, Widen(argv[5]));
    else
        Up(http, counts, Widen(argv[5]));
    const double seconds = BenchNow() - start;
    std::printf("files %d\nfolders %d\nseconds %.2f s\nfiles/s %.1f files/s\n", counts.files, counts.folders, seconds,
                counts.files / seconds);
    return 0;
}
