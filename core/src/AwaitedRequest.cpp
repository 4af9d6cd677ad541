#include "AwaitedRequest.h"

#include <atomic>
#include <new>
#include <vector>

namespace brelio {

// What WinHTTP's callback writes: shared by the request object and by
// WinHTTP, each holding one reference. WinHTTP lets go of its own when it
// reports the handle closed, which may come after the object is gone.
struct AwaitedCallState {
    std::atomic<int> references{1};
    UniqueKernelHandle done{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    DWORD error = ERROR_SUCCESS;
    DWORD bytes = 0;
    std::vector<unsigned char> buffer;

    void Complete(DWORD result, DWORD count) {
        error = result;
        bytes = count;
        ::SetEvent(done.Get());
    }
    void Release() {
        if (references.fetch_sub(1) == 1) delete this;
    }
};

namespace {

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* state = reinterpret_cast<AwaitedCallState*>(context);
    if (state == nullptr) return;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            state->Complete(ERROR_SUCCESS, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
            state->Complete(ERROR_SUCCESS, info != nullptr ? *static_cast<const DWORD*>(info) : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            state->Complete(ERROR_SUCCESS, length);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            state->Complete(ERROR_SUCCESS, info != nullptr ? *static_cast<const DWORD*>(info) : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
            const auto* result = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
            state->Complete(result != nullptr && result->dwError != ERROR_SUCCESS ? result->dwError : ERROR_GEN_FAILURE,
                            0);
            break;
        }
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            state->Release();
            break;
        default:
            break;
    }
}

}  // namespace

CAwaitedRequest::CAwaitedRequest(HANDLE cancelEvent, HANDLE otherCancelEvent)
    : m_cancel{cancelEvent, otherCancelEvent}, m_state(new AwaitedCallState) {}

CAwaitedRequest::~CAwaitedRequest() {
    m_request.Reset();
    m_state->Release();
}

HRESULT CAwaitedRequest::Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object, DWORD flags) {
    if (!m_state->done) return LastError();
    m_request.Reset(::WinHttpOpenRequest(connection, verb, object, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!m_request) return LastError();
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(m_state);
    if (!::WinHttpSetOption(m_request.Get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
        const HRESULT failed = LastError();
        m_request.Reset();
        return failed;
    }
    // From here on WinHTTP holds a reference, given back when it reports
    // the handle closed.
    m_state->references.fetch_add(1);
    if (::WinHttpSetStatusCallback(m_request.Get(), OnRequestStatus,
                                   WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                   0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        const HRESULT failed = LastError();
        m_state->references.fetch_sub(1);
        m_request.Reset();
        return failed;
    }
    return S_OK;
}

unsigned char* CAwaitedRequest::Buffer(DWORD size) {
    if (m_state->buffer.size() < size) {
        try {
            m_state->buffer.resize(size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return m_state->buffer.data();
}

const unsigned char* CAwaitedRequest::Data() const { return m_state->buffer.data(); }

bool CAwaitedRequest::IsCancelled() const {
    for (const HANDLE event : m_cancel)
        if (event != nullptr && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0) return true;
    return false;
}

HRESULT CAwaitedRequest::CheckCancel() {
    if (!m_request) return E_ABORT;
    if (!IsCancelled()) return S_OK;
    m_request.Reset();
    return E_ABORT;
}

HRESULT CAwaitedRequest::Await(BOOL started) {
    if (!started) return LastError();
    HANDLE handles[3] = {m_state->done.Get()};
    DWORD count = 1;
    for (const HANDLE event : m_cancel)
        if (event != nullptr) handles[count++] = event;
    // The completion comes first in the list: a call that completed as the
    // stop came still counts.
    const DWORD waited = ::WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (waited == WAIT_OBJECT_0)
        return m_state->error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(m_state->error);
    const HRESULT result = waited == WAIT_FAILED ? LastError() : E_ABORT;
    // Closing the request ends the pending call; WinHTTP may still finish
    // it later into the state, which outlives this object as long as needed.
    m_request.Reset();
    return result;
}

HRESULT CAwaitedRequest::Send(const wchar_t* headers, DWORD inlineLength, DWORD totalLength) {
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    const bool hasHeaders = headers != nullptr && *headers != L'\0';
    return Await(::WinHttpSendRequest(m_request.Get(), hasHeaders ? headers : WINHTTP_NO_ADDITIONAL_HEADERS,
                                      hasHeaders ? static_cast<DWORD>(-1) : 0,
                                      inlineLength > 0 ? m_state->buffer.data() : WINHTTP_NO_REQUEST_DATA,
                                      inlineLength, totalLength, reinterpret_cast<DWORD_PTR>(m_state)));
}

HRESULT CAwaitedRequest::Write(DWORD length, DWORD& written) {
    written = 0;
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    const HRESULT hr = Await(::WinHttpWriteData(m_request.Get(), m_state->buffer.data(), length, nullptr));
    if (SUCCEEDED(hr)) written = m_state->bytes;
    return hr;
}

HRESULT CAwaitedRequest::ReceiveResponse() {
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    return Await(::WinHttpReceiveResponse(m_request.Get(), nullptr));
}

HRESULT CAwaitedRequest::Read(DWORD room, DWORD& read) {
    read = 0;
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    if (Buffer(room) == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = Await(::WinHttpReadData(m_request.Get(), m_state->buffer.data(), room, nullptr));
    if (SUCCEEDED(hr)) read = m_state->bytes;
    return hr;
}

HRESULT CAwaitedRequest::ReadArrived(DWORD room, DWORD& read) {
    read = 0;
    HRESULT hr = CheckCancel();
    if (FAILED(hr)) return hr;
    hr = Await(::WinHttpQueryDataAvailable(m_request.Get(), nullptr));
    if (FAILED(hr)) return hr;
    const DWORD available = m_state->bytes;
    if (available == 0) return S_OK;
    return Read(available < room ? available : room, read);
}

}  // namespace brelio
