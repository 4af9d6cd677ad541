#include "BrelioUpdate/UpdateDecision.h"

UpdateCheck DecideUpdate(bool force, const CJXVersion& running, const CJXVersion& offered) {
    if (force) return UpdateCheck::kMajor;
    if (running == offered) return UpdateCheck::kNone;
    WORD have[4] = {};
    WORD offer[4] = {};
    running.GetVersion(have);
    offered.GetVersion(offer);
    for (int i = 0; i < 3; ++i) {
        if (have[i] < offer[i]) return UpdateCheck::kMajor;
        if (have[i] > offer[i]) return UpdateCheck::kNone;
    }
    return have[3] < offer[3] ? UpdateCheck::kMinor : UpdateCheck::kNone;
}
