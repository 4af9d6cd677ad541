#pragma once
// Plans written out as text, so that a table row names what it expects in
// one line and a failure shows the whole plan.
#include <string>

#include "BrelioSync/SyncAction.h"

namespace brelio::test {

const char* KindName(ActionKind kind);
// The kinds of the plan's actions, joined by commas ("" for none), with
// "+leaves" at the end when the plan leaves the remote change.
std::string KindsOf(const ActionPlan& plan);

}  // namespace brelio::test
