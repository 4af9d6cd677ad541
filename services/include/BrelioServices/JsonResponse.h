#pragma once
#include <json/json.h>

#include <memory>

#include "BrelioCore/JXMemoryStream.h"
#include "BrelioServices/ApiRecords.h"

// One parsed answer of the service: the envelope check and one parser per
// kind of answer. Parsers never throw; a list parser only appends whole
// records.
class CJsonResponse {
public:
    explicit CJsonResponse(const CJXMemoryStream& body);

    bool IsParsed() const { return m_parsed; }
    // -1 until an envelope header was read.
    int GetResultCode() const { return m_resultCode; }
    bool CheckHeader();

    bool ParseFile(FileInfo& out);
    bool ParseFiles(FileInfoList& out);
    bool ParseChange(ChangeInfo& out);
    bool ParseChanges(ChangeInfoList& out);
    bool ParseDrives(DriveInfoList& out);
    bool ParseUploadSession(UploadSessionInfo& out);
    bool ParseMember(MemberInfo& out);
    bool ParseTenant(TenantInfo& out);

private:
    template <typename Reader>
    bool Guarded(Reader&& read);

    bool m_parsed = false;
    int m_resultCode = -1;
    Json::Value m_root;
};
