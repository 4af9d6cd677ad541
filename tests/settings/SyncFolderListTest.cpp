// The selective-sync list: matching, comparing, copying and its registry
// round trip.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/SyncFolderList.h"
#include "PrivateKey.h"

namespace {

TEST(SyncFolderList, PrefixMatchesWholeComponents) {
    CSyncFolderList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(list.ContainsPathPrefix(L"Docs"));

    list.Add(L"Docs", 1);
    list.Add(L"Photos\\2024", 2);
    const struct {
        const wchar_t* path;
        bool prefix;
        bool contained;
    } cases[] = {
        {L"Docs", true, true},
        {L"docs", true, true},
        {L"Docs\\a.txt", true, false},
        {L"Docs2\\a.txt", false, false},
        {L"Doc", false, false},
        {L"Photos\\2024\\x\\y.jpg", true, false},
        {L"Photos\\2023", false, false},
        {L"Photos", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list.ContainsPathPrefix(c.path), c.prefix) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(list.Contains(c.path), c.contained) << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(SyncFolderList, DifferenceIsOrderAndPathsNotIds) {
    CSyncFolderList ab;
    ab.Add(L"A", 1);
    ab.Add(L"B", 2);
    CSyncFolderList ba;
    ba.Add(L"b", 2);
    ba.Add(L"a", 1);
    CSyncFolderList abOtherIds;
    abOtherIds.Add(L"a", 9);
    abOtherIds.Add(L"b", 8);
    CSyncFolderList a;
    a.Add(L"A", 1);

    EXPECT_TRUE(ab.IsDifferent(ba));
    EXPECT_FALSE(ab.IsDifferent(abOtherIds));
    EXPECT_TRUE(ab.IsDifferent(a));
    EXPECT_FALSE(ab.IsDifferent(ab));
}

TEST(SyncFolderList, CopyReplacesOrAppends) {
    CSyncFolderList source;
    source.Add(L"A", 1);
    CSyncFolderList target;
    target.Add(L"A", 1);
    target.Add(L"Z", 26);

    target.CopyFrom(source, true);
    ASSERT_EQ(target.GetEntries().size(), 3u) << "duplicates are kept";
    target.CopyFrom(source, false);
    ASSERT_EQ(target.GetEntries().size(), 1u);

    // Copying a list onto itself keeps (or doubles) what it holds.
    target.CopyFrom(target, false);
    EXPECT_EQ(target.GetEntries().size(), 1u);
    target.CopyFrom(target, true);
    EXPECT_EQ(target.GetEntries().size(), 2u);
}

TEST(SyncFolderList, ReadersOnOtherThreadsSeeWholeLists) {
    CSyncFolderList shared;
    CSyncFolderList big;
    for (int i = 0; i < 50; ++i) big.Add((L"F" + std::to_wstring(i)).c_str(), i);
    CSyncFolderList none;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const size_t size = shared.GetEntries().size();
            if (size != 0 && size != 50) ++torn;
        }
    });
    for (int i = 0; i < 2000; ++i) shared.CopyFrom((i % 2) ? none : big, false);
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

using SyncFolderListKey = PrivateKeyTest;

TEST_F(SyncFolderListKey, RoundTripKeepsIdsAndTheRegistrysOrder) {
    const std::vector<SyncFolderEntry> saved = {
        {L"Zeta", 0xFFFFFFFFFFFFFFFFull}, {L"Alpha\\Beta", 0}, {L"Mid", 0x0123456789ABCDEFull}};
    CSyncFolderList list;
    for (const SyncFolderEntry& entry : saved) list.Add(entry.path.c_str(), entry.folderId);
    ASSERT_EQ(list.SaveToKey(m_key), S_OK);

    CSyncFolderList loaded;
    loaded.Add(L"old", 5);
    ASSERT_EQ(loaded.LoadFromKey(m_key), S_OK);
    const std::vector<SyncFolderEntry> entries = loaded.GetEntries();
    const std::vector<std::wstring> order = ValueNamesInRegistryOrder(m_key);
    ASSERT_EQ(entries.size(), saved.size());
    ASSERT_EQ(order.size(), saved.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].path, order[i]);
        for (const SyncFolderEntry& entry : saved) {
            if (entry.path == entries[i].path) {
                EXPECT_EQ(entries[i].folderId, entry.folderId) << i;
            }
        }
    }
}

TEST_F(SyncFolderListKey, HandMadeValuesAreSkippedAndTheRestLoaded) {
    const uint64_t id = 77;
    const DWORD small = 5;
    const std::wstring longName(300, L'n');
    Write(L"Good", REG_QWORD, &id, sizeof(id));
    Write(L"Dword", REG_DWORD, &small, sizeof(small));
    Write(L"Text", REG_SZ, L"77", 6);
    Write(L"Short qword", REG_QWORD, &id, 4);
    Write(longName.c_str(), REG_QWORD, &id, sizeof(id));

    CSyncFolderList list;
    EXPECT_EQ(list.LoadFromKey(m_key), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    const std::vector<SyncFolderEntry> entries = list.GetEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, L"Good");
    EXPECT_EQ(entries[0].folderId, 77u);
}

TEST_F(SyncFolderListKey, EmptyKeyEmptiesAndAKeyThatCannotBeReadKeepsTheList) {
    CSyncFolderList list;
    list.Add(L"Kept", 1);
    // A key deleted under an open handle can no longer be queried.
    brelio::UniqueRegKey gone;
    ASSERT_EQ(::RegCreateKeyExW(m_key, L"gone", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, gone.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegDeleteTreeW(m_key, L"gone"), ERROR_SUCCESS);
    EXPECT_EQ(list.LoadFromKey(gone.Get()), HRESULT_FROM_WIN32(ERROR_KEY_DELETED));
    gone.Reset();
    EXPECT_TRUE(list.Contains(L"Kept"));

    EXPECT_EQ(list.LoadFromKey(m_key), S_OK);
    EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
