#pragma once
#include <windows.h>

// Reads the process's own command line. False when this process is not to
// run the client: "-TEST"; "-ApplyUpdate" (the update's second stage runs
// here instead); "-cleanup" (the Explorer entry is removed instead); no
// argument while another copy's main frame exists (that one is brought to
// the front) or when the update check has started an update. Any other
// first argument runs the client without either check.
[[nodiscard]] bool CheckCommandLine();
