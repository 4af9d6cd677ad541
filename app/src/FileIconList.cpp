#include "BrelioApp/FileIconList.h"

#include <cwchar>
#include <iterator>
#include <string_view>

#include "BrelioApp/PngBitmap.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioFramework/Module.h"

namespace {

struct ExtensionRow {
    UINT resourceId;
    const wchar_t* extensions;  // ";"-separated, each with its dot
};

// Searched in order; the last row lists nothing and never matches.
constexpr ExtensionRow kRows[] = {
    {IDP_FILE_PDF, L".pdf"},
    {IDP_FILE_IMAGE, L".jpg;.gif;.bmp;.ico;.png;.eps;.jpeg;.tiff;.tif;.svg"},
    {IDP_FILE_TEXT, L".txt"},
    {IDP_FILE_AUDIO, L".mp3;.wma;.aac;.flac;.m4a;.oga;.wav"},
    {IDP_FILE_VIDEO, L".3gp;.3gpp;.3gpp2;.avi;.dv;.flv;.m2t;.m4v;.mkv;.mov;.mp4;.mpeg;.mpg;.mts;.ts;.vob;.wmv"},
    {IDP_FILE_AI, L".ai"},
    {IDP_FILE_APK, L".apk"},
    {IDP_FILE_CODE, L".cpp;.h;.css;.html;.php;.c;.hpp;.js;.py"},
    {IDP_FILE_DOCUMENT, L".docx;.doc"},
    {IDP_FILE_SHEET, L".xlsx;.xls;.csv;.rtf"},
    {IDP_FILE_SLIDES, L".pptx;.ppt"},
    {IDP_FILE_PSD, L".psd"},
    {IDP_FILE_HWP, L".hwp"},
    {IDP_FILE_ARCHIVE, L".zip;.rar;.tar;.gzip"},
    {IDP_FILE_KEY, L".key"},
    {IDP_FILE_NUMBERS, L".numbers"},
    {IDP_FILE_PAGES, L".pages"},
    {IDP_FILE_SKETCH, L".sketch"},
    {IDP_FILE_UNUSED, L""},
};

// A row's walk ends at its first empty element, so an empty extension
// matches no row.
bool RowLists(const wchar_t* list, const wchar_t* extension) {
    std::wstring_view rest(list);
    for (;;) {
        const size_t end = rest.find(L';');
        const std::wstring_view element = rest.substr(0, end);
        if (element.empty()) return false;
        if (element.size() == ::wcslen(extension) && ::_wcsnicmp(element.data(), extension, element.size()) == 0) {
            return true;
        }
        if (end == std::wstring_view::npos) return false;
        rest.remove_prefix(end + 1);
    }
}

}  // namespace

UINT CFileIconList::FindResourceId(const wchar_t* extension, bool folder) {
    if (folder) return IDP_FILE_FOLDER;
    if (extension == nullptr) extension = L"";
    for (const ExtensionRow& row : kRows) {
        if (RowLists(row.extensions, extension)) return row.resourceId;
    }
    return IDP_FILE_TEXT;
}

int CFileIconList::GetIconIndex(const wchar_t* extension, bool folder) {
    return AddPngResource(FindResourceId(extension, folder));
}

int CFileIconList::AddPngResource(UINT id) {
    if (auto found = m_indexByResource.find(id); found != m_indexByResource.end()) return found->second;

    PngBitmap png;
    if (FAILED(LoadPngBitmap(ATL::GetModuleInstance(), id, L"PNG", 0xFF000000, png))) return -1;
    if (!m_imageList) {
        m_imageList.Reset(::ImageList_Create(static_cast<int>(png.width), static_cast<int>(png.height),
                                             ImageListColorFlags(png.pixelFormat), 16, 4));
        if (!m_imageList) return -1;
        m_width = static_cast<int>(png.width);
        m_height = static_cast<int>(png.height);
    }
    const int index = ::ImageList_Add(m_imageList.Get(), png.bitmap.Get(), nullptr);
    if (index < 0) return -1;
    m_indexByResource.emplace(id, index);
    return index;
}
