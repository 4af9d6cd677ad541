#pragma once
#include <string_view>

class CSQLiteConnection;

// The overlay that an item of the sync folder gets, from its row in the
// file table (see OverlayRule.cpp): 1 in sync, 2 waiting for a transfer,
// 3 failed, 0 none.
int OverlayForItem(CSQLiteConnection& db, std::wstring_view relativeName);
