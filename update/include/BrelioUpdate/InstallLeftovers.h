#pragma once
#include <string>

// Removes, in `folder` (not below it), what earlier installs left beside
// the files they replaced (see CInstallTransaction): new copies that were never
// put in place, and old files that were kept because they were still in
// use. Files still in use stay for a later time. An old file whose own
// file is missing stays too: an install that was cut short may have left
// nothing else of it.
void RemoveInstallLeftovers(const std::wstring& folder);
