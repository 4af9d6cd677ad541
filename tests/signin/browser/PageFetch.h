#pragma once
#include <windows.h>

#include <string>

namespace brelio::test {

struct FetchedPage {
    std::wstring address;  // where the page came from, after the redirects
    DWORD status = 0;
    std::string body;
};

// Loads a page as a browser does: redirects followed one by one (so the
// final address is known), cookies kept per host for the process and sent
// back, at most 10 hops. A failure of the network is returned as such.
[[nodiscard]] HRESULT FetchPage(const std::wstring& address, FetchedPage& page);

// The cookies a test's pages left behind are dropped.
void ForgetCookies();

}  // namespace brelio::test
