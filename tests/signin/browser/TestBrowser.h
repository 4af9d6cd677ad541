#pragma once
#include <windows.h>
#include <exdisp.h>

#include <functional>
#include <string>
#include <vector>

// A web browser object for tests, registered as the WebBrowser class of the
// test process only. Wine here has no HTML engine, so the system's control
// never loads a page; this one does the part the program relies on: it
// fetches each address over HTTP (redirects followed one by one, cookies
// kept per host while the class is registered), fires DocumentComplete through its connection
// point with the address the page came from, and shows the page's body
// text through IWebBrowser2::get_Document, IHTMLDocument2::get_body and
// IHTMLElement::get_innerText. A page that cannot be fetched still
// completes, with an error text, as a browser shows its error page.
//
// Use:
//     brelio::test::CTestBrowserClass browserClass;   // for the test's length
//     ASSERT_EQ(browserClass.Registered(), S_OK);
//     brelio::test::SetAfterDocumentComplete([&](IWebBrowser2* b, const std::wstring& address) { ... });
//     ... create the window that hosts the browser; run it ...
// The hook runs on the UI thread after the program's own handlers have seen
// the page: a test plays the user there (NavigateAsUser) or closes windows.
namespace brelio::test {

class CTestBrowserClass {
public:
    CTestBrowserClass();
    ~CTestBrowserClass();
    CTestBrowserClass(const CTestBrowserClass&) = delete;
    CTestBrowserClass& operator=(const CTestBrowserClass&) = delete;

    HRESULT Registered() const { return m_registered; }

private:
    HRESULT m_registered = E_FAIL;
    DWORD m_cookie = 0;
};

using PageHook = std::function<void(IWebBrowser2* browser, const std::wstring& address)>;
// Replaces the hook; an empty one removes it. CTestBrowserClass's
// destructor removes it too.
void SetAfterDocumentComplete(PageHook hook);

// Goes to the address as a user would by following a link; the page
// completes later, from the message loop.
HRESULT NavigateAsUser(IWebBrowser2* browser, const std::wstring& address);

// The next browser made fails its activation (as a control that cannot
// start), once.
void FailNextActivation();

// Browsers alive, and event sinks connected to them, in this process.
int LiveBrowsers();
int ConnectedSinks();

// Addresses of the pages completed since the last call, in order.
std::vector<std::wstring> TakeCompletedPages();

// The text a browser shows for an HTML page: the body's text without its
// tags, the common entities decoded.
std::wstring BodyTextOfPage(const std::wstring& page);

}  // namespace brelio::test
