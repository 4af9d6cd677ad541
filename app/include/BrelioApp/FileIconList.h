#pragma once
#include <windows.h>
#include <commctrl.h>

#include <unordered_map>

#include "BrelioCore/UniqueHandle.h"

// The file-type icons of the sync list: one image list, filled lazily from
// the program's PNG resources, each resource decoded at most once.
class CFileIconList {
public:
    // The PNG resource for an extension (with its dot, as
    // PathFindExtensionW gives it; empty for none) and a folder flag.
    static UINT FindResourceId(const wchar_t* extension, bool folder);

    // The image-list index of that icon; -1 when its PNG cannot be decoded.
    int GetIconIndex(const wchar_t* extension, bool folder);
    // The index of a PNG resource of the program, added on first use; -1
    // when it cannot be decoded (a later call tries again).
    int AddPngResource(UINT id);

    HIMAGELIST GetImageList() const { return m_imageList.Get(); }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }

private:
    brelio::UniqueImageList m_imageList;
    int m_width = 0;
    int m_height = 0;
    std::unordered_map<UINT, int> m_indexByResource;
};
