#pragma once

// The overlay that an item of the sync folder gets from its highest status
// (see OverlayRule.cpp): 1 in sync, 2 waiting for a transfer, 3 failed, 0
// none.
int OverlayForStatus(int highestStatus);
