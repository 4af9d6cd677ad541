#include "BrelioServices/JsonResponse.h"

#include <cstring>
#include <limits>

#include "BrelioCore/TextConvert.h"

namespace {

// Wide fields are limited to what a 1024-character buffer holds; a longer
// value arrives empty.
constexpr size_t kWideFieldCapacity = 1024;

// Ids and revisions travel as decimal text; any other JSON type, or a value
// beyond 64 bits, fails the parse. Leading digits count, as strtoull reads.
uint64_t ReadDecimal(const Json::Value& value) {
    if (!value.isString()) throw Json::LogicError("id or revision is not a decimal text");
    uint64_t number = 0;
    for (const char* p = value.asCString(); *p >= '0' && *p <= '9'; ++p) {
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (number > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            throw Json::LogicError("id or revision beyond 64 bits");
        number = number * 10 + digit;
    }
    return number;
}

std::string ReadNarrow(const Json::Value& value) { return value.asCString(); }

std::wstring ReadWide(const Json::Value& value) {
    std::wstring wide = brelio::Utf8ToWide(value.asCString());
    if (wide.size() >= kWideFieldCapacity) wide.clear();
    return wide;
}

bool Present(const Json::Value& value) { return !value.isNull(); }

// An absent list is empty; anything but an array is a broken answer.
const Json::Value& ListOf(const Json::Value& value) {
    if (!value.isNull() && !value.isArray()) throw Json::LogicError("list is not an array");
    return value;
}

void ReadFileObject(const Json::Value& v, FileInfo& f) {
    if (Present(v["hash"])) f.hash = ReadNarrow(v["hash"]);
    f.id = ReadDecimal(v["id"]);
    f.name = ReadWide(v["name"]);
    f.path = ReadWide(v["path"]);
    f.revision = ReadDecimal(v["revision"]);
    f.type = ReadNarrow(v["type"]);
    f.version = v["version"].asInt();
}

// The single change and the change list read the same keys with a few
// differences in what is required.
void ReadChangeObject(const Json::Value& v, ChangeInfo& c, bool inList) {
    if (inList || Present(v["changeType"])) c.changeType = ReadNarrow(v["changeType"]);
    c.revision = ReadDecimal(v["revision"]);
    const Json::Value& f = v["file"];
    if (Present(f["hash"])) c.file.hash = ReadNarrow(f["hash"]);
    c.file.id = ReadDecimal(f["id"]);
    if (Present(f["name"])) c.file.name = ReadWide(f["name"]);
    if (Present(f["path"])) c.file.path = ReadWide(f["path"]);
    c.file.revision = ReadDecimal(f["revision"]);
    c.file.type = ReadNarrow(f["type"]);
    if (inList || Present(f["version"])) c.file.version = f["version"].asInt();
}

}  // namespace

CJsonResponse::CJsonResponse(const CJXMemoryStream& body) {
    Json::CharReaderBuilder factory;
    std::unique_ptr<Json::CharReader> reader(factory.newCharReader());
    if (!reader) return;
    const char* begin = reinterpret_cast<const char*>(body.GetData());
    const char* end = begin + body.GetSize();
    try {
        m_parsed = reader->parse(begin, end, &m_root, nullptr);
    } catch (const Json::Exception&) {
        m_parsed = false;
    }
}

template <typename Reader>
bool CJsonResponse::Guarded(Reader&& read) {
    try {
        if (!m_parsed || !CheckHeader()) return false;
        read(m_root["result"]);
        return true;
    } catch (const Json::LogicError&) {
        return false;
    }
}

bool CJsonResponse::CheckHeader() {
    try {
        if (!m_root.isObject()) return false;
        const Json::Value& header = m_root["header"];
        if (header.isNull()) return false;
        m_resultCode = header["resultCode"].asInt();
        const Json::Value& ok = header["isSuccessful"];
        return ok.isBool() && ok.asBool();
    } catch (const Json::LogicError&) {
        return false;
    }
}

bool CJsonResponse::ParseFile(FileInfo& out) {
    return Guarded([&](const Json::Value& result) { ReadFileObject(result["content"], out); });
}

bool CJsonResponse::ParseFiles(FileInfoList& out) {
    return Guarded([&](const Json::Value& result) {
        for (const Json::Value& item : ListOf(result["contents"])) {
            FileInfo record;
            ReadFileObject(item, record);
            out.push_back(std::move(record));
        }
    });
}

bool CJsonResponse::ParseChange(ChangeInfo& out) {
    return Guarded([&](const Json::Value& result) { ReadChangeObject(result["content"], out, false); });
}

bool CJsonResponse::ParseChanges(ChangeInfoList& out) {
    return Guarded([&](const Json::Value& result) {
        for (const Json::Value& item : ListOf(result["contents"])) {
            ChangeInfo record;
            ReadChangeObject(item, record, true);
            out.push_back(std::move(record));
        }
    });
}

bool CJsonResponse::ParseDrives(DriveInfoList& out) {
    return Guarded([&](const Json::Value& result) {
        for (const Json::Value& item : ListOf(result["contents"])) {
            DriveInfo drive;
            drive.id = ReadDecimal(item["id"]);
            drive.tenantId = ReadNarrow(item["tenantId"]);
            if (Present(item["projectId"])) drive.projectId = ReadNarrow(item["projectId"]);
            if (Present(item["name"])) drive.name = ReadWide(item["name"]);
            drive.type = ReadNarrow(item["type"]);
            drive.latestRevision = ReadDecimal(item["latestRevision"]);
            out.push_back(std::move(drive));
        }
    });
}

bool CJsonResponse::ParseUploadSession(UploadSessionInfo& out) {
    return Guarded([&](const Json::Value& result) {
        const Json::Value& content = result["content"];
        out.id = ReadNarrow(content["id"]);
        for (const Json::Value& item : ListOf(content["parts"])) {
            UploadPartInfo part;
            part.number = item["number"].asInt();
            part.offset = item["offset"].asInt64();
            part.length = item["length"].asInt64();
            out.parts.push_back(part);
        }
    });
}

bool CJsonResponse::ParseMember(MemberInfo& out) {
    return Guarded([&](const Json::Value& result) {
        const Json::Value& content = result["content"];
        out.name = ReadWide(content["name"]);
        out.userCode = ReadNarrow(content["userCode"]);
    });
}

bool CJsonResponse::ParseTenant(TenantInfo& out) {
    return Guarded([&](const Json::Value& result) {
        if (result.isNull()) {
            out.tenantId.clear();
            return;
        }
        out.name = ReadWide(result["name"]);
        out.tenantId = ReadNarrow(result["tenantId"]);
    });
}

bool IsFileType(const char* type) { return type != nullptr && _stricmp(type, "file") == 0; }
bool IsPrivateDrive(const char* type) { return type != nullptr && _stricmp(type, "private") == 0; }
