#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "BrelioApp/FileIconList.h"
#include "BrelioApp/ResourceIds.h"

TEST(FileIconList, ExtensionsAndFolderFlagPickTheirPng) {
    struct Case {
        const wchar_t* extension;
        bool folder;
        UINT expected;
    };
    const Case cases[] = {
        {L".PDF", false, IDP_FILE_PDF},       {L".JPEG", false, IDP_FILE_IMAGE},
        {L".svg", false, IDP_FILE_IMAGE},     {L".txt", false, IDP_FILE_TEXT},
        {L".wav", false, IDP_FILE_AUDIO},     {L".3gpp2", false, IDP_FILE_VIDEO},
        {L".ts", false, IDP_FILE_VIDEO},      {L".ai", false, IDP_FILE_AI},
        {L".apk", false, IDP_FILE_APK},       {L".hpp", false, IDP_FILE_CODE},
        {L".py", false, IDP_FILE_CODE},       {L".doc", false, IDP_FILE_DOCUMENT},
        {L".csv", false, IDP_FILE_SHEET},     {L".rtf", false, IDP_FILE_SHEET},
        {L".pptx", false, IDP_FILE_SLIDES},   {L".psd", false, IDP_FILE_PSD},
        {L".hwp", false, IDP_FILE_HWP},       {L".gzip", false, IDP_FILE_ARCHIVE},
        {L".key", false, IDP_FILE_KEY},       {L".numbers", false, IDP_FILE_NUMBERS},
        {L".pages", false, IDP_FILE_PAGES},   {L".sketch", false, IDP_FILE_SKETCH},
        // No extension, an unknown one, a part of a listed one: the default.
        {L"", false, IDP_FILE_TEXT},          {L".7z", false, IDP_FILE_TEXT},
        {L".pd", false, IDP_FILE_TEXT},       {L"pdf", false, IDP_FILE_TEXT},
        {nullptr, false, IDP_FILE_TEXT},
        // A folder is a folder whatever its name says.
        {L".zip", true, IDP_FILE_FOLDER},     {L"", true, IDP_FILE_FOLDER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CFileIconList::FindResourceId(c.extension, c.folder), c.expected)
            << (c.extension != nullptr ? c.extension : L"(null)") << (c.folder ? L" folder" : L"");
    }
}

TEST(FileIconList, EachPngIsLoadedOnceAndItsIndexKept) {
    CFileIconList icons;
    EXPECT_EQ(icons.GetImageList(), nullptr);

    const int pdf = icons.GetIconIndex(L".pdf", false);
    ASSERT_GE(pdf, 0);
    ASSERT_NE(icons.GetImageList(), nullptr);
    EXPECT_EQ(icons.GetWidth(), 32);
    EXPECT_EQ(icons.GetHeight(), 32);
    EXPECT_EQ(icons.GetIconIndex(L".PDF", false), pdf);
    EXPECT_EQ(::ImageList_GetImageCount(icons.GetImageList()), 1);

    const int text = icons.GetIconIndex(L".txt", false);
    EXPECT_NE(text, pdf);
    EXPECT_EQ(icons.GetIconIndex(L".unknown", false), text) << "the default shares the .txt image";
    EXPECT_EQ(icons.GetIconIndex(L"", false), text);
    const int folder = icons.GetIconIndex(L".zip", true);
    EXPECT_NE(folder, text);
    EXPECT_EQ(::ImageList_GetImageCount(icons.GetImageList()), 3);
}

TEST(FileIconList, MissingPngGivesMinusOneAndIsTriedAgain) {
    CFileIconList icons;
    EXPECT_EQ(icons.AddPngResource(9999), -1);
    EXPECT_EQ(icons.AddPngResource(9999), -1);
    EXPECT_EQ(icons.GetImageList(), nullptr);
    EXPECT_EQ(icons.AddPngResource(IDP_FILE_FOLDER), 0);
}
