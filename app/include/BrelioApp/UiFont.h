#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// A font of the embedded family "VelmotGothic" (DEFAULT_CHARSET) whose
// size is given in tenths of a point and scaled for the device context's
// vertical resolution; weight 0 leaves the family's own.
brelio::UniqueFont CreateUiPointFont(HDC dc, int tenthsOfPoint, LONG weight);

// The program's icon (resource 128) at the small or the large system size,
// shared: never destroyed by the caller.
HICON LoadProgramIcon(bool small);
