#pragma once

struct sqlite3;

namespace zv::history {

// Brings what was last written to the history attached to `db` (its WAL file) to the disk a
// moment later, on a thread of its own, the writes of that moment with one sync. A change waits
// for its catalogue's commit only; its record waits for nothing (see JointCommit.h).
void syncSoon(sqlite3 *db);

} // namespace zv::history
