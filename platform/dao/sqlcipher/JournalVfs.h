#pragma once
// A file layer over the process's default SQLite file system that gathers
// the writes SQLite makes to a database and its rollback journal into larger
// ones. SQLite journals a page as three writes (its number, its bytes, a
// checksum) and writes the database a page at a time; on a large commit these
// small writes are a good part of the time. They are sent on, in order,
// before the file is synced, read, sized, truncated, locked, unlocked or
// closed, and before any write that does not follow on. So the file holds
// what it would have held at every moment that matters: SQLite writes the
// database only after syncing the journal, and syncs both before a commit
// counts; another process can look only after a lock changes. Other files
// pass through.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <sqlcipher/sqlite3.h>

namespace dao::detail {

// The name to open connections with; registers the layer on first use.
const char* journalVfsName();

} // namespace dao::detail
