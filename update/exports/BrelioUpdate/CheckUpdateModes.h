#pragma once

// The modes of the update library's CheckUpdate export: BrelioDrive passes
// one, the library reads it.
inline constexpr int kCheckUpdateAtStart = 1;
inline constexpr int kCheckUpdatePeriodic = 2;
