#pragma once
#include "OverlayStatusProvider.h"

// Calls the overlay library's IsMemberOf. A structured exception inside it
// costs the item its overlay (S_FALSE), not Explorer its life.
HRESULT GuardedIsMemberOf(OverlayIsMemberOfFunction isMemberOf, int overlayId, HANDLE mutex, const wchar_t* storage,
                          const wchar_t* root, const wchar_t* path, DWORD attributes, LONG generation);
