#include "BrelioServices/FileTransfer.h"

#include <algorithm>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/FileStamp.h"
#include "FileOperationSupport.h"

using brelio::UniqueKernelHandle;

namespace {

constexpr size_t kEscapedNameCapacity = 2048;
// Five attempts in all, kFileRetryPause apart: a save in progress may
// hold the file for a moment.
constexpr int kSourceOpenRetries = 4;
// Two seconds for a downloaded file held by another program as it is placed.
constexpr int kReplaceRetries = 8;
constexpr DWORD kFinishTimeoutMs = 600000;
const wchar_t kOctetStream[] = L"Content-Type: application/octet-stream";
const wchar_t kJsonContentType[] = L"Content-Type: application/json";

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

const wchar_t* LastComponent(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    return name;
}

// Removes a file of ours when the scope ends, unless it was kept.
class CTempFileGuard {
public:
    explicit CTempFileGuard(std::wstring path) : m_path(std::move(path)) {}
    ~CTempFileGuard() {
        if (!m_path.empty()) ::DeleteFileW(m_path.c_str());
    }
    void Keep() { m_path.clear(); }
    CTempFileGuard(const CTempFileGuard&) = delete;
    CTempFileGuard& operator=(const CTempFileGuard&) = delete;

private:
    std::wstring m_path;
};

const wchar_t* SessionKind(bool newFile) { return newFile ? L"upload-sessions" : L"update-sessions"; }

ApiErrorCode UploadThroughSession(uint64_t targetId, const wchar_t* name, uint64_t latestRevision, uint64_t size,
                                  HANDLE file, const CJXHttpRequest::FileBodyCheck& unchanged, FileInfo& out) {
    RequestStatus status;
    UploadSessionInfo session;
    ApiErrorCode result = CreateUploadSession(status, targetId, name, latestRevision, size, session);
    if (result < 0) return result;
    // The parts come from the server; a part outside the file would send
    // the wrong bytes, so nothing is sent unless they tile the file.
    if (!ArePartsValid(session, size)) return API_E_BAD_RESPONSE;
    const bool newFile = latestRevision == 0;
    for (const UploadPartInfo& part : session.parts) {
        result = UploadPart(status, session.id.c_str(), file, static_cast<int>(part.number),
                            static_cast<uint64_t>(part.offset), static_cast<uint32_t>(part.length), newFile,
                            unchanged);
        if (result < 0) return result;
    }
    return FinishUploadSession(status, session.id.c_str(), newFile, out);
}

}  // namespace

const wchar_t* GetMimeType(const wchar_t* name) {
    static const struct {
        const wchar_t* extension;
        const wchar_t* type;
    } kTypes[] = {
        {L".bmp", L"image/bmp"},  {L".gif", L"image/gif"},        {L".jpg", L"image/jpeg"},
        {L".jpeg", L"image/jpeg"}, {L".png", L"image/png"},       {L".mpg", L"video/mpeg"},
        {L".mp4", L"video/mp4"},  {L".mov", L"video/quicktime"}, {L".avi", L"video/x-msvideo"},
        {L".wmv", L"video/x-ms-wmv"},
    };
    const wchar_t* dot = name ? wcsrchr(name, L'.') : nullptr;
    if (dot != nullptr) {
        for (const auto& entry : kTypes) {
            if (_wcsicmp(dot, entry.extension) == 0) return entry.type;
        }
    }
    return L"application/octet-stream";
}

std::wstring EscapeFileName(const wchar_t* name) {
    static const char kHex[] = "0123456789abcdef";
    std::wstring out;
    if (name == nullptr || *name == L'\0') return out;
    for (const unsigned char byte : brelio::WideToUtf8(name)) {
        const bool escape = byte < 0x20 || byte > 0x7E || byte == 0x20 || (byte >= 0x22 && byte <= 0x26) ||
                            byte == 0x2B || byte == 0x2C || (byte >= 0x3B && byte <= 0x40) ||
                            (byte >= 0x5B && byte <= 0x5E) || byte == 0x60 || (byte >= 0x7B && byte <= 0x7D);
        if (escape) {
            out += L'%';
            out += static_cast<wchar_t>(kHex[byte >> 4]);
            out += static_cast<wchar_t>(kHex[byte & 0xF]);
        } else {
            out += static_cast<wchar_t>(byte);
        }
    }
    return out;
}

bool ArePartsValid(const UploadSessionInfo& session, uint64_t size) {
    std::vector<UploadPartInfo> parts = session.parts;
    for (const UploadPartInfo& part : parts) {
        if (part.number < 0 || part.number > 0x7FFFFFFF) return false;
        if (part.offset < 0 || part.length <= 0 || part.length > 0xFFFFFFFFLL) return false;
        if (static_cast<uint64_t>(part.offset) >= size) return false;
        if (static_cast<uint64_t>(part.length) > size - static_cast<uint64_t>(part.offset)) return false;
    }
    std::sort(parts.begin(), parts.end(),
              [](const UploadPartInfo& a, const UploadPartInfo& b) { return a.offset < b.offset; });
    uint64_t covered = 0;
    for (const UploadPartInfo& part : parts) {
        if (static_cast<uint64_t>(part.offset) != covered) return false;
        covered += static_cast<uint64_t>(part.length);
    }
    return covered == size;
}

ApiErrorCode UploadWholeFile(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                             uint64_t latestRevision, const CJXMemoryStream* memory, HANDLE file, FileInfo& out,
                             const CJXHttpRequest::FileBodyCheck& check) {
    CJXUri uri(DriveApiBase());
    if (latestRevision != 0)
        uri.AppendFormat(L"/files/%llu/update?latestRevision=%llu", static_cast<unsigned long long>(targetId),
                         static_cast<unsigned long long>(latestRevision));
    else
        uri.AppendFormat(L"/files?parentId=%s", IdToString(targetId).c_str());

    const std::wstring escaped = EscapeFileName(name);
    // A header value that does not fit is never sent cut.
    if (escaped.empty() || escaped.size() >= kEscapedNameCapacity) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    const std::wstring headers = std::wstring(kOctetStream) + L"\r\nFilename: " + escaped;

    CJXMemoryStream body(4096);
    HRESULT sent;
    if (memory != nullptr)
        sent = HttpPost(status, uri, body, memory->GetData(), static_cast<DWORD>(memory->GetSize()), headers.c_str());
    else if (file != nullptr)
        sent = HttpPostFile(status, uri, body, file, headers.c_str(), check);
    else
        sent = HttpPost(status, uri, body, nullptr, 0, headers.c_str());
    return ApplyResponse(sent, status, body, [&](CJsonResponse& r) { return r.ParseFile(out); });
}

ApiErrorCode CreateUploadSession(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                                 uint64_t latestRevision, uint64_t size, UploadSessionInfo& out) {
    const wchar_t* mime = GetMimeType(name);
    const std::wstring target = IdToString(targetId);
    const std::wstring escapedName = JsonEscape(name);
    std::string json;
    CJXUri uri(DriveApiBase());
    HRESULT built;
    if (latestRevision != 0) {
        uri.Append(L"/update-sessions");
        built = FormatJsonBody(json,
                               L"{ \"name\": \"%s\", \"fileId\": \"%s\", \"mimeType\": \"%s\", "
                               L"\"latestRevision\": \"%llu\", \"size\": %llu }",
                               escapedName.c_str(), target.c_str(), mime,
                               static_cast<unsigned long long>(latestRevision), static_cast<unsigned long long>(size));
    } else {
        uri.Append(L"/upload-sessions");
        built = FormatJsonBody(json, L"{ \"name\": \"%s\", \"parentId\": \"%s\", \"mimeType\": \"%s\", \"size\": %llu }",
                               escapedName.c_str(), target.c_str(), mime, static_cast<unsigned long long>(size));
    }
    if (FAILED(built)) return built;
    CJXMemoryStream body(4096);
    const HRESULT sent =
        HttpPost(status, uri, body, json.data(), static_cast<DWORD>(json.size()), kJsonContentType);
    return ApplyResponse(sent, status, body, [&](CJsonResponse& r) { return r.ParseUploadSession(out); });
}

ApiErrorCode UploadPart(RequestStatus& status, const char* sessionId, HANDLE file, int partNumber,
                        uint64_t offset, uint32_t length, bool newFile, const CJXHttpRequest::FileBodyCheck& check) {
    CJXUri uri(DriveApiBase());
    uri.AppendFormat(L"/%s/%hs/parts/%d", SessionKind(newFile), sessionId, partNumber);
    CJXMemoryStream body(4096);
    const HRESULT sent = HttpPutFileRange(status, uri, body, file, offset, length, kOctetStream, check);
    return ApplyResponse(sent, status, body, [](CJsonResponse& r) { return r.CheckHeader(); });
}

ApiErrorCode FinishUploadSession(RequestStatus& status, const char* sessionId, bool newFile, FileInfo& out) {
    CJXUri uri(DriveApiBase());
    uri.AppendFormat(L"/%s/%hs/finish", SessionKind(newFile), sessionId);
    // The server puts the parts together before it answers.
    status.receiveTimeout = kFinishTimeoutMs;
    CJXMemoryStream body(4096);
    const HRESULT sent = HttpPost(status, uri, body, nullptr, 0, nullptr);
    return ApplyResponse(sent, status, body, [&](CJsonResponse& r) { return r.ParseFile(out); });
}

ApiErrorCode UploadFile(uint64_t targetId, const wchar_t* localPath, uint64_t latestRevision, FileInfo& out,
                        uint64_t& size, FILETIME& lastWriteTime) {
    // Read where it lies, shared with everyone: a program that saves the
    // file meanwhile is not kept from it. What goes up is one version of
    // the file all the same: the stamp taken before the first read must
    // still hold after the last, or the request ends before its last byte
    // goes out and nothing is stored.
    UniqueKernelHandle source;
    HRESULT result = RunWithRetries(kSourceOpenRetries, [&] {
        source.Reset(::CreateFileW(localPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return source ? S_OK : LastErrorResult();
    });
    if (FAILED(result)) return result;
    FileStamp before;
    if (!ReadFileStamp(source.Get(), before)) return LastErrorResult();
    size = before.size;
    lastWriteTime.dwLowDateTime = static_cast<DWORD>(before.lastWrite);
    lastWriteTime.dwHighDateTime = static_cast<DWORD>(before.lastWrite >> 32);
    const CJXHttpRequest::FileBodyCheck unchanged = [&]() -> HRESULT {
        FileStamp now;
        if (!ReadFileStamp(source.Get(), now)) return LastErrorResult();
        return now == before ? S_OK : E_SOURCE_CHANGED;
    };

    const wchar_t* name = LastComponent(localPath);
    if (size < kUploadFromMemoryLimit) {
        CJXMemoryStream memory(static_cast<size_t>(size));
        if (size != 0) {
            unsigned char* room = memory.ReAllocate(static_cast<size_t>(size));
            if (room == nullptr) return E_OUTOFMEMORY;
            DWORD read = 0;
            if (!::ReadFile(source.Get(), room, static_cast<DWORD>(size), &read, nullptr)) return LastErrorResult();
            // Never send a short body for a whole file.
            if (read != size) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
            memory.SetLength(read);
            result = unchanged();
            if (FAILED(result)) return result;
        }
        source.Reset();
        RequestStatus status;
        return UploadWholeFile(status, targetId, name, latestRevision, &memory, nullptr, out);
    }
    if (size < kUploadFromHandleLimit) {
        RequestStatus status;
        return UploadWholeFile(status, targetId, name, latestRevision, nullptr, source.Get(), out, unchanged);
    }
    return UploadThroughSession(targetId, name, latestRevision, size, source.Get(), unchanged, out);
}

ApiErrorCode DownloadFile(uint64_t fileId, const wchar_t* localPath, uint64_t& size, FILETIME& lastWriteTime,
                          const wchar_t* spareFolder, const std::function<HRESULT()>& beforeReplace) {
    // The content lands in a temporary file first; the target is replaced
    // only once everything arrived, so a failed transfer never damages it.
    std::wstring folder;
    HRESULT result = ChooseDownloadTempFolder(localPath, spareFolder, folder);
    if (FAILED(result)) return result;
    std::wstring temp;
    UniqueKernelHandle created;
    result = CreateDownloadTempFile(folder, temp, created);
    if (FAILED(result)) return result;
    CTempFileGuard tempGuard(temp);
    {
        // Closed before the guard removes the file on a failure.
        const UniqueKernelHandle file(std::move(created));
        RequestStatus status;
        const ApiErrorCode got = DownloadRaw(status, fileId, file.Get());
        if (got < 0) return got;
        LARGE_INTEGER fileSize = {};
        size = ::GetFileSizeEx(file.Get(), &fileSize) ? static_cast<uint64_t>(fileSize.QuadPart) : 0;
        if (!::FlushFileBuffers(file.Get())) return LastErrorResult();
    }
    if (beforeReplace) {
        const HRESULT allowed = beforeReplace();
        if (FAILED(allowed)) return allowed;
    }
    // Another program may have the new content or the old file open for a
    // moment (an indexer or a virus scanner looking at what just appeared):
    // the replacement waits for it a little before it counts as failed.
    result = ReplaceFileRetry(temp.c_str(), localPath, kReplaceRetries);
    if (FAILED(result)) return result;
    tempGuard.Keep();

    // Only the times are read, beside whoever else has the file open.
    UniqueKernelHandle placed(::CreateFileW(localPath, FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (!placed) return LastErrorResult();
    if (!::GetFileTime(placed.Get(), nullptr, nullptr, &lastWriteTime)) return LastErrorResult();
    return S_OK;
}
