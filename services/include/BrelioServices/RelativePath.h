#pragma once

// The part of a full path after the sync folder, pointing into the path
// itself. A path lies under the folder only when the folder's text is
// followed by a backslash or the end; any other path comes back whole.
const wchar_t* GetRelativePath(const wchar_t* path, const wchar_t* root);
