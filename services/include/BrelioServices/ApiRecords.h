#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Records read from the service's answers. Narrow texts are UTF-8.

struct FileInfo {
    std::string hash;
    uint64_t id = 0;
    std::wstring name;
    std::wstring path;
    uint64_t revision = 0;
    std::string type;  // "file" for files
    int32_t version = 0;
};

struct ChangeInfo {
    std::string changeType;  // "updated" or "deleted"
    uint64_t revision = 0;
    FileInfo file;
};

struct DriveInfo {
    uint64_t id = 0;
    std::string tenantId;
    std::string projectId;
    std::wstring name;
    std::string type;  // "private" for the user's own drive
    uint64_t latestRevision = 0;
};

struct UploadPartInfo {
    int64_t number = 0;
    int64_t offset = 0;
    int64_t length = 0;
};

struct UploadSessionInfo {
    std::string id;
    std::vector<UploadPartInfo> parts;
};

struct MemberInfo {
    std::wstring name;
    std::string userCode;
};

struct TenantInfo {
    std::wstring name;
    std::string tenantId;
};

using FileInfoList = std::vector<FileInfo>;
using ChangeInfoList = std::vector<ChangeInfo>;
using DriveInfoList = std::vector<DriveInfo>;

// True when the text is "file" without regard to case.
bool IsFileType(const char* type);
// True when the text is "private" without regard to case.
bool IsPrivateDrive(const char* type);
