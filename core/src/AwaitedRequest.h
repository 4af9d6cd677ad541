#pragma once
#include <windows.h>
#include <winhttp.h>

#include "WinHttpSession.h"

namespace brelio {

struct AwaitedCallState;

// One request of the asynchronous session whose every call the calling
// thread awaits: until WinHTTP completes it, or until one of the cancel
// events is set, which closes the request and gives E_ABORT at once. A
// blocking call could not be cut short this way: under Wine, closing the
// handle of a synchronous request leaves the call waiting for the server.
//
// Data goes out from and comes in through a buffer of the request's own,
// which lives on until WinHTTP reports the handle closed: an operation
// still pending after a cancel writes there, never into the caller's
// memory.
class CAwaitedRequest {
public:
    // The cancel events may be null; they must outlive the object.
    CAwaitedRequest(HANDLE cancelEvent, HANDLE otherCancelEvent);
    ~CAwaitedRequest();
    CAwaitedRequest(const CAwaitedRequest&) = delete;
    CAwaitedRequest& operator=(const CAwaitedRequest&) = delete;

    [[nodiscard]] HRESULT Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object, DWORD flags);
    // For the calls that never wait: options and headers. Null once closed.
    HINTERNET Handle() const { return m_request.Get(); }

    // The staging buffer, at least `size` bytes; valid until the next call.
    [[nodiscard]] unsigned char* Buffer(DWORD size);
    // The headers (may be null) with the first `inlineLength` bytes of the
    // buffer; `totalLength` is the length of the whole body.
    [[nodiscard]] HRESULT Send(const wchar_t* headers, DWORD inlineLength, DWORD totalLength);
    // Sends `length` bytes of the buffer.
    [[nodiscard]] HRESULT Write(DWORD length, DWORD& written);
    [[nodiscard]] HRESULT ReceiveResponse();
    // Reads up to `room` bytes into the buffer; 0 at the end of the body.
    // Under Wine data that is there is read at once on the calling thread,
    // which then waits there until the whole room is filled or the body
    // ends: a body that trickles in holds the thread past any cancel.
    [[nodiscard]] HRESULT Read(DWORD room, DWORD& read);
    // The same, but only what has arrived: the wait for data is the asking,
    // which a cancel ends. An extra call per read: for answers that must
    // stay cancellable, not for bulk transfers.
    [[nodiscard]] HRESULT ReadArrived(DWORD room, DWORD& read);
    const unsigned char* Data() const;

    [[nodiscard]] bool IsCancelled() const;

private:
    // Waits for the completion of the call just made, which returned
    // `started`.
    HRESULT Await(BOOL started);
    // E_ABORT after closing the request, when a cancel event is set.
    HRESULT CheckCancel();

    HANDLE m_cancel[2];
    AwaitedCallState* m_state;
    UniqueWinHttpHandle m_request;
};

}  // namespace brelio
