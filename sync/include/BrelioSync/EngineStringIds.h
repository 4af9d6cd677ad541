#pragma once
// The ids of the program's string table that the engine shows: the pass
// statuses and the conflict-copy name. The table itself is the program's;
// the engine gets a text through its host. Plain defines: the resource
// compiler reads this file too.

#define IDS_SYNC_STARTED 1014
#define IDS_SYNC_COMPLETED 1015
#define IDS_CONFLICT_COPY_NAME 6002
#define IDS_SYNC_FOLDER_GONE 6100
#define IDS_SYNC_INCOMPLETE 6101
