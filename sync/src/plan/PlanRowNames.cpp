#include "BrelioSync/LocalChangePlan.h"

std::wstring FolderOfRowName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : name.substr(0, slash);
}

std::wstring LeafOfRowName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L'\\');
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}
