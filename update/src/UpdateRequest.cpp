#include "BrelioUpdate/UpdateRequest.h"

#include <winhttp.h>

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioUpdate/UpdateLink.h"
#include "UpdateResults.h"

namespace {

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A time limit for every request the calling thread makes while it lives:
// a waitable timer, set as the thread's cancel event, ends a waiting
// request as a stop would. The update runs on threads that have no cancel
// events of their own (the program's UI thread), so none is replaced.
class CRequestTimeLimit {
public:
    explicit CRequestTimeLimit(DWORD milliseconds) : m_timer(::CreateWaitableTimerW(nullptr, TRUE, nullptr)) {
        LARGE_INTEGER due = {};
        due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;  // relative, in 100 ns
        if (m_timer && ::SetWaitableTimer(m_timer.Get(), &due, 0, nullptr, nullptr, FALSE))
            CJXHttpRequest::SetThreadCancelEvent(m_timer.Get());
        else
            m_timer.Reset();
    }
    ~CRequestTimeLimit() {
        if (m_timer) CJXHttpRequest::SetThreadCancelEvent(nullptr);
    }
    CRequestTimeLimit(const CRequestTimeLimit&) = delete;
    CRequestTimeLimit& operator=(const CRequestTimeLimit&) = delete;

    // False when no limit could be set: the caller must not go on without.
    bool IsSet() const { return static_cast<bool>(m_timer); }
    // A request that the limit cut short reads as a time-out.
    HRESULT Result(HRESULT result) const {
        if (result == E_ABORT && ::WaitForSingleObject(m_timer.Get(), 0) == WAIT_OBJECT_0)
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        return result;
    }

private:
    brelio::UniqueKernelHandle m_timer;
};

// Sends one GET of `address` with the request that `prepare` readied, and
// follows each redirect itself; `send` makes the request and takes its
// answer.
template <typename Prepare, typename Send>
HRESULT GetFollowingTrustedRedirects(std::wstring address, Prepare&& prepare, Send&& send) {
    for (int redirects = 0;; ++redirects) {
        CJXHttpRequest request;
        request.SetRedirects(CJXHttpRequest::Redirects::kReturn);
        prepare(request);
        HRESULT result = request.Open(0);
        if (FAILED(result)) return result;
        result = send(request, CJXUri(address));
        request.Close(false);
        if (FAILED(result)) return result;

        const DWORD status = request.GetStatusCode();
        if (!IsRedirect(status)) return status == 200 ? S_OK : HttpStatusResult(status);
        if (redirects == kMaxUpdateRedirects) {
            Log(L"Too many redirects from %s.", address.c_str());
            return HRESULT_FROM_WIN32(ERROR_WINHTTP_REDIRECT_FAILED);
        }
        std::wstring next;
        if (!FollowUpdateRedirect(address, request.GetLocation(), next)) {
            Log(L"Update redirect refused: %s to '%s'.", address.c_str(), request.GetLocation().c_str());
            return E_ACCESSDENIED;
        }
        address = std::move(next);
    }
}

HRESULT EmptyFile(HANDLE file) {
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file)) return LastErrorResult();
    return S_OK;
}

}  // namespace

HRESULT FetchManifest(const std::wstring& address, CJXMemoryStream& body) {
    const CRequestTimeLimit limit(kManifestTimeLimitMs);
    if (!limit.IsSet()) return LastErrorResult();
    const HRESULT result = GetFollowingTrustedRedirects(
        address, [](CJXHttpRequest& request) { request.SetResponseLimit(kManifestSizeLimit); },
        [&body](CJXHttpRequest& request, const CJXUri& uri) {
            return request.GetResponse(uri, CJXHttpRequest::kRead, nullptr, 0, &body, kUpdateRequestFlags);
        });
    return limit.Result(result);
}

HRESULT DownloadCabinetFile(const std::wstring& link, HANDLE file, IJXProgressCallback* progress) {
    return GetFollowingTrustedRedirects(
        link, [](CJXHttpRequest&) {},
        [file, progress](CJXHttpRequest& request, const CJXUri& uri) {
            // A redirect's own answer is no part of the cabinet.
            const HRESULT emptied = EmptyFile(file);
            if (FAILED(emptied)) return emptied;
            return request.Download(uri, file, kUpdateRequestFlags, progress, 0);
        });
}
