#include "BrelioServices/DatabasePath.h"

#include <windows.h>
#include <shlobj.h>

#include "BrelioCore/WideFormat.h"
#include "BrelioServices/PathHelpers.h"

namespace {

constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr uint64_t kFnvPrime = 0x100000001b3ULL;

// The database names already on users' disks were made with the C
// run-time's default "C" locale, which folds only A-Z.
wchar_t FoldAsciiCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

}  // namespace

uint64_t HashRootFolder(std::wstring_view folder) {
    uint64_t hash = kFnvOffsetBasis;
    for (const wchar_t c : folder) {
        const unsigned value = FoldAsciiCase(c);
        for (const unsigned byte : {value & 0xFFu, (value >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= kFnvPrime;
        }
    }
    return hash;
}

std::wstring MakeLocalStoragePath(const wchar_t* account, const wchar_t* rootFolder) {
    std::wstring folder;
    if (FAILED(GetKnownFolder(FOLDERID_LocalAppData, folder))) return {};
    const unsigned long low = static_cast<unsigned long>(HashRootFolder(rootFolder ? rootFolder : L"") & 0xFFFFFFFFu);
    std::wstring name;
    if (!brelio::FormatWide(name, L"%s-%lx", account ? account : L"", low)) return {};
    // Appended by hand: PathAddExtensionW adds nothing when the account
    // itself holds a dot ("kim.lee@acme-1a2b" already "has an extension").
    name += L".db";
    std::wstring path;
    if (!JoinPath(folder.c_str(), name.c_str(), path)) return {};
    return path;
}
