#include <sqlite3.h>

#include "BrelioCore/UniqueHandle.h"

namespace brelio {

void SqliteDatabaseTraits::Close(Handle h) noexcept { sqlite3_close(h); }

void SqliteStatementTraits::Close(Handle h) noexcept { sqlite3_finalize(h); }

}  // namespace brelio
