#pragma once
// The platform's own speed, for the benchmarks to stand beside: plain
// synchronous WinHTTP as a small program would use it, one connection kept
// alive, nothing of the product. Failures print a line and end the
// program.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "../BenchClock.h"

class CRawHttp {
public:
    // Every request carries the session headers ("Name: value" lines).
    CRawHttp(const wchar_t* host, INTERNET_PORT port, std::wstring sessionHeaders);
    ~CRawHttp();
    CRawHttp(const CRawHttp&) = delete;
    CRawHttp& operator=(const CRawHttp&) = delete;

    // The answer's body; the status must be 200.
    std::string Get(const std::wstring& path);
    // Writes the body into the file in reads of `chunk` bytes.
    void GetToFile(const std::wstring& path, HANDLE file, DWORD chunk);
    std::string Post(const std::wstring& path, const std::wstring& headers, const void* body, DWORD length);
    // Sends the whole file in writes of `chunk` bytes, each read from the
    // file just before it goes out.
    std::string PostFile(const std::wstring& path, const std::wstring& headers, HANDLE file, DWORD chunk);

private:
    HINTERNET Open(const wchar_t* verb, const std::wstring& path);
    void Send(HINTERNET request, const std::wstring& headers, const void* body, DWORD length, DWORD total);
    void Receive(HINTERNET request);
    // Up to `room` bytes of what has arrived; 0 at the end of the body.
    DWORD ReadArrived(HINTERNET request, char* buffer, DWORD room);
    std::string ReadAll(HINTERNET request);

    HINTERNET m_session = nullptr;
    HINTERNET m_connection = nullptr;
    std::wstring m_headers;
};

// "Z:\..." paths and numbers from the command line.
std::wstring Widen(const char* text);
[[noreturn]] void Fail(const char* what, DWORD error);
