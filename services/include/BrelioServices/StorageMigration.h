#pragma once

// Gives an account's database file the name that its current sync folder
// calls for (an older build named it otherwise). The stored LocalStorage
// value is not changed; a file already at the new name is never replaced.
void MigrateLocalStorage(const wchar_t* account);

// The same for every account subkey (a subkey whose name holds an "@").
void MigrateAllLocalStorages();
