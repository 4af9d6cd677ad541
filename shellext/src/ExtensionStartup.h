#pragma once

// The file name of this process's executable is "explorer.exe" (any case).
bool IsExplorerProcess();

// Completes a handler's construction: inside Explorer, the first call of
// the process starts the settings watcher and switches logging on when the
// settings ask for it. Elsewhere it does nothing.
void InitializeExtensionOnce();
